/* Container reader: signature, logical screen, colour tables, extension and
 * image blocks. Lenient: only the signature is checked, input that ends
 * early reads as zero bytes, and an exhausted heap ends the reading with the
 * blocks complete so far. */
#include <stdint.h>
#include <stdlib.h>

#include "codec/gif.h"
#include "codec/source.h"

namespace {

enum { kImageIntro = 0x2C, kExtensionIntro = 0x21 };

/* Counted arrays grow by exactly one slot per append. */
template <typename T> bool append(T ***array, int32_t *count, T *item) {
    if (*count >= INT32_MAX / (int32_t)sizeof(T *) - 1) return false;
    T **grown = static_cast<T **>(app_realloc(*array, (*count + 1) * (int32_t)sizeof(T *)));
    if (!grown) return false;
    grown[*count] = item;
    *array = grown;
    ++*count;
    return true;
}

bool read_screen(GifStream *s, GifScreen *screen) {
    screen->width = gif_take_int(s);
    screen->height = gif_take_int(s);
    int32_t packed = gif_take(s);
    screen->has_cmap = packed >> 7 & 1;
    screen->color_res = (packed >> 4 & 7) + 1;
    screen->sorted = packed >> 3 & 1;
    screen->cmap_depth = (packed & 7) + 1;
    screen->bgcolour = gif_take(s);
    screen->aspect = gif_take(s);
    if (!screen->has_cmap) return true;
    if (!screen->cmap) return false;
    screen->cmap->length = 1 << screen->cmap_depth;
    return gif_read_palette_checked(s, screen->cmap);
}

GifData *read_data(GifStream *s) {
    int32_t n = gif_take(s);
    if (n == 0) return NULL;
    GifData *data = new_gif_data(n);
    if (data && data->bytes) {
        gif_take_bytes(s, data->bytes, n);
        return data;
    }
    del_gif_data(data);
    unsigned char scratch[255];
    gif_take_bytes(s, scratch, n);
    return NULL;
}

/* False when the heap ran out: the sub-blocks read so far stay in ext. */
bool read_extension(GifStream *s, GifExtension *ext) {
    ext->marker = gif_take(s);
    for (int32_t n; (n = gif_take(s)) != 0;) {
        GifData *data = new_gif_data(n);
        if (!data || !data->bytes) {
            del_gif_data(data);
            return false;
        }
        gif_take_bytes(s, data->bytes, n);
        if (!append(&ext->data, &ext->data_count, data)) {
            del_gif_data(data);
            return false;
        }
    }
    return true;
}

/* A block that could not be given its picture or extension reads as intro
 * 0, which no reader keeps. */
GifReadOutcome read_block(GifStream *s, GifBlock *block, ImageWork **work) {
    block->intro = gif_take(s);
    if (block->intro == kImageIntro) {
        block->pic = new_gif_picture();
        if (!block->pic || !block->pic->cmap) {
            del_gif_picture(block->pic);
            block->pic = NULL;
            block->intro = 0;
            return GIF_READ_DROP_AND_STOP;
        }
        return gif_read_picture_checked(s, block->pic, work);
    }
    if (block->intro == kExtensionIntro) {
        block->ext = new_gif_extension();
        if (!block->ext) {
            block->intro = 0;
            return GIF_READ_DROP_AND_STOP;
        }
        return read_extension(s, block->ext) ? GIF_READ_OK : GIF_READ_DROP_AND_STOP;
    }
    return GIF_READ_OK;
}

void read_blocks(GifStream *s, Gif *gif, bool up_to_first_picture, ImageWork **work) {
    for (;;) {
        GifBlock *block = new_gif_block();
        if (!block) return;
        GifReadOutcome outcome = read_block(s, block, work);
        bool kept = block->intro == kImageIntro || block->intro == kExtensionIntro;
        if (!kept || outcome == GIF_READ_DROP_AND_STOP ||
            !append(&gif->blocks, &gif->block_count, block)) {
            del_gif_block(block);
            return;
        }
        if (outcome != GIF_READ_OK) return;
        if (up_to_first_picture && block->intro == kImageIntro) return;
    }
}

void read_file(GifStream *s, Gif *gif, bool up_to_first_picture) {
    for (int i = 0; i < 6; i++) gif->header[i] = (char)gif_take(s);
    if (gif->header[0] != 'G' || gif->header[1] != 'I' || gif->header[2] != 'F') return;
    if (!gif->screen || !read_screen(s, gif->screen)) return;
    ImageWork *work = NULL;
    read_blocks(s, gif, up_to_first_picture, &work);
    gif_free_image_work(work);
}

}  // namespace

/* Spreads red, green, blue into bytes 1 to 3 of each entry. On an exhausted
 * heap the palette is left empty (length 0, no colours). */
bool gif_read_palette_checked(GifStream *s, GifPalette *palette) {
    if (palette->length <= 0) return true;
    if (palette->length > INT32_MAX / 4) {
        palette->length = 0;
        return false;
    }
    palette->colours = static_cast<Colour *>(gif_alloc(palette->length * 4));
    if (!palette->colours) {
        palette->length = 0;
        return false;
    }
    unsigned char rgb[3 * 256];
    for (int32_t done = 0; done < palette->length;) {
        int32_t n = palette->length - done < 256 ? palette->length - done : 256;
        gif_take_bytes(s, rgb, 3 * n);
        for (int32_t i = 0; i < n; i++) {
            Colour *c = &palette->colours[done + i];
            c->red = rgb[3 * i];
            c->green = rgb[3 * i + 1];
            c->blue = rgb[3 * i + 2];
        }
        done += n;
    }
    return true;
}

void read_gif(GifStream *stream, Gif *gif) {
    GifSourceLock lock(stream);
    read_file(stream, gif, false);
}

void read_one_gif_picture(GifStream *stream, Gif *gif) {
    GifSourceLock lock(stream);
    read_file(stream, gif, true);
}

void read_gif_screen(GifStream *stream, GifScreen *screen) {
    GifSourceLock lock(stream);
    read_screen(stream, screen);
}

void read_gif_palette(GifStream *stream, GifPalette *palette) {
    GifSourceLock lock(stream);
    gif_read_palette_checked(stream, palette);
}

void read_gif_block(GifStream *stream, GifBlock *block) {
    GifSourceLock lock(stream);
    ImageWork *work = NULL;
    read_block(stream, block, &work);
    gif_free_image_work(work);
}

void read_gif_extension(GifStream *stream, GifExtension *ext) {
    GifSourceLock lock(stream);
    read_extension(stream, ext);
}

GifData *read_gif_data(GifStream *stream) {
    GifSourceLock lock(stream);
    return read_data(stream);
}

int32_t read_gif_int(GifStream *stream) {
    GifSourceLock lock(stream);
    return gif_take_int(stream);
}
