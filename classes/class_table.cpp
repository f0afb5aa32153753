// The class definitions, property and method tables handed to the host, and
// their registration. All records are constant-initialised and writable: the
// host writes each class's instance data offset into its definition.
#include "classes/classes.h"


#define FN(f) reinterpret_cast<void *>(&(f))
#define COUNT(table) static_cast<uintptr_t>(sizeof(table) / sizeof((table)[0]))
#define PROPERTY(name, type, getter, setter) \
    { nullptr, name, type, 0, FN(getter), setter, 0, 0, 0, nullptr }
#define METHOD(function, setter, declaration) \
    { FN(function), setter, declaration, 0 }

namespace {

REALproperty gifProperties[] = {
    PROPERTY("Count", "Integer", GIFQVR_GetCount, nullptr),
    PROPERTY("Screen", "GifScreenQVR", GIFQVR_GetScreen, FN(GIFQVR_SetScreen)),
    PROPERTY("Header", "String", GIFQVR_GetHeader, FN(GIFQVR_SetHeader)),
};

REALmethodDefinition gifMethods[] = {
    METHOD(GIFQVR_Block, nullptr, "Block(index as integer) as GifBlockQVR"),
    METHOD(GIFQVR_Add, nullptr, "Add(block as GifBlockQVR)"),
    METHOD(GIFQVR_MakeFirstPicture, nullptr, "MakeFirstPicture as picture"),
    METHOD(GIFQVR_MakeFirstMask, nullptr, "MakeFirstMask as picture"),
    METHOD(GIFQVR_MakeFirstPictureWithMask, nullptr, "MakeFirstPictureWithMask as picture"),
    METHOD(GIFQVR_Print, nullptr, "Print(file as folderitem) as boolean"),
};

REALproperty screenProperties[] = {
    PROPERTY("Width", "Integer", GifScreenQVR_GetWidth, FN(GifScreenQVR_SetWidth)),
    PROPERTY("Height", "Integer", GifScreenQVR_GetHeight, FN(GifScreenQVR_SetHeight)),
    PROPERTY("ColorResolution", "Integer", GifScreenQVR_GetColorResolution,
             FN(GifScreenQVR_SetColorResolution)),
    PROPERTY("Sorted", "Boolean", GifScreenQVR_GetSorted, FN(GifScreenQVR_SetSorted)),
    PROPERTY("PaletteDepth", "Integer", GifScreenQVR_GetPaletteDepth,
             FN(GifScreenQVR_SetPaletteDepth)),
    PROPERTY("Palette", "GifPaletteQVR", GifScreenQVR_GetPalette, FN(GifScreenQVR_SetPalette)),
    PROPERTY("BackgroundColor", "Integer", GifScreenQVR_GetBackgroundColor,
             FN(GifScreenQVR_SetBackgroundColor)),
    PROPERTY("Aspect", "Integer", GifScreenQVR_GetAspect, FN(GifScreenQVR_SetAspect)),
};

REALproperty paletteProperties[] = {
    PROPERTY("Count", "Integer", GifPaletteQVR_GetCount, FN(GifPaletteQVR_SetCount)),
};

REALmethodDefinition paletteMethods[] = {
    METHOD(GifPaletteQVR_Value, FN(GifPaletteQVR_SetValue), "Value(index as integer) as color"),
    METHOD(GifPaletteQVR_Blue, FN(GifPaletteQVR_SetBlue), "Blue(index as integer) as integer"),
    METHOD(GifPaletteQVR_Green, FN(GifPaletteQVR_SetGreen), "Green(index as integer) as integer"),
    METHOD(GifPaletteQVR_Red, FN(GifPaletteQVR_SetRed), "Red(index as integer) as integer"),
};

REALproperty blockProperties[] = {
    PROPERTY("Intro", "Integer", GifBlockQVR_GetIntro, FN(GifBlockQVR_SetIntro)),
    PROPERTY("Extension", "GifExtensionQVR", GifBlockQVR_GetExtension,
             FN(GifBlockQVR_SetExtension)),
    PROPERTY("Picture", "GifPictureQVR", GifBlockQVR_GetPicture, FN(GifBlockQVR_SetPicture)),
};

REALproperty extensionProperties[] = {
    PROPERTY("Count", "Integer", GifExtensionQVR_GetCount, nullptr),
    PROPERTY("Marker", "Integer", GifExtensionQVR_GetMarker, FN(GifExtensionQVR_SetMarker)),
};

REALmethodDefinition extensionMethods[] = {
    METHOD(GifExtensionQVR_Data, nullptr, "Data(index as integer) as GifDataQVR"),
    METHOD(GifExtensionQVR_Add, nullptr, "Add(data as GifDataQVR)"),
};

REALproperty dataProperties[] = {
    PROPERTY("Length", "Integer", GifDataQVR_GetLength, nullptr),
    PROPERTY("DataString", "String", GifDataQVR_GetDataString, FN(GifDataQVR_SetDataString)),
    PROPERTY("DataMemory", "Memoryblock", GifDataQVR_GetDataMemory,
             FN(GifDataQVR_SetDataMemory)),
};

REALproperty pictureProperties[] = {
    PROPERTY("Left", "Integer", GifPictureQVR_GetLeft, FN(GifPictureQVR_SetLeft)),
    PROPERTY("Top", "Integer", GifPictureQVR_GetTop, FN(GifPictureQVR_SetTop)),
    PROPERTY("Width", "Integer", GifPictureQVR_GetWidth, FN(GifPictureQVR_SetWidth)),
    PROPERTY("Height", "Integer", GifPictureQVR_GetHeight, FN(GifPictureQVR_SetHeight)),
    PROPERTY("Interlace", "Boolean", GifPictureQVR_GetInterlace, FN(GifPictureQVR_SetInterlace)),
    PROPERTY("Sorted", "Boolean", GifPictureQVR_GetSorted, FN(GifPictureQVR_SetSorted)),
    PROPERTY("PaletteDepth", "Integer", GifPictureQVR_GetPaletteDepth,
             FN(GifPictureQVR_SetPaletteDepth)),
    PROPERTY("Palette", "GifPaletteQVR", GifPictureQVR_GetPalette, FN(GifPictureQVR_SetPalette)),
    PROPERTY("Data", "Memoryblock", GifPictureQVR_GetData, FN(GifPictureQVR_SetData)),
};

REALmethodDefinition pictureMethods[] = {
    METHOD(GifPictureQVR_PixelData, nullptr, "PixelData(row as integer) as memoryblock"),
    METHOD(GifPictureQVR_MakePicture, nullptr, "MakePicture as picture"),
    METHOD(GifPictureQVR_MakeMask, nullptr, "MakeMask as picture"),
    METHOD(GifPictureQVR_MakeMaskIndex, nullptr,
           "MakeMask(TransparentColorIndex as integer) as picture"),
};

} // namespace

