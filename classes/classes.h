/* The scripting classes: instance data of each class, the definition records
 * handed to the host, accessors to instance data, and the functions behind
 * every property, method, destructor and global method. Signatures follow
 * the calling convention described in host/host.h. */
#ifndef GIFQVR_CLASSES_CLASSES_H
#define GIFQVR_CLASSES_CLASSES_H

#include "codec/gif.h"
#include "host/host.h"

/* Instance data, laid out field for field as registered. A record view has
 * its record (and owner) set; a free-standing object has neither and keeps
 * its values in its own fields. */
struct GIFQVRData {
    Gif *gif;             /* owned; deleted by the destructor */
    MyListData *blocks;   /* GifBlockQVR objects added by the script */
    REALobject screen;    /* GifScreenQVR */
    REALstring header;
};

struct GifScreenQVRData {
    GifScreen *record;
    REALobject owner;     /* the GIFQVR owning the viewed record */
    int32_t width;
    int32_t height;
    int32_t colorResolution;
    RBBoolean sorted;
    int32_t paletteDepth;
    int32_t backgroundColor;
    int32_t aspect;
    REALobject palette;   /* GifPaletteQVR */
};

struct GifPaletteQVRData {
    GifPalette *record;
    REALobject owner;
    int32_t count;        /* 0 to 256 */
    Colour colours[256];
};

struct GifBlockQVRData {
    GifBlock *record;
    REALobject owner;
    int32_t intro;
    REALobject extension; /* GifExtensionQVR */
    REALobject picture;   /* GifPictureQVR */
};

struct GifExtensionQVRData {
    GifExtension *record;
    REALobject owner;
    int32_t marker;
    MyListData *data;     /* GifDataQVR objects added by the script */
};

struct GifDataQVRData {
    GifData *record;
    REALobject owner;
    REALstring string;
};

struct GifPictureQVRData {
    GifPicture *record;
    REALobject owner;
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    RBBoolean sorted;
    int32_t paletteDepth;
    RBBoolean interlace;
    REALobject palette;   /* GifPaletteQVR */
    REALmemoryBlock data; /* width x height colour indexes */
};

/* Definition records; the host writes each class's instance data offset
 * into forSystemUse when it takes the record. */
extern "C" {
HOST_API extern REALclassDefinition GifClass;
HOST_API extern REALclassDefinition GifScreenClass;
HOST_API extern REALclassDefinition GifPaletteClass;
HOST_API extern REALclassDefinition GifBlockClass;
HOST_API extern REALclassDefinition GifExtensionClass;
HOST_API extern REALclassDefinition GifDataClass;
HOST_API extern REALclassDefinition GifPictureClass;
HOST_API extern REALclassDefinition folderitem2Class3;
}

extern REALmethodDefinition globalMethods[2];
extern REALmethodDefinition folderitem2Methods3[2];

/* Registers the classes, the Folderitem extension and the global methods. */
void PluginEntry(void);

/* Instance data of an object, through its own class's offset as the host
 * has it now; null for a nil object. */
template <typename Data>
inline Data *GetInstanceData(REALobject self, const REALclassDefinition &cls)
{
    if (!self)
        return nullptr;
    return reinterpret_cast<Data *>(reinterpret_cast<char *>(self) + cls.forSystemUse);
}

inline GIFQVRData *GetGIFQVRData(REALobject self)
{
    return GetInstanceData<GIFQVRData>(self, GifClass);
}
inline GifScreenQVRData *GetGifScreenQVRData(REALobject self)
{
    return GetInstanceData<GifScreenQVRData>(self, GifScreenClass);
}
inline GifPaletteQVRData *GetGifPaletteQVRData(REALobject self)
{
    return GetInstanceData<GifPaletteQVRData>(self, GifPaletteClass);
}
inline GifBlockQVRData *GetGifBlockQVRData(REALobject self)
{
    return GetInstanceData<GifBlockQVRData>(self, GifBlockClass);
}
inline GifExtensionQVRData *GetGifExtensionQVRData(REALobject self)
{
    return GetInstanceData<GifExtensionQVRData>(self, GifExtensionClass);
}
inline GifDataQVRData *GetGifDataQVRData(REALobject self)
{
    return GetInstanceData<GifDataQVRData>(self, GifDataClass);
}
inline GifPictureQVRData *GetGifPictureQVRData(REALobject self)
{
    return GetInstanceData<GifPictureQVRData>(self, GifPictureClass);
}

/* A new record view of the class: made by the host by class name, viewing
 * the record, holding one reference on the owner (if any). Returned with the
 * reference it was made with; null if the host could not make it. */
