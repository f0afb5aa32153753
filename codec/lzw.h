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
    kRowSlack = 16  /* spare bytes after each row of a whole image and of the history, for 16-byte copies */
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
    static constexpr bool kWhole = true;
    GifDecoder decoder;
    CodeTable table;
    const unsigned char *place[kTableSize];
    int32_t spill_start;
    unsigned char spill[kTableSize + kRowSlack];
};

/* What a decoder made by new_gif_decoder is: the record, and behind it the
 * per-code facts of the row decoder, kept between calls so that a row does
 * not derive them again from the whole table. They hold only while the
 * record's counters are what the last call left (`seen`). A caller's rows
 * need not persist, so rows that fit are decoded into `history` first,
 * one after the other, and strings are copied from there like a whole
 * image's. When a row no longer fits, the history starts its next lap from
 * the beginning; each code's `stamp` says in which lap and where its
 * string was last written. The history begins with the 256 single pixels.
 * A string that runs past its row goes to `spill` before the record's
 * stack. */
enum {
    kHistorySize = 65536,  /* screens and pages repeat strings from rows far up */
    kPixelArea = 256 + kRowSlack,
    kStampOffset = (1 << 20) - 1,  /* low bits of a stamp; the lap is above */
    kPixelLap = 0xFFF,             /* the lap of the single pixels' stamps */
    kLastLap = kPixelLap - 1,
    kCounters = 13                 /* the record's fields root_size to block_len */
};
static_assert(kPixelArea + kHistorySize + kRowSlack <= kStampOffset, "history offsets fit a stamp");

struct RowWork {
    static constexpr bool kWhole = false;
    GifDecoder decoder;
    bool derived;          /* table, stamps and history set up from the record */
    int32_t seen[kCounters];
    CodeTable table;
    uint32_t stamp[kTableSize];
    uint32_t lap;          /* 1 to kLastLap */
    uint32_t lap_base;     /* the lap in a stamp's place */
    uint32_t guard;        /* the least stamp that holds, for the row being written */
    int32_t history_used;  /* bytes of this lap, after the pixels */
    unsigned char history[kPixelArea + kHistorySize + kRowSlack];
    unsigned char spill[kTableSize + kRowSlack];
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
void lzw_decode_line(GifStream *s, RowWork *w, unsigned char *row, int32_t length);

#endif
