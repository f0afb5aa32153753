/* The LZW decoder's working state, shared by the image reader and the
 * exported row decoder (codec/decode.cpp holds the decoding itself). */
#ifndef GIFQVR_CODEC_LZW_H
#define GIFQVR_CODEC_LZW_H

#include <stdint.h>

#include "codec/gif.h"

enum {
    kTableSize = 4096,
    kMaxCodeWidth = 12,
    kMaxRootSize = 11,
    kRowSlack = 8  /* spare bytes after each row of a whole image, for 8-byte copies */
};

/* What the decoder record does not keep per code. A string is written from
 * its end, eight pixels per link: `tail` holds its last ((length - 1) % 8)
 * + 1 pixels, the first of them in the low byte and zeros above, and `skip`
 * names the code whose string is everything before that tail. */
/* Packed to 12 bytes, as i386 lays it out anyway: the work area below then
 * stays under the size from which allocators map every block afresh. */
#pragma pack(push, 4)
struct CodeEntry {
    uint64_t tail;
    uint16_t skip;
    unsigned char first;  /* first pixel of the string */
};
#pragma pack(pop)

/* Single pixels have length 1; control codes and undefined entries 0. */
struct CodeTable {
    uint16_t length[kTableSize];
    CodeEntry entry[kTableSize];
};

/* What a whole image needs while it is read; one read_gif call reuses it
 * for all its images. A whole image's rows persist, so a string that sits
 * whole in some row (its `place`) is copied from there; the pixels of a
 * string that runs past its row wait in `spill`, in order, from
 * `spill_start` on, `decoder.pending` of them. */
struct ImageWork {
    GifDecoder decoder;
    CodeTable table;
    const unsigned char *place[kTableSize];
    int32_t spill_start;
    unsigned char spill[kTableSize + kRowSlack];
};

/* What a decoder made by new_gif_decoder carries behind its record: the
 * per-code facts of the row decoder, kept between calls so that a row does
 * not derive them again from the whole table. They hold only while the
 * record's counters are what the last call left. */
struct RowCache {
    const GifDecoder *owner;
    int32_t seen[13];
    CodeTable table;
};

struct DecoderAllocation {
    GifDecoder decoder;
    RowCache cache;
};

/* Initialisation as init_gif_decoder does it; the whole-image reader never
 * looks at the record's code table and leaves `prefix` alone. */
void lzw_begin(GifStream *s, GifDecoder *d, bool fill_prefix);

/* A decoder as initialisation and decoding leave it; exported callers may
 * hand in anything, and nothing may index or shift out of range. */
bool lzw_usable(const GifDecoder *d);

int32_t lzw_read_code(GifStream *s, GifDecoder *d);

/* Decodes the rows of `pic` (width and height above 0, rows allocated)
 * from the data `w->decoder` was begun on. */
void lzw_decode_image(GifStream *s, ImageWork *w, GifPicture *pic);

/* One call of read_gif_line on a usable decoder. */
void lzw_decode_line(GifStream *s, GifDecoder *d, RowCache *cache, unsigned char *row, int32_t length);

#endif
