// GifBlockQVR (one block), GifExtensionQVR (label and sub-blocks) and
// GifDataQVR (one sub-block's bytes). A view reads its record; a
// free-standing object, and every setter, use the object's own fields.
#include "classes/classes.h"
#include "classes/object_slots.h"

int32_t GifBlockQVR_GetIntro(REALobject self, int32_t)
{
    GifBlockQVRData *data = GetGifBlockQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->intro : data->intro;
}

void GifBlockQVR_SetIntro(REALobject self, int32_t, int32_t value)
{
    if (GifBlockQVRData *data = GetGifBlockQVRData(self))
        data->intro = value;
}

REALobject GifBlockQVR_GetExtension(REALobject self, int32_t)
{
    GifBlockQVRData *data = GetGifBlockQVRData(self);
    if (!data)
        return nullptr;
    if (data->record && data->record->ext) {
        REALobject view = MakeGifExtensionView(data->record->ext, data->owner);
        if (view)
            return view;
    }
    return ShareObject(data->extension);
}

void GifBlockQVR_SetExtension(REALobject self, int32_t, REALobject value)
{
    if (GifBlockQVRData *data = GetGifBlockQVRData(self))
        ReplaceObject(&data->extension, value);
}

REALobject GifBlockQVR_GetPicture(REALobject self, int32_t)
{
    GifBlockQVRData *data = GetGifBlockQVRData(self);
    if (!data)
        return nullptr;
    if (data->record && data->record->pic) {
        REALobject view = MakeGifPictureView(data->record->pic, data->owner);
        if (view)
            return view;
    }
    return ShareObject(data->picture);
}

void GifBlockQVR_SetPicture(REALobject self, int32_t, REALobject value)
{
    if (GifBlockQVRData *data = GetGifBlockQVRData(self))
        ReplaceObject(&data->picture, value);
}

void GifBlockQVR_Destructor(REALobject self)
{
    GifBlockQVRData *data = GetGifBlockQVRData(self);
    if (!data)
        return;
    ReleaseObject(&data->owner);
    ReleaseObject(&data->picture);
    ReleaseObject(&data->extension);
    data->record = nullptr;
}

int32_t GifExtensionQVR_GetCount(REALobject self, int32_t)
{
    GifExtensionQVRData *data = GetGifExtensionQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->data_count : MyListCount(data->data);
}

int32_t GifExtensionQVR_GetMarker(REALobject self, int32_t)
{
    GifExtensionQVRData *data = GetGifExtensionQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->marker : data->marker;
}

void GifExtensionQVR_SetMarker(REALobject self, int32_t, int32_t value)
{
    if (GifExtensionQVRData *data = GetGifExtensionQVRData(self))
        data->marker = value;
}

REALobject GifExtensionQVR_Data(REALobject self, int32_t index)
{
    GifExtensionQVRData *data = GetGifExtensionQVRData(self);
    if (!data)
        return nullptr;
    const GifExtension *ext = data->record;
    // Unsigned, so a negative index is out of range.
    if (ext && ext->data && ext->data_count > 0 &&
        static_cast<uint32_t>(index) < static_cast<uint32_t>(ext->data_count) &&
        ext->data[index]) {
        REALobject view = MakeGifDataView(ext->data[index], data->owner);
        if (view)
            return view;
    }
    return MyListGet(data->data, index);
}

void GifExtensionQVR_Add(REALobject self, REALobject item)
{
    GifExtensionQVRData *data = GetGifExtensionQVRData(self);
    if (data && item)
        MyListAppend(&data->data, item);
}

void GifExtensionQVR_Destructor(REALobject self)
{
    GifExtensionQVRData *data = GetGifExtensionQVRData(self);
    if (!data)
        return;
    ReleaseObject(&data->owner);
    data->record = nullptr;
    MyListFree(&data->data);
}

namespace {

// The record's bytes, or none when it holds none.
bool RecordBytes(const GifData *record, const unsigned char **bytes, int32_t *length)
{
    if (!record || !record->bytes || record->length <= 0)
        return false;
    *bytes = record->bytes;
    *length = record->length;
    return true;
}

} // namespace

int32_t GifDataQVR_GetLength(REALobject self, int32_t)
{
    GifDataQVRData *data = GetGifDataQVRData(self);
    if (!data)
        return 0;
    if (data->record)
        return data->record->length;
    return REALStringLength(data->string);
}

REALstring GifDataQVR_GetDataString(REALobject self, int32_t)
{
    GifDataQVRData *data = GetGifDataQVRData(self);
    if (!data)
        return nullptr;
    if (data->record) {
        const unsigned char *bytes;
        int32_t length;
        if (!RecordBytes(data->record, &bytes, &length))
            return nullptr;
        return REALBuildUnicodeString(bytes, static_cast<uint32_t>(length),
                                      kREALTextEncodingRaw);
    }
    return ShareString(data->string);
}

void GifDataQVR_SetDataString(REALobject self, int32_t, REALstring value)
{
    if (GifDataQVRData *data = GetGifDataQVRData(self))
        ReplaceString(&data->string, value);
}

REALmemoryBlock GifDataQVR_GetDataMemory(REALobject self, int32_t)
{
    GifDataQVRData *data = GetGifDataQVRData(self);
    if (!data)
        return nullptr;
    if (data->record) {
        const unsigned char *bytes;
        int32_t length;
        if (!RecordBytes(data->record, &bytes, &length))
            return nullptr;
        return REALBuildMemoryblock(bytes, length);
    }
    const char *text = REALStringBytes(data->string);
    int32_t length = REALStringLength(data->string);
    if (!text || length <= 0)
        return nullptr;
    return REALBuildMemoryblock(text, length);
}

void GifDataQVR_SetDataMemory(REALobject self, int32_t, REALmemoryBlock value)
{
    GifDataQVRData *data = GetGifDataQVRData(self);
    if (!data)
        return;
    ReleaseString(&data->string);
    if (!value)
        return;
    // A copy: later changes to the block do not reach the object.
    int32_t size = REALMemoryBlockGetSize(value);
    const void *bytes = REALMemoryBlockGetPtr(value);
    if (bytes && size > 0)
        data->string = REALBuildUnicodeString(bytes, static_cast<uint32_t>(size),
                                              kREALTextEncodingRaw);
}

void GifDataQVR_Destructor(REALobject self)
{
    GifDataQVRData *data = GetGifDataQVRData(self);
    if (!data)
        return;
    ReleaseObject(&data->owner);
    data->record = nullptr;
    ReleaseString(&data->string);
}