#define CLASS(name, data, destructor, properties, propertyCount, methods, methodCount) \
    { kCurrentREALControlVersion, name, nullptr, static_cast<uintptr_t>(sizeof(data)), 0,  \
      nullptr, FN(destructor), properties, propertyCount, methods, methodCount,          \
      nullptr, 0, nullptr, 0, nullptr, nullptr, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0 }

REALclassDefinition GifClass = CLASS("GIFQVR", GIFQVRData, GIFQVR_Destructor,
    gifProperties, COUNT(gifProperties), gifMethods, COUNT(gifMethods));
REALclassDefinition GifScreenClass = CLASS("GifScreenQVR", GifScreenQVRData,
    GifScreenQVR_Destructor, screenProperties, COUNT(screenProperties), nullptr, 0);
REALclassDefinition GifPaletteClass = CLASS("GifPaletteQVR", GifPaletteQVRData,
    GifPaletteQVR_Destructor, paletteProperties, COUNT(paletteProperties),
    paletteMethods, COUNT(paletteMethods));
REALclassDefinition GifBlockClass = CLASS("GifBlockQVR", GifBlockQVRData,
    GifBlockQVR_Destructor, blockProperties, COUNT(blockProperties), nullptr, 0);
REALclassDefinition GifExtensionClass = CLASS("GifExtensionQVR", GifExtensionQVRData,
    GifExtensionQVR_Destructor, extensionProperties, COUNT(extensionProperties),
    extensionMethods, COUNT(extensionMethods));
REALclassDefinition GifDataClass = CLASS("GifDataQVR", GifDataQVRData,
    GifDataQVR_Destructor, dataProperties, COUNT(dataProperties), nullptr, 0);
REALclassDefinition GifPictureClass = CLASS("GifPictureQVR", GifPictureQVRData,
    GifPictureQVR_Destructor, pictureProperties, COUNT(pictureProperties),
    pictureMethods, COUNT(pictureMethods));

REALmethodDefinition folderitem2Methods3[2] = {
    METHOD(OpenGIFfile1, nullptr, "OpenAsGIFQVR as GIFQVR"),
    METHOD(SaveGIFfile1, nullptr, "SaveAsGIFQVR(data as GIFQVR) as boolean"),
};

// Extends the host's own class: no instance data, no destructor.
REALclassDefinition folderitem2Class3 = {
    kCurrentREALControlVersion, "Folderitem", nullptr, 0, 0, nullptr, nullptr,
    nullptr, 0, folderitem2Methods3, COUNT(folderitem2Methods3),
    nullptr, 0, nullptr, 0, nullptr, nullptr, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0};

REALmethodDefinition globalMethods[2] = {
    METHOD(GifStringToPictureQVR, nullptr, "GifStringToPictureQVR(data as string) as Picture"),
    METHOD(OpenGIFstring, nullptr, "GifStringToGifQVR(data as string) as GIFQVR"),
};

void PluginEntry(void)
{
    REALRegisterClass(&GifClass);
    REALRegisterClass(&GifPictureClass);
    REALRegisterClass(&GifDataClass);
    REALRegisterClass(&GifBlockClass);
    REALRegisterClass(&GifScreenClass);
    REALRegisterClass(&GifPaletteClass);
    REALRegisterClass(&GifExtensionClass);

    REALRegisterClassExtension(&folderitem2Class3);

    for (uintptr_t i = 0; i < COUNT(globalMethods); i++)
        REALRegisterMethod(&globalMethods[i]);
}
