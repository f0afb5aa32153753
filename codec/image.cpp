/* Image reader: the image descriptor, the local colour table and the image
 * data decoded into rows in display order; and the exported steps of the
 * LZW decoder (codec/decode.cpp decodes). */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "codec/gif.h"
#include "codec/lzw.h"
#include "codec/source.h"

namespace {

/* Rows of `width` zero bytes plus slack; on an exhausted heap none at all. */
unsigned char **new_rows(int32_t width, int32_t height) {
    if (height <= 0 || width < 0 || height > INT32_MAX / (int32_t)sizeof(unsigned char *) ||
        width > INT32_MAX - kRowSlack)
        return NULL;
    unsigned char **rows = static_cast<unsigned char **>(
        gif_alloc(height * (int32_t)sizeof(unsigned char *)));
    if (!rows) return NULL;
    for (int32_t r = 0; r < height; r++) {
        rows[r] = static_cast<unsigned char *>(gif_alloc(width + kRowSlack));
        if (!rows[r]) {
            while (r > 0) free(rows[--r]);
            free(rows);
            return NULL;
        }
    }
    return rows;
}

void free_rows(unsigned char **rows, int32_t height) {
    for (int32_t r = 0; r < height; r++) free(rows[r]);
    free(rows);
}

}  // namespace

void gif_free_image_work(ImageWork *work) { free(work); }

GifReadOutcome gif_read_picture_checked(GifStream *s, GifPicture *pic, ImageWork **work) {
    if (!pic->cmap) return GIF_READ_DROP_AND_STOP;
    pic->left = gif_take_int(s);
    pic->top = gif_take_int(s);
    pic->width = gif_take_int(s);
    pic->height = gif_take_int(s);
    int32_t packed = gif_take(s);
    pic->has_cmap = packed >> 7 & 1;
    pic->interlace = packed >> 6 & 1;
    pic->sorted = packed >> 5 & 1;
    pic->reserved = packed >> 3 & 3;
    if (pic->has_cmap) {
        pic->cmap_depth = (packed & 7) + 1;
        pic->cmap->length = 1 << pic->cmap_depth;
        if (!gif_read_palette_checked(s, pic->cmap)) return GIF_READ_DROP_AND_STOP;
    }

    /* A picture without rows stays usable: its rows pointer is null. */
    if (pic->height > 0) {
        pic->rows = new_rows(pic->width, pic->height);
        if (!pic->rows) return GIF_READ_KEEP_AND_STOP;
    }
    if (!*work) *work = static_cast<ImageWork *>(gif_alloc((int32_t)sizeof(ImageWork)));
    ImageWork *w = *work;
    if (!w) {
        if (pic->rows) free_rows(pic->rows, pic->height);
        pic->rows = NULL;
        return GIF_READ_KEEP_AND_STOP;
    }
    lzw_begin(s, &w->decoder, false);
    if (lzw_usable(&w->decoder) && pic->width > 0 && pic->height > 0) lzw_decode_image(s, w, pic);
    /* The rest of the data, up to its terminator; also for an image without
     * pixels, so that no data sub-block is read as a block. */
    if (!w->decoder.blocks_done) gif_skip_sub_blocks(s);
    return GIF_READ_OK;
}

void read_gif_picture(GifStream *stream, GifPicture *picture) {
    GifSourceLock lock(stream);
    ImageWork *work = NULL;
    gif_read_picture_checked(stream, picture, &work);
    gif_free_image_work(work);
}

void init_gif_decoder(GifStream *stream, GifDecoder *d) {
    GifSourceLock lock(stream);
    lzw_begin(stream, d, true);
}

int32_t read_gif_code(GifStream *stream, GifDecoder *d) {
    if (!lzw_usable(d)) return 0;
    GifSourceLock lock(stream);
    return lzw_read_code(stream, d);
}

void read_gif_line(GifStream *stream, GifDecoder *d, unsigned char *row, int32_t length) {
    if (!row || length <= 0) return;
    if (!lzw_usable(d)) {
        memset(row, 0, (size_t)length);
        return;
    }
    GifSourceLock lock(stream);
    lzw_decode_line(stream, reinterpret_cast<RowWork *>(d), row, length);
}

/* The record with room for the row decoder's derived state behind it. */
GifDecoder *new_gif_decoder(void) {
    RowWork *w = static_cast<RowWork *>(gif_alloc((int32_t)sizeof(RowWork)));
    return w ? &w->decoder : NULL;
}
