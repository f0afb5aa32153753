// GifPictureQVR: one image's descriptor, local colour table and pixels, and
// its conversion to a host picture or mask. A view reads its record (except
// "Data", where a block set on the object wins); setters write own fields.
#include "classes/classes.h"
#include "classes/object_slots.h"

#include <stdint.h>
#include <string.h>

#include "picture/picture.h"

namespace {

// The Gif record of a view's owner, which holds the global table and the
// block before the image.
const Gif *OwnerGif(const GifPictureQVRData *data)
{
    GIFQVRData *owner = GetGIFQVRData(data->owner);
    return owner ? owner->gif : nullptr;
}

} // namespace

int32_t GifPictureQVR_GetLeft(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->left : data->left;
}

void GifPictureQVR_SetLeft(REALobject self, int32_t, int32_t value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->left = value;
}

int32_t GifPictureQVR_GetTop(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->top : data->top;
}

void GifPictureQVR_SetTop(REALobject self, int32_t, int32_t value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->top = value;
}

int32_t GifPictureQVR_GetWidth(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->width : data->width;
}

void GifPictureQVR_SetWidth(REALobject self, int32_t, int32_t value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->width = value;
}

int32_t GifPictureQVR_GetHeight(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->height : data->height;
}

void GifPictureQVR_SetHeight(REALobject self, int32_t, int32_t value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->height = value;
}

RBBoolean GifPictureQVR_GetInterlace(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? static_cast<RBBoolean>(data->record->interlace & 0xFF)
                        : data->interlace;
}

void GifPictureQVR_SetInterlace(REALobject self, int32_t, RBBoolean value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->interlace = value;
}

RBBoolean GifPictureQVR_GetSorted(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? static_cast<RBBoolean>(data->record->sorted & 0xFF) : data->sorted;
}

void GifPictureQVR_SetSorted(REALobject self, int32_t, RBBoolean value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->sorted = value;
}

int32_t GifPictureQVR_GetPaletteDepth(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->cmap_depth : data->paletteDepth;
}

void GifPictureQVR_SetPaletteDepth(REALobject self, int32_t, int32_t value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        data->paletteDepth = value;
}

REALobject GifPictureQVR_GetPalette(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return nullptr;
    return PaletteObject(data->record ? data->record->cmap : nullptr, data->owner,
                         data->palette);
}

void GifPictureQVR_SetPalette(REALobject self, int32_t, REALobject value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        ReplaceObject(&data->palette, value);
}

REALmemoryBlock GifPictureQVR_GetData(REALobject self, int32_t)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return nullptr;
    // A block set on the object comes first, on views too.
    if (data->data) {
        REALLockObject(reinterpret_cast<REALobject>(data->data));
        return data->data;
    }
    const GifPicture *image = data->record;
    if (!image || image->width <= 0 || image->height <= 0)
        return nullptr;
    int64_t size = static_cast<int64_t>(image->width) * image->height;
    if (size > INT32_MAX)
        return nullptr;
    // Rows go straight into the new block: one copy, no buffer of our own.
    REALmemoryBlock block = REALNewMemoryBlock(static_cast<int32_t>(size));
    if (!block)
        return nullptr;
    unsigned char *bytes = static_cast<unsigned char *>(REALMemoryBlockGetPtr(block));
    if (!bytes) {
        REALUnlockObject(reinterpret_cast<REALobject>(block));
        return nullptr;
    }
    size_t width = static_cast<size_t>(image->width);
    for (int32_t row = 0; row < image->height; row++) {
        unsigned char *target = bytes + static_cast<size_t>(row) * width;
        if (image->rows && image->rows[row])
            memcpy(target, image->rows[row], width);
        else
            memset(target, 0, width);
    }
    return block;
}

void GifPictureQVR_SetData(REALobject self, int32_t, REALmemoryBlock value)
{
    if (GifPictureQVRData *data = GetGifPictureQVRData(self))
        ReplaceMemoryBlock(&data->data, value);
}

REALmemoryBlock GifPictureQVR_PixelData(REALobject self, int32_t row)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data || !data->record)
        return nullptr;
    const GifPicture *image = data->record;
    // Unsigned, so a negative row is out of range.
    if (image->height <= 0 || static_cast<uint32_t>(row) >= static_cast<uint32_t>(image->height))
        return nullptr;
    if (!image->rows || !image->rows[row])
        return nullptr;
    return REALBuildMemoryblock(image->rows[row], image->width);
}

REALpicture GifPictureQVR_MakePicture(REALobject self)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data || !data->record)
        return nullptr;
    // The image's own table if it has entries, else the owner's global one.
    return MakePictureFromGifPicture(OwnerGif(data), data->record);
}

REALpicture GifPictureQVR_MakeMask(REALobject self)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data || !data->record)
        return nullptr;
    return MakeMaskFromGifPicture(data->record, FindBGColor(OwnerGif(data), data->record));
}

REALpicture GifPictureQVR_MakeMaskIndex(REALobject self, int32_t transparentColorIndex)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data || !data->record)
        return nullptr;
    return MakeMaskFromGifPicture(data->record, transparentColorIndex);
}

void GifPictureQVR_Destructor(REALobject self)
{
    GifPictureQVRData *data = GetGifPictureQVRData(self);
    if (!data)
        return;
    ReleaseObject(&data->owner);
    data->record = nullptr;
    ReleaseObject(&data->palette);
    if (data->data)
        REALUnlockObject(reinterpret_cast<REALobject>(data->data));
    data->data = nullptr;
}