template <typename Data, typename Record>
REALobject MakeRecordView(const REALclassDefinition &cls, Record *record, REALobject owner)
{
    REALobject view = REALnewInstance(cls.name);
    Data *data = GetInstanceData<Data>(view, cls);
    if (!data)
        return nullptr;
    data->record = record;
    if (owner)
        REALLockObject(owner);
    data->owner = owner;
    return view;
}

inline REALobject MakeGifScreenView(GifScreen *record, REALobject owner)
{
    return MakeRecordView<GifScreenQVRData>(GifScreenClass, record, owner);
}
inline REALobject MakeGifPaletteView(GifPalette *record, REALobject owner)
{
    return MakeRecordView<GifPaletteQVRData>(GifPaletteClass, record, owner);
}
inline REALobject MakeGifBlockView(GifBlock *record, REALobject owner)
{
    return MakeRecordView<GifBlockQVRData>(GifBlockClass, record, owner);
}
inline REALobject MakeGifExtensionView(GifExtension *record, REALobject owner)
{
    return MakeRecordView<GifExtensionQVRData>(GifExtensionClass, record, owner);
}
inline REALobject MakeGifDataView(GifData *record, REALobject owner)
{
    return MakeRecordView<GifDataQVRData>(GifDataClass, record, owner);
}
inline REALobject MakeGifPictureView(GifPicture *record, REALobject owner)
{
    return MakeRecordView<GifPictureQVRData>(GifPictureClass, record, owner);
}

/* GIFQVR (classes/gifqvr.cpp). */
int32_t GIFQVR_GetCount(REALobject self, int32_t param);
REALobject GIFQVR_GetScreen(REALobject self, int32_t param);
void GIFQVR_SetScreen(REALobject self, int32_t param, REALobject value);
REALstring GIFQVR_GetHeader(REALobject self, int32_t param);
void GIFQVR_SetHeader(REALobject self, int32_t param, REALstring value);
REALobject GIFQVR_Block(REALobject self, int32_t index);
void GIFQVR_Add(REALobject self, REALobject block);
REALpicture GIFQVR_MakeFirstPicture(REALobject self);
REALpicture GIFQVR_MakeFirstMask(REALobject self);
REALpicture GIFQVR_MakeFirstPictureWithMask(REALobject self);
RBBoolean GIFQVR_Print(REALobject self, REALfolderItem file);
void GIFQVR_Destructor(REALobject self);

/* GifScreenQVR (classes/screen_palette.cpp). */
int32_t GifScreenQVR_GetWidth(REALobject self, int32_t param);
void GifScreenQVR_SetWidth(REALobject self, int32_t param, int32_t value);
int32_t GifScreenQVR_GetHeight(REALobject self, int32_t param);
void GifScreenQVR_SetHeight(REALobject self, int32_t param, int32_t value);
int32_t GifScreenQVR_GetColorResolution(REALobject self, int32_t param);
void GifScreenQVR_SetColorResolution(REALobject self, int32_t param, int32_t value);
RBBoolean GifScreenQVR_GetSorted(REALobject self, int32_t param);
void GifScreenQVR_SetSorted(REALobject self, int32_t param, RBBoolean value);
int32_t GifScreenQVR_GetPaletteDepth(REALobject self, int32_t param);
void GifScreenQVR_SetPaletteDepth(REALobject self, int32_t param, int32_t value);
REALobject GifScreenQVR_GetPalette(REALobject self, int32_t param);
void GifScreenQVR_SetPalette(REALobject self, int32_t param, REALobject value);
int32_t GifScreenQVR_GetBackgroundColor(REALobject self, int32_t param);
void GifScreenQVR_SetBackgroundColor(REALobject self, int32_t param, int32_t value);
int32_t GifScreenQVR_GetAspect(REALobject self, int32_t param);
void GifScreenQVR_SetAspect(REALobject self, int32_t param, int32_t value);
void GifScreenQVR_Destructor(REALobject self);

/* GifPaletteQVR (classes/screen_palette.cpp). */
int32_t GifPaletteQVR_GetCount(REALobject self, int32_t param);
void GifPaletteQVR_SetCount(REALobject self, int32_t param, int32_t value);
RBColor GifPaletteQVR_Value(REALobject self, int32_t index);
void GifPaletteQVR_SetValue(REALobject self, int32_t index, RBColor value);
int32_t GifPaletteQVR_Blue(REALobject self, int32_t index);
void GifPaletteQVR_SetBlue(REALobject self, int32_t index, int32_t value);
int32_t GifPaletteQVR_Green(REALobject self, int32_t index);
void GifPaletteQVR_SetGreen(REALobject self, int32_t index, int32_t value);
int32_t GifPaletteQVR_Red(REALobject self, int32_t index);
void GifPaletteQVR_SetRed(REALobject self, int32_t index, int32_t value);
void GifPaletteQVR_Destructor(REALobject self);

