// GifScreenQVR (logical screen descriptor) and GifPaletteQVR (colour table).
// A view reads its record; a free-standing object, and every setter, use the
// object's own fields.
#include "classes/classes.h"
#include "classes/object_slots.h"

namespace {

// Record entry for a view whose table has it; otherwise the own entry at the
// index's low 8 bits.
const Colour *ReadEntry(const GifPaletteQVRData *data, int32_t index)
{
    const GifPalette *table = data->record;
    if (table && table->colours && table->length > 0 &&
        static_cast<uint32_t>(index) < static_cast<uint32_t>(table->length))
        return &table->colours[index];
    return &data->colours[index & 0xFF];
}

Colour *OwnEntry(GifPaletteQVRData *data, int32_t index)
{
    return &data->colours[index & 0xFF];
}

} // namespace

int32_t GifScreenQVR_GetWidth(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->width : data->width;
}

void GifScreenQVR_SetWidth(REALobject self, int32_t, int32_t value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->width = value;
}

int32_t GifScreenQVR_GetHeight(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->height : data->height;
}

void GifScreenQVR_SetHeight(REALobject self, int32_t, int32_t value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->height = value;
}

int32_t GifScreenQVR_GetColorResolution(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->color_res : data->colorResolution;
}

void GifScreenQVR_SetColorResolution(REALobject self, int32_t, int32_t value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->colorResolution = value;
}

RBBoolean GifScreenQVR_GetSorted(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? static_cast<RBBoolean>(data->record->sorted & 0xFF) : data->sorted;
}

void GifScreenQVR_SetSorted(REALobject self, int32_t, RBBoolean value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->sorted = value;
}

int32_t GifScreenQVR_GetPaletteDepth(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->cmap_depth : data->paletteDepth;
}

void GifScreenQVR_SetPaletteDepth(REALobject self, int32_t, int32_t value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->paletteDepth = value;
}

REALobject GifScreenQVR_GetPalette(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return nullptr;
    return PaletteObject(data->record ? data->record->cmap : nullptr, data->owner, data->palette);
}

void GifScreenQVR_SetPalette(REALobject self, int32_t, REALobject value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        ReplaceObject(&data->palette, value);
}

int32_t GifScreenQVR_GetBackgroundColor(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->bgcolour : data->backgroundColor;
}

void GifScreenQVR_SetBackgroundColor(REALobject self, int32_t, int32_t value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->backgroundColor = value;
}

int32_t GifScreenQVR_GetAspect(REALobject self, int32_t)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->aspect : data->aspect;
}

void GifScreenQVR_SetAspect(REALobject self, int32_t, int32_t value)
{
    if (GifScreenQVRData *data = GetGifScreenQVRData(self))
        data->aspect = value;
}

void GifScreenQVR_Destructor(REALobject self)
{
    GifScreenQVRData *data = GetGifScreenQVRData(self);
    if (!data)
        return;
    ReleaseObject(&data->owner);
    data->record = nullptr;
    ReleaseObject(&data->palette);
}

int32_t GifPaletteQVR_GetCount(REALobject self, int32_t)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    if (!data)
        return 0;
    return data->record ? data->record->length : data->count;
}

void GifPaletteQVR_SetCount(REALobject self, int32_t, int32_t value)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    // Unsigned, so negative counts are refused along with those above 256.
    if (data && static_cast<uint32_t>(value) <= 256)
        data->count = value;
}

RBColor GifPaletteQVR_Value(REALobject self, int32_t index)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    if (!data)
        return 0;
    const Colour *entry = ReadEntry(data, index);
    return (static_cast<RBColor>(entry->red) << 16) | (static_cast<RBColor>(entry->green) << 8) |
           entry->blue;
}

void GifPaletteQVR_SetValue(REALobject self, int32_t index, RBColor value)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    if (!data)
        return;
    Colour *entry = OwnEntry(data, index);
    entry->red = static_cast<unsigned char>(value >> 16);
    entry->green = static_cast<unsigned char>(value >> 8);
    entry->blue = static_cast<unsigned char>(value);
}

int32_t GifPaletteQVR_Blue(REALobject self, int32_t index)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    return data ? ReadEntry(data, index)->blue : 0;
}

void GifPaletteQVR_SetBlue(REALobject self, int32_t index, int32_t value)
{
    if (GifPaletteQVRData *data = GetGifPaletteQVRData(self))
        OwnEntry(data, index)->blue = static_cast<unsigned char>(value);
}

int32_t GifPaletteQVR_Green(REALobject self, int32_t index)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    return data ? ReadEntry(data, index)->green : 0;
}

void GifPaletteQVR_SetGreen(REALobject self, int32_t index, int32_t value)
{
    if (GifPaletteQVRData *data = GetGifPaletteQVRData(self))
        OwnEntry(data, index)->green = static_cast<unsigned char>(value);
}

int32_t GifPaletteQVR_Red(REALobject self, int32_t index)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    return data ? ReadEntry(data, index)->red : 0;
}

void GifPaletteQVR_SetRed(REALobject self, int32_t index, int32_t value)
{
    if (GifPaletteQVRData *data = GetGifPaletteQVRData(self))
        OwnEntry(data, index)->red = static_cast<unsigned char>(value);
}

void GifPaletteQVR_Destructor(REALobject self)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(self);
    if (!data)
        return;
    ReleaseObject(&data->owner);
    data->record = nullptr;
}
