// The image writer as it was before it coded whole pictures at once: the
// exported row encoder driven one row at a time, the reference the picture
// writer's output is compared with, byte for byte.
#include "tests/codec_write/reference_encoder.h"

#include <string.h>

#include "codec/sink.h"

namespace reference {
namespace {

/* Stands in for the rows of a picture that has none. */
const unsigned char kZeroRow[256] = {0};

/* Bits needed by the largest pixel value, found as the bits of the OR of
 * all pixels; the scan stops once all 8 are needed. */
unsigned or_bytes(const unsigned char *row, int32_t width) {
    uint64_t wide = 0;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t word;
        memcpy(&word, row + x, 8);
        wide |= word;
    }
    unsigned acc = 0;
    for (; x < width; x++) acc |= row[x];
    for (int k = 0; k < 8; k++) acc |= (unsigned)(wide >> (8 * k)) & 0xFF;
    return acc;
}

int32_t pixel_bits(const GifPicture *pic) {
    if (!pic->rows || pic->width <= 0) return 0;
    unsigned all = 0;
    for (int32_t r = 0; r < pic->height && all < 0x80; r++)
        if (pic->rows[r]) all |= or_bytes(pic->rows[r], pic->width);
    int32_t n = 0;
    while (all) {
        n++;
        all >>= 1;
    }
    return n;
}

int32_t min_code_size(const GifPicture *pic) {
    int32_t size = 2;
    if (pic->cmap_depth >= 1 && pic->cmap_depth <= 8 && pic->cmap_depth > size)
        size = pic->cmap_depth;
    int32_t need = pixel_bits(pic);
    if (need > size) size = need;
    return size > 8 ? 8 : size;
}

void put_row(GifStream *s, GifEncoder *e, const GifPicture *pic, int32_t r) {
    const unsigned char *row = pic->rows ? pic->rows[r] : nullptr;
    if (row) {
        write_gif_line(s, e, row, pic->width);
        return;
    }
    for (int32_t done = 0; done < pic->width;) {
        int32_t n = pic->width - done;
        if (n > (int32_t)sizeof kZeroRow) n = (int32_t)sizeof kZeroRow;
        write_gif_line(s, e, kZeroRow, n);
        done += n;
    }
}

void put_picture(GifStream *s, GifPicture *pic) {
    FILE *f = gif_sink_lock(s);
    gif_put_int(f, pic->left);
    gif_put_int(f, pic->top);
    gif_put_int(f, pic->width);
    gif_put_int(f, pic->height);
    int32_t depth = pic->has_cmap ? gif_table_depth(pic->cmap, pic->cmap_depth) : 0;
    int32_t packed = (pic->has_cmap ? 0x80 | (depth - 1) : 0) |
                     (pic->interlace ? 0x40 : 0) | (pic->sorted ? 0x20 : 0) |
                     ((pic->reserved & 3) << 3);
    gif_put(f, packed);
    if (pic->has_cmap) gif_put_table(f, pic->cmap, depth);

    GifEncoder *e = new_gif_encoder();
    if (!e) {
        /* Smallest valid image data: code size 2, clear and end codes
         * (3 bits each) in one sub-block, terminator. */
        gif_put(f, 2);
        gif_put(f, 1);
        gif_put(f, 4 | 5 << 3);
        gif_put(f, 0);
        gif_sink_unlock(f);
        return;
    }
    gif_sink_unlock(f);
    init_gif_encoder(s, e, min_code_size(pic));
    if (pic->height > 0 && pic->width > 0) {
        if (pic->interlace) {
            static const int32_t start[4] = {0, 4, 2, 1};
            static const int32_t step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; pass++)
                for (int32_t r = start[pass]; r < pic->height; r += step[pass])
                    put_row(s, e, pic, r);
        } else {
            for (int32_t r = 0; r < pic->height; r++) put_row(s, e, pic, r);
        }
    }
    flush_gif_encoder(s, e);
    del_gif_encoder(e);
}

}  // namespace

void write_gif_picture(GifStream *stream, GifPicture *picture) {
    if (!picture) return;
    put_picture(stream, picture);
}

}  // namespace reference

