/* Byte output shared by the container writer and the image writer. Each
 * exported writer locks the file once and then puts bytes unlocked; the
 * lock is recursive, so nested writers cost one more count, not a copy. */
#ifndef GIFQVR_CODEC_SINK_H
#define GIFQVR_CODEC_SINK_H

#include <stdio.h>

#include "codec/gif.h"

static inline FILE *gif_sink_lock(const GifStream *stream) {
    FILE *f = stream ? stream->stream_file : NULL;
    if (f) flockfile(f);
    return f;
}

static inline void gif_sink_unlock(FILE *f) {
    if (f) funlockfile(f);
}

/* Without a file the bytes are dropped: a null sink. */
static inline void gif_put(FILE *f, int32_t value) {
    if (f) putc_unlocked((unsigned char)value, f);
}

static inline void gif_put_int(FILE *f, int32_t value) {
    gif_put(f, value & 0xFF);
    gif_put(f, (value >> 8) & 0xFF);
}

/* Depth to announce for a table: the smallest, at least `depth`, that holds
 * all of its entries, from 1 to 8. */
static inline int32_t gif_table_depth(const GifPalette *palette, int32_t depth) {
    int32_t length = palette && palette->colours ? palette->length : 0;
    int32_t d = depth < 1 ? 1 : depth > 8 ? 8 : depth;
    while (d < 8 && (1 << d) < length) d++;
    return d;
}

/* `count` entries of red, green, blue; none for a count of 0 or less. */
static inline void gif_put_entries(FILE *f, const Colour *colours, int32_t count) {
    for (int32_t i = 0; i < count; i++) {
        gif_put(f, colours[i].red);
        gif_put(f, colours[i].green);
        gif_put(f, colours[i].blue);
    }
}

/* Exactly 2^depth entries of red, green, blue; black past the palette. */
static inline void gif_put_table(FILE *f, const GifPalette *palette, int32_t depth) {
    int32_t count = 1 << depth;
    int32_t have = palette && palette->colours ? palette->length : 0;
    if (have > count) have = count;
    if (have > 0) gif_put_entries(f, palette->colours, have);
    for (int32_t i = have < 0 ? 0 : have; i < count; i++) {
        gif_put(f, 0);
        gif_put(f, 0);
        gif_put(f, 0);
    }
}

#endif
