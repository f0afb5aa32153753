// Saving a GIFQVR object to a folder item: a loaded object writes its record
// unchanged; a free-standing one is first turned into a fresh record built
// from the own fields of its objects (views included: what they view is not
// copied).
#include "classes/classes.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

// A pointer array of count entries, or null when it cannot be had. The
// count is checked before multiplying: with a 32-bit size_t the product of a
// count above 2^29 would wrap.
template <typename T>
T **NewPointerArray(int32_t count)
{
    if (count <= 0 || static_cast<uint32_t>(count) > INT32_MAX / sizeof(T *))
        return nullptr;
    return static_cast<T **>(gif_alloc(count * static_cast<int32_t>(sizeof(T *))));
}

void ReleaseListItem(REALobject item)
{
    if (item)
        REALUnlockObject(item);
}

// A fresh table from the palette object, or none for a count outside 1..256.
GifPalette *BuildTable(REALobject palette)
{
    return palette ? MakePalette(palette) : nullptr;
}

// Row r of the record takes its pixels from offset r x stride of the block
// (stride is the object's width, which may exceed the record's), as far as
// the block reaches. Rows the block does not reach stay unallocated: the
// writer codes a missing row as index 0, so a large image without pixels
// costs no memory.
void FillRows(GifPicture *image, REALmemoryBlock block, int32_t stride)
{
    const unsigned char *bytes =
        block ? static_cast<const unsigned char *>(REALMemoryBlockGetPtr(block)) : nullptr;
    int32_t size = block ? REALMemoryBlockGetSize(block) : 0;
    if (!bytes || size <= 0 || image->width <= 0)
        return;
    for (int32_t row = 0; row < image->height; row++) {
        // 64 bits: row x stride reaches 2^47.
        int64_t offset = static_cast<int64_t>(row) * stride;
        if (offset >= size)
            return;
        int64_t count = size - offset < image->width ? size - offset : image->width;
        unsigned char *pixels = static_cast<unsigned char *>(gif_alloc(image->width));
        if (!pixels)
            return; // the rest is coded as index 0
        memcpy(pixels, bytes + offset, static_cast<size_t>(count));
        image->rows[row] = pixels;
    }
}

// The screen from the screen object's own fields.
void FillScreen(GifScreen *screen, REALobject object)
{
    GifScreenQVRData *data = GetGifScreenQVRData(object);
    if (!data)
        return;
    screen->has_cmap = 0;
    if (GifPalette *table = BuildTable(data->palette)) {
        if (screen->cmap)
            del_gif_palette(screen->cmap);
        screen->cmap = table;
        screen->has_cmap = 1;
    }
    screen->width = data->width;
    screen->height = data->height;
    screen->color_res = data->colorResolution;
    screen->cmap_depth = data->paletteDepth;
    screen->bgcolour = data->backgroundColor;
    screen->aspect = data->aspect;
    screen->sorted = data->sorted ? 1 : 0;
}

// Up to 8 bytes of the string, stopping before a zero byte; zeros after.
void FillHeader(Gif *gif, REALstring header)
{
    const char *text = REALStringBytes(header);
    int32_t length = REALStringLength(header);
    memset(gif->header, 0, sizeof gif->header);
    for (int32_t i = 0; text && i < length && i < static_cast<int32_t>(sizeof gif->header); i++) {
        if (text[i] == 0)
            break;
        gif->header[i] = text[i];
    }
}

void FillBlocks(Gif *gif, MyListData *list)
{
    int32_t count = MyListCount(list);
    GifBlock **blocks = NewPointerArray<GifBlock>(count);
    if (!blocks)
        return;
    int32_t stored = 0;
    for (int32_t i = 0; i < count; i++) {
        REALobject item = MyListGet(list, i);
        GifBlock *block = item ? MakeGifBlock(item) : nullptr;
        ReleaseListItem(item);
        if (block)
            blocks[stored++] = block;
    }
    gif->blocks = blocks;
    gif->block_count = stored;
}

// new_gif may leave its screen or table unmade; such a record cannot be
// deleted with del_gif, so it is taken apart here.
Gif *NewCompleteGif()
{
    Gif *gif = new_gif();
    if (!gif)
        return nullptr;
    if (gif->screen && gif->screen->cmap)
        return gif;
    if (gif->screen)
        free(gif->screen);
    free(gif);
    return nullptr;
}

} // namespace

RBBoolean write_gif_file(REALfolderItem item, Gif *gif)
{
    FILE *file = OpenCFILEwrite(item, 0);
    if (!file)
        return 0;
    bool written = false;
    if (gif) {
        GifStream stream;
        memset(&stream, 0, sizeof stream);
        stream.stream_file = file;
        write_gif(&stream, gif);
        // The writer ignores output errors; the stream remembers them.
        written = !ferror(file);
    }
    if (fclose(file) != 0)
        written = false;
    return written ? 1 : 0;
}

