/* Byte input shared by the container reader and the image reader. A memory
 * stream is read in place; a file is locked once per exported reader and
 * then read unlocked. Past the end of the input every byte is 0. */
#ifndef GIFQVR_CODEC_SOURCE_H
#define GIFQVR_CODEC_SOURCE_H

#include <stdio.h>
#include <string.h>

#include "codec/gif.h"

/* Holds the stream's file, if any, for the reader's lifetime. */
struct GifSourceLock {
    FILE *file;
    explicit GifSourceLock(const GifStream *stream) : file(stream->stream_file) {
        if (file) flockfile(file);
    }
    ~GifSourceLock() {
        if (file) funlockfile(file);
    }
    GifSourceLock(const GifSourceLock &) = delete;
    GifSourceLock &operator=(const GifSourceLock &) = delete;
};

static inline int32_t gif_take(GifStream *s) {
    if (s->stream_file) {
        int c = getc_unlocked(s->stream_file);
        return c == EOF ? 0 : c;
    }
    /* A position outside the buffer reads as the end, never out of bounds. */
    if (s->stream_data && s->stream_pos >= 0 && s->stream_pos < s->stream_size)
        return s->stream_data[s->stream_pos++];
    return 0;
}

/* n bytes at once (a sub-block, a colour table); what the input lacks is 0. */
static inline void gif_take_bytes(GifStream *s, unsigned char *to, int32_t n) {
    int32_t got = 0;
    if (s->stream_file) {
        got = (int32_t)fread(to, 1, (size_t)n, s->stream_file);
    } else if (s->stream_data && s->stream_pos >= 0 && s->stream_pos < s->stream_size) {
        int32_t left = s->stream_size - s->stream_pos;
        got = n < left ? n : left;
        memcpy(to, s->stream_data + s->stream_pos, (size_t)got);
        s->stream_pos += got;
    }
    if (got < n) memset(to + got, 0, (size_t)(n - got));
}

static inline int32_t gif_take_int(GifStream *s) {
    int32_t low = gif_take(s);
    return gif_take(s) * 256 + low;
}

/* Data sub-blocks up to and including the zero-length terminator. */
static inline void gif_skip_sub_blocks(GifStream *s) {
    unsigned char scratch[255];
    for (int32_t n; (n = gif_take(s)) != 0;) gif_take_bytes(s, scratch, n);
}

/* How the reading of one structure ended. An exhausted heap ends the reading
 * of the whole file; the structure is either still usable or must go. */
enum GifReadOutcome { GIF_READ_OK, GIF_READ_KEEP_AND_STOP, GIF_READ_DROP_AND_STOP };

/* Checked forms of the exported readers; the stream is already locked. The
 * image reader's work area is made at the first image and kept in *work for
 * the next; the caller frees it with gif_free_image_work. */
struct ImageWork;
bool gif_read_palette_checked(GifStream *s, GifPalette *palette);
GifReadOutcome gif_read_picture_checked(GifStream *s, GifPicture *picture, ImageWork **work);
void gif_free_image_work(ImageWork *work);

#endif
