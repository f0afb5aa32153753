#include "picture/picture.h"

#include <string.h>

extern "C" {
int32_t LastWidth;
int32_t LastHeight;
}

namespace {

const int32_t kColours = 256;

bool TableUsable(const GifPalette *table)
{
    return table && table->length > 0 && table->colours;
}

} // namespace

int32_t GetPalette(const GifPalette *table, int32_t *red, int32_t *green, int32_t *blue)
{
    if (!TableUsable(table))
        return 0;
    // The arrays have room for 256 colours; longer tables are cut there.
    int32_t count = table->length < kColours ? table->length : kColours;
    for (int32_t i = 0; i < count; ++i) {
        red[i] = table->colours[i].red;
        green[i] = table->colours[i].green;
        blue[i] = table->colours[i].blue;
    }
    return 1;
}

int32_t FindPalette(const GifPicture *image, const Gif *gif, int32_t *red, int32_t *green,
                    int32_t *blue)
{
    if (!image)
        return 0;
    // A local table with entries wins whatever has_cmap says.
    if (TableUsable(image->cmap))
        return GetPalette(image->cmap, red, green, blue);
    if (!gif || !gif->screen)
        return 0;
    return GetPalette(gif->screen->cmap, red, green, blue);
}

REALpicture MakePictureFromGifPictureAndGifPalette(const GifPicture *image, const int32_t *red,
                                                   const int32_t *green, const int32_t *blue)
{
    if (!image)
        return nullptr;
    // Recorded on every call, before anything is built or refused.
    LastWidth = image->width;
    LastHeight = image->height;
    if (!image->rows)
        return nullptr;
    PictureWriter writer;
    if (!NewPictureWriter(&writer, image->width, image->height))
        return nullptr;
    // Each colour as the 3 bytes it is written as, plus one spare byte, so
    // that a pixel is one 4-byte store; the spare byte lands where the next
    // pixel goes. The last pixel of a row is written byte by byte, as the
    // next row may be missing.
    uint32_t packed[kColours];
    for (int32_t i = 0; i < kColours; ++i)
        packed[i] = static_cast<uint32_t>(static_cast<unsigned char>(red[i])) |
                    static_cast<uint32_t>(static_cast<unsigned char>(green[i])) << 8 |
                    static_cast<uint32_t>(static_cast<unsigned char>(blue[i])) << 16;
    const int32_t last = image->width - 1;
    for (int32_t r = 0; r < image->height; ++r) {
        const unsigned char *row = image->rows[r];
        unsigned char *out = writer.cursor;
        // A missing row stays black rather than being read.
        if (row) {
            for (int32_t x = 0; x < last; ++x, out += 3)
                memcpy(out, &packed[row[x]], 4);
            unsigned char i = row[last];
            out[0] = static_cast<unsigned char>(red[i]);
            out[1] = static_cast<unsigned char>(green[i]);
            out[2] = static_cast<unsigned char>(blue[i]);
        }
        writer.cursor += writer.rowBytes;
    }
    return RenderPictureWriter(&writer);
}

REALpicture MakePictureFromGifPicture(const Gif *gif, const GifPicture *image)
{
    if (!image)
        return nullptr;
    // Indexes past the table's end come out black.
    int32_t red[kColours], green[kColours], blue[kColours];
    memset(red, 0, sizeof red);
    memset(green, 0, sizeof green);
    memset(blue, 0, sizeof blue);
    if (!FindPalette(image, gif, red, green, blue))
        return nullptr;
    return MakePictureFromGifPictureAndGifPalette(image, red, green, blue);
}

int32_t FindBGColor(const Gif *gif, const GifPicture *image)
{
    if (!gif || !image || !gif->blocks || gif->block_count < 2)
        return -1;
    for (int32_t i = 0; i + 1 < gif->block_count; ++i) {
        const GifBlock *before = gif->blocks[i];
        const GifBlock *block = gif->blocks[i + 1];
        if (!before || !block || block->pic != image)
            continue;
        const GifExtension *ext = before->ext;
        if (!ext || ext->data_count <= 0 || !ext->data)
            continue;
        for (int32_t d = 0; d < ext->data_count; ++d) {
            const GifData *data = ext->data[d];
            // Too short to carry an index: not a candidate.
            if (!data || !data->bytes || data->length < 4)
                continue;
            if (data->bytes[0] & 1)
                return data->bytes[3];
        }
    }
    return -1;
}

REALpicture MakeMaskFromGifPicture(const GifPicture *image, int32_t index)
{
    if (!image || !image->rows)
        return nullptr;
    PictureWriter writer;
    if (!NewPictureWriter(&writer, image->width, image->height))
        return nullptr;
    for (int32_t r = 0; r < image->height; ++r) {
        const unsigned char *row = image->rows[r];
        if (row) {
            unsigned char *out = writer.cursor;
            for (int32_t x = 0; x < image->width; ++x, out += 3) {
                if (row[x] == index)
                    memset(out, 255, 3);
            }
        }
        writer.cursor += writer.rowBytes;
    }
    return RenderPictureWriter(&writer);
}

REALpicture MakePictureWithMask(const Gif *gif, const GifPicture *image)
{
    REALpicture picture = MakePictureFromGifPicture(gif, image);
    if (!picture)
        return nullptr;
    REALpicture mask = MakeMaskFromGifPicture(image, FindBGColor(gif, image));
    // Without a mask the picture is still usable, only fully opaque.
    AddPictureMask(picture, mask, LastWidth, LastHeight);
    if (mask)
        REALUnlockObject(reinterpret_cast<REALobject>(mask));
    return picture;
}
