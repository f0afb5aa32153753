/* Container writer: header, logical screen, global colour table, blocks and
 * trailer. Image blocks are written by the image writer. */
#include "codec/gif.h"

#include "codec/image_writer.h"
#include "codec/sink.h"

namespace {

/* Colour resolution and depth fields hold value - 1 in 3 bits; values of 0
 * or less leave the field 0, larger ones are cut to the field. */
int32_t field3(int32_t value) {
    return value > 0 ? (value - 1) & 7 : 0;
}

void put_screen(FILE *f, const GifScreen *s) {
    gif_put_int(f, s->width);
    gif_put_int(f, s->height);
    int32_t depth = s->has_cmap ? gif_table_depth(s->cmap, s->cmap_depth) : 0;
    int32_t packed = (field3(s->color_res) << 4) | (s->sorted ? 0x08 : 0) |
                     (s->has_cmap ? 0x80 | (depth - 1) : field3(s->cmap_depth));
    gif_put(f, packed);
    gif_put(f, s->bgcolour);
    gif_put(f, s->aspect);
    if (s->has_cmap) gif_put_table(f, s->cmap, depth);
}

/* One GifData as sub-blocks of at most 255 bytes; an empty one gives none. */
void put_data_blocks(FILE *f, const GifData *d) {
    for (int32_t done = 0; done < d->length;) {
        int32_t n = d->length - done;
        if (n > 255) n = 255;
        gif_put(f, n);
        for (int32_t i = 0; i < n; i++) gif_put(f, d->bytes[done + i]);
        done += n;
    }
}

/* Null and empty entries are skipped: a zero length byte would end the
 * extension early. */
void put_extension(FILE *f, const GifExtension *ext) {
    gif_put(f, ext->marker);
    for (int32_t i = 0; ext->data && i < ext->data_count; i++) {
        const GifData *d = ext->data[i];
        if (d && d->bytes) put_data_blocks(f, d);
    }
    gif_put(f, 0);
}

void put_block(GifStream *stream, FILE *f, GifBlock *block, GifCodeTable **table) {
    gif_put(f, block->intro);
    if (block->pic) gif_put_picture(stream, f, block->pic, table);
    if (block->ext) put_extension(f, block->ext);
}

}  // namespace

extern "C" {

void write_gif(GifStream *stream, Gif *gif) {
    if (!gif) return;
    FILE *f = gif_sink_lock(stream);
    for (size_t i = 0; i < sizeof gif->header && gif->header[i]; i++)
        gif_put(f, gif->header[i]);
    if (gif->screen) {
        put_screen(f, gif->screen);
    } else {
        GifScreen blank = {};
        put_screen(f, &blank);
    }
    GifCodeTable *table = nullptr;
    for (int32_t i = 0; gif->blocks && i < gif->block_count; i++)
        if (gif->blocks[i]) put_block(stream, f, gif->blocks[i], &table);
    gif_free_code_table(table);
    gif_put(f, 0x3B);
    gif_sink_unlock(f);
}

void write_gif_screen(GifStream *stream, GifScreen *screen) {
    if (!screen) return;
    FILE *f = gif_sink_lock(stream);
    put_screen(f, screen);
    gif_sink_unlock(f);
}

/* Standing alone the table announces no depth: exactly its entries. */
void write_gif_palette(GifStream *stream, GifPalette *palette) {
    if (!palette || !palette->colours) return;
    FILE *f = gif_sink_lock(stream);
    gif_put_entries(f, palette->colours, palette->length);
    gif_sink_unlock(f);
}

void write_gif_block(GifStream *stream, GifBlock *block) {
    if (!block) return;
    FILE *f = gif_sink_lock(stream);
    GifCodeTable *table = nullptr;
    put_block(stream, f, block, &table);
    gif_free_code_table(table);
    gif_sink_unlock(f);
}

void write_gif_extension(GifStream *stream, GifExtension *ext) {
    if (!ext) return;
    FILE *f = gif_sink_lock(stream);
    put_extension(f, ext);
    gif_sink_unlock(f);
}

/* A null or empty entry is one 0 byte, the terminator; longer data is split
 * rather than cut. */
void write_gif_data(GifStream *stream, GifData *data) {
    FILE *f = gif_sink_lock(stream);
    if (!data || !data->bytes || data->length <= 0)
        gif_put(f, 0);
    else
        put_data_blocks(f, data);
    gif_sink_unlock(f);
}

void write_gif_int(GifStream *stream, int32_t value) {
    FILE *f = gif_sink_lock(stream);
    gif_put_int(f, value);
    gif_sink_unlock(f);
}

}  // extern "C"