RBBoolean SaveGIFfile1(REALfolderItem item, REALobject object)
{
    GIFQVRData *data = GetGIFQVRData(object);
    if (!data)
        return 0;
    if (data->gif)
        return write_gif_file(item, data->gif);

    Gif *gif = NewCompleteGif();
    if (!gif)
        return 0;
    if (data->screen)
        FillScreen(gif->screen, data->screen);
    if (data->header)
        FillHeader(gif, data->header);
    FillBlocks(gif, data->blocks);
    RBBoolean written = write_gif_file(item, gif);
    del_gif(gif);
    return written;
}

GifPalette *MakePalette(REALobject object)
{
    GifPaletteQVRData *data = GetGifPaletteQVRData(object);
    if (!data || data->count < 1 || data->count > 256)
        return nullptr;
    GifPalette *table = new_gif_palette();
    if (!table)
        return nullptr;
    // All 256 entries travel, whatever the count; the writer uses count.
    table->colours = static_cast<Colour *>(gif_alloc(static_cast<int32_t>(sizeof data->colours)));
    if (!table->colours) {
        del_gif_palette(table);
        return nullptr;
    }
    memcpy(table->colours, data->colours, sizeof data->colours);
    table->length = data->count;
    return table;
}

GifData *MakeGifData(REALobject object)
{
    GifDataQVRData *data = GetGifDataQVRData(object);
    if (!data)
        return nullptr;
    const char *text = REALStringBytes(data->string);
    int32_t length = text ? REALStringLength(data->string) : 0;
    if (length < 0)
        length = 0;
    GifData *record = new_gif_data(length);
    if (!record)
        return nullptr;
    if (length > 0) {
        if (!record->bytes) {
            del_gif_data(record);
            return nullptr;
        }
        memcpy(record->bytes, text, static_cast<size_t>(length));
    }
    return record;
}

GifExtension *MakeGifExtension(REALobject object)
{
    GifExtensionQVRData *data = GetGifExtensionQVRData(object);
    if (!data)
        return nullptr;
    GifExtension *ext = new_gif_extension();
    if (!ext)
        return nullptr;
    ext->marker = data->marker;
    int32_t count = MyListCount(data->data);
    GifData **items = NewPointerArray<GifData>(count);
    if (!items)
        return ext;
    int32_t stored = 0;
    for (int32_t i = 0; i < count; i++) {
        REALobject item = MyListGet(data->data, i);
        GifData *record = item ? MakeGifData(item) : nullptr;
        ReleaseListItem(item);
        if (record)
            items[stored++] = record;
    }
    ext->data = items;
    ext->data_count = stored;
    return ext;
}

GifPicture *MakeGifPicture(REALobject object)
{
    GifPictureQVRData *data = GetGifPictureQVRData(object);
    if (!data)
        return nullptr;
    GifPicture *image = new_gif_picture();
    if (!image)
        return nullptr;
    if (!image->cmap) {
        free(image);
        return nullptr;
    }
    // A negative size makes an empty image rather than 65535-odd pixels.
    // The descriptor holds 16 bits of each size, and the image data written
    // matches it: the record keeps those bits, and its rows only the pixels
    // that go into the file.
    bool empty = data->width < 0 || data->height < 0;
    image->width = empty ? 0 : data->width & 0xFFFF;
    image->height = empty ? 0 : data->height & 0xFFFF;
    image->left = data->left;
    image->top = data->top;
    image->cmap_depth = data->paletteDepth;
    image->interlace = data->interlace ? 1 : 0;
    image->sorted = data->sorted ? 1 : 0;
    image->has_cmap = 0;
    if (GifPalette *table = BuildTable(data->palette)) {
        del_gif_palette(image->cmap);
        image->cmap = table;
        image->has_cmap = 1;
    }
    // Without the row array the image is written as index 0 throughout.
    image->rows = NewPointerArray<unsigned char>(image->height);
    if (image->rows)
        FillRows(image, data->data, data->width);
    return image;
}

GifBlock *MakeGifBlock(REALobject object)
{
    GifBlockQVRData *data = GetGifBlockQVRData(object);
    if (!data)
        return nullptr;
    GifBlock *block = new_gif_block();
    if (!block)
        return nullptr;
    block->intro = data->intro;
    block->pic = data->picture ? MakeGifPicture(data->picture) : nullptr;
    block->ext = data->extension ? MakeGifExtension(data->extension) : nullptr;
    return block;
}