/* GifBlockQVR (classes/block_extension_data.cpp). */
int32_t GifBlockQVR_GetIntro(REALobject self, int32_t param);
void GifBlockQVR_SetIntro(REALobject self, int32_t param, int32_t value);
REALobject GifBlockQVR_GetExtension(REALobject self, int32_t param);
void GifBlockQVR_SetExtension(REALobject self, int32_t param, REALobject value);
REALobject GifBlockQVR_GetPicture(REALobject self, int32_t param);
void GifBlockQVR_SetPicture(REALobject self, int32_t param, REALobject value);
void GifBlockQVR_Destructor(REALobject self);

/* GifExtensionQVR (classes/block_extension_data.cpp). */
int32_t GifExtensionQVR_GetCount(REALobject self, int32_t param);
int32_t GifExtensionQVR_GetMarker(REALobject self, int32_t param);
void GifExtensionQVR_SetMarker(REALobject self, int32_t param, int32_t value);
REALobject GifExtensionQVR_Data(REALobject self, int32_t index);
void GifExtensionQVR_Add(REALobject self, REALobject data);
void GifExtensionQVR_Destructor(REALobject self);

/* GifDataQVR (classes/block_extension_data.cpp). */
int32_t GifDataQVR_GetLength(REALobject self, int32_t param);
REALstring GifDataQVR_GetDataString(REALobject self, int32_t param);
void GifDataQVR_SetDataString(REALobject self, int32_t param, REALstring value);
REALmemoryBlock GifDataQVR_GetDataMemory(REALobject self, int32_t param);
void GifDataQVR_SetDataMemory(REALobject self, int32_t param, REALmemoryBlock value);
void GifDataQVR_Destructor(REALobject self);

/* GifPictureQVR (classes/picture_class.cpp). */
int32_t GifPictureQVR_GetLeft(REALobject self, int32_t param);
void GifPictureQVR_SetLeft(REALobject self, int32_t param, int32_t value);
int32_t GifPictureQVR_GetTop(REALobject self, int32_t param);
void GifPictureQVR_SetTop(REALobject self, int32_t param, int32_t value);
int32_t GifPictureQVR_GetWidth(REALobject self, int32_t param);
void GifPictureQVR_SetWidth(REALobject self, int32_t param, int32_t value);
int32_t GifPictureQVR_GetHeight(REALobject self, int32_t param);
void GifPictureQVR_SetHeight(REALobject self, int32_t param, int32_t value);
RBBoolean GifPictureQVR_GetInterlace(REALobject self, int32_t param);
void GifPictureQVR_SetInterlace(REALobject self, int32_t param, RBBoolean value);
RBBoolean GifPictureQVR_GetSorted(REALobject self, int32_t param);
void GifPictureQVR_SetSorted(REALobject self, int32_t param, RBBoolean value);
int32_t GifPictureQVR_GetPaletteDepth(REALobject self, int32_t param);
void GifPictureQVR_SetPaletteDepth(REALobject self, int32_t param, int32_t value);
REALobject GifPictureQVR_GetPalette(REALobject self, int32_t param);
void GifPictureQVR_SetPalette(REALobject self, int32_t param, REALobject value);
REALmemoryBlock GifPictureQVR_GetData(REALobject self, int32_t param);
void GifPictureQVR_SetData(REALobject self, int32_t param, REALmemoryBlock value);
REALmemoryBlock GifPictureQVR_PixelData(REALobject self, int32_t row);
REALpicture GifPictureQVR_MakePicture(REALobject self);
REALpicture GifPictureQVR_MakeMask(REALobject self);
REALpicture GifPictureQVR_MakeMaskIndex(REALobject self, int32_t transparentColorIndex);
void GifPictureQVR_Destructor(REALobject self);

/* Loading (classes/loading.cpp): global methods, the Folderitem method and
 * their helpers. A loaded record is accepted only if it starts with "GIF". */
REALpicture GifStringToPictureQVR(REALstring data);
REALobject OpenGIFstring(REALstring data);
REALobject OpenGIFfile1(REALfolderItem item);
Gif *read_gif_file(REALstring data);
Gif *read_gif_file(REALfolderItem item);
GifPicture *FindFirstGifPicture(Gif *gif); /* pic of the first block with one */

/* Saving (classes/saving.cpp): the Folderitem method, the write step and the
 * marshalling of free-standing objects into fresh records. */
RBBoolean SaveGIFfile1(REALfolderItem item, REALobject data);
RBBoolean write_gif_file(REALfolderItem item, Gif *gif);
GifPalette *MakePalette(REALobject palette);
GifData *MakeGifData(REALobject data);
GifExtension *MakeGifExtension(REALobject extension);
GifPicture *MakeGifPicture(REALobject picture);
GifBlock *MakeGifBlock(REALobject block);

#endif
