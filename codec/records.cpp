/* Constructors and deep destructors of the record tree. Every record owns
 * its subtree. The destructors also take null records and null inner
 * pointers, which a constructor leaves behind on an exhausted heap. */
#include <stdlib.h>
#include <string.h>

#include "codec/gif.h"

namespace {

template <typename T> T *new_record() {
    return static_cast<T *>(gif_alloc((int32_t)sizeof(T)));
}

}  // namespace

Gif *new_gif(void) {
    Gif *gif = new_record<Gif>();
    if (!gif) return NULL;
    memcpy(gif->header, "GIF87a", 6);
    gif->screen = new_gif_screen();
    return gif;
}

GifScreen *new_gif_screen(void) {
    GifScreen *screen = new_record<GifScreen>();
    if (screen) screen->cmap = new_gif_palette();
    return screen;
}

GifPalette *new_gif_palette(void) { return new_record<GifPalette>(); }
GifBlock *new_gif_block(void) { return new_record<GifBlock>(); }
GifExtension *new_gif_extension(void) { return new_record<GifExtension>(); }

/* A failed byte array leaves length 0 beside the null bytes, so that the
 * pair never promises bytes that are not there. */
GifData *new_gif_data(int32_t length) {
    GifData *data = new_record<GifData>();
    if (!data || length <= 0) return data;
    data->bytes = static_cast<unsigned char *>(gif_alloc(length));
    if (data->bytes) data->length = length;
    return data;
}

GifPicture *new_gif_picture(void) {
    GifPicture *pic = new_record<GifPicture>();
    if (pic) pic->cmap = new_gif_palette();
    return pic;
}

GifEncoder *new_gif_encoder(void) { return new_record<GifEncoder>(); }

void del_gif_data(GifData *data) {
    if (!data) return;
    free(data->bytes);
    free(data);
}

void del_gif_palette(GifPalette *palette) {
    if (!palette) return;
    free(palette->colours);
    free(palette);
}

void del_gif_extension(GifExtension *ext) {
    if (!ext) return;
    for (int32_t i = 0; ext->data && i < ext->data_count; i++) del_gif_data(ext->data[i]);
    free(ext->data);
    free(ext);
}

void del_gif_screen(GifScreen *screen) {
    if (!screen) return;
    del_gif_palette(screen->cmap);
    free(screen);
}

void del_gif_picture(GifPicture *pic) {
    if (!pic) return;
    del_gif_palette(pic->cmap);
    if (pic->rows) {
        for (int32_t r = 0; r < pic->height; r++) free(pic->rows[r]);
        free(pic->rows);
    }
    free(pic);
}

void del_gif_block(GifBlock *block) {
    if (!block) return;
    del_gif_picture(block->pic);
    del_gif_extension(block->ext);
    free(block);
}

void del_gif(Gif *gif) {
    if (!gif) return;
    del_gif_screen(gif->screen);
    for (int32_t i = 0; gif->blocks && i < gif->block_count; i++) del_gif_block(gif->blocks[i]);
    free(gif->blocks);
    free(gif);
}

void del_gif_decoder(GifDecoder *decoder) { free(decoder); }
void del_gif_encoder(GifEncoder *encoder) { free(encoder); }
