/* Image reader and LZW decoder: the image descriptor, the local colour
 * table, and the image data decoded row by row into display order.
 *
 * Strings are written straight into the row from the code table, last pixel
 * first; only the part of a string that overruns the row goes on the stack,
 * for the next row. Besides the record's prefix and suffix tables the
 * decoder keeps each code's string length and first pixel, so that no code
 * costs a walk of its chain just to learn them. While a whole image is read
 * the rows persist, so a code whose string already sits in some row is
 * copied from there eight bytes at a time; rows carry a few spare bytes so
 * such copies may overrun the string's end. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "codec/gif.h"
#include "codec/source.h"

namespace {

enum {
    kTableSize = 4096,
    kMaxCodeWidth = 12,
    kMaxRootSize = 11,
    kRowSlack = 8  /* spare bytes after each row for 8-byte copies */
};

const uint32_t kCodeMask[kMaxCodeWidth + 1] = {
    0x0, 0x1, 0x3, 0x7, 0xF, 0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};

/* What the decoder record does not keep per code. Single pixels have
 * length 1; control codes and undefined entries length 0. */
struct CodeFacts {
    uint16_t length[kTableSize];
    unsigned char first[kTableSize];
};

/* Everything one image needs while it is read, allocated at once. */
struct ImageWork {
    GifDecoder decoder;
    CodeFacts facts;
    const unsigned char *copy_from[kTableSize];  /* where a string sits in a row, or null */
};

/* What a decoder made by new_gif_decoder carries behind its record: the
 * per-code facts of the row decoder, kept between calls so that a row does
 * not derive them again from the whole table. They hold only while the
 * record's counters are what the last call left. */
struct RowCache {
    const GifDecoder *owner;
    int32_t seen[13];
    CodeFacts facts;
    uint32_t call;  /* counts calls, to tell this call's places from older ones */
    uint32_t stamp[kTableSize];
    const unsigned char *from[kTableSize];
};

struct DecoderAllocation {
    GifDecoder decoder;
    RowCache cache;
};

void snapshot(const GifDecoder *d, int32_t *seen) {
    const int32_t now[13] = {d->root_size, d->clear_code, d->end_code,   d->next_code, d->code_width,
                             d->width_limit, d->last_code, d->pending,   d->bit_count,
                             (int32_t)d->bit_buffer, d->blocks_done, d->block_pos, d->block_len};
    memcpy(seen, now, sizeof now);
}

bool cache_holds(const RowCache *c, const GifDecoder *d) {
    int32_t now[13];
    snapshot(d, now);
    return c->owner == d && memcmp(c->seen, now, sizeof now) == 0;
}

/* The bit reader's fields, held in locals while codes are read. */
struct Bits {
    uint32_t buffer;
    int32_t count;
    int32_t pos;
    int32_t len;
};

inline Bits load_bits(const GifDecoder *d) {
    Bits b = {d->bit_buffer, d->bit_count, d->block_pos, d->block_len};
    return b;
}

inline void store_bits(GifDecoder *d, const Bits &b) {
    d->bit_buffer = b.buffer;
    d->bit_count = b.count;
    d->block_pos = b.pos;
    d->block_len = b.len;
}

/* The current sub-block is used up: take the next one whole. */
uint32_t next_sub_block(GifStream *s, GifDecoder *d, Bits *b) {
    if (d->blocks_done) return 0;
    int32_t n = gif_take(s);
    b->len = n;
    if (n == 0) {
        d->blocks_done = 1;
        return 0;
    }
    gif_take_bytes(s, d->block, n);
    b->pos = 1;
    return d->block[0];
}

inline void fill_bits(GifStream *s, GifDecoder *d, Bits *b, int32_t width) {
    while (b->count < width) {
        uint32_t byte = b->pos < b->len ? d->block[b->pos++] : next_sub_block(s, d, b);
        b->buffer |= byte << b->count;
        b->count += 8;
    }
}

/* Every code read advances the counter; the width grows once the entry the
 * code defines has used up the current width. The counter saturates instead
 * of wrapping on endless data without a clear code. */
inline void count_code(int32_t *next, int32_t *width, int32_t *limit) {
    *next += *next < INT32_MAX;
    if (*next > *limit && *width < kMaxCodeWidth) {
        *limit <<= 1;
        ++*width;
    }
}

void forget_entries(GifDecoder *d, CodeFacts *f) {
    for (int32_t c = 0; c < kTableSize; c++) d->prefix[c] = NO_CODE;
    memset(f->length + d->clear_code, 0, (size_t)(kTableSize - d->clear_code) * sizeof f->length[0]);
}

/* A decoder as initialisation and decoding leave it; exported callers may
 * hand in anything, and nothing below may index or shift out of range. */
bool decoder_usable(const GifDecoder *d) {
    return d->root_size >= 0 && d->root_size <= kMaxRootSize &&
           d->clear_code == 1 << d->root_size && d->end_code == d->clear_code + 1 &&
           d->code_width > d->root_size && d->code_width <= kMaxCodeWidth &&
           d->width_limit == 1 << d->code_width && d->next_code > d->end_code &&
           d->bit_count >= 0 && d->bit_count <= 24 && d->block_pos >= 0 &&
           d->block_pos <= 255 && d->block_len >= 0 && d->block_len <= 255 &&
           d->pending >= 0 && d->pending <= kTableSize &&
           (d->last_code == NO_CODE || (d->last_code >= 0 && d->last_code < kTableSize));
}

/* Derives lengths and first pixels from the record's table, whose entries
 * above the one the last code defined are undefined. An entry whose prefix
 * is not an earlier defined code is taken as undefined. */
void derive_facts(GifDecoder *d, CodeFacts *f) {
    int32_t clear = d->clear_code;
    for (int32_t c = 0; c < clear; c++) {
        f->length[c] = 1;
        f->first[c] = (unsigned char)c;
    }
    int32_t defined_end = d->next_code - 1 < kTableSize ? d->next_code - 1 : kTableSize;
    int32_t c = clear;
    f->length[c++] = 0;
    f->length[c++] = 0;
    for (; c < defined_end; c++) {
        int32_t p = d->prefix[c];
        bool defined = p >= 0 && p < c && f->length[p] != 0;
        f->length[c] = defined ? (uint16_t)(f->length[p] + 1) : 0;
        f->first[c] = defined ? f->first[p] : 0;
    }
    memset(f->length + c, 0, (size_t)(kTableSize - c) * sizeof f->length[0]);
    if (d->last_code != NO_CODE && f->length[d->last_code] == 0) d->last_code = NO_CODE;
}

enum RowEnd { ROW_FILLED, ROW_DATA_USED_UP };

/* Single pixels as strings to copy from, like any other code's. */
struct PixelStrings {
    unsigned char at[256 + kRowSlack];
};
constexpr PixelStrings make_pixel_strings() {
    PixelStrings p{};
    for (int v = 0; v < 256; v++) p.at[v] = (unsigned char)v;
    return p;
}
constexpr PixelStrings kPixelStrings = make_pixel_strings();

/* Where strings were written, to copy them from. A whole image's rows
 * persist and carry slack, so a place stays good for the image and copies
 * may run 7 bytes past a string's end. A row call's caller keeps its rows,
 * so a place is good only during the call that wrote it (its `stamp`), and
 * copies near the row's end are exact. */
struct Places {
    const unsigned char **from;
    uint32_t *stamp;  /* null for a whole image */
    uint32_t call;
    int32_t clear;
};

template <bool kWhole> inline const unsigned char *place_of(const Places &pl, int32_t code) {
    if (kWhole || code < pl.clear || pl.stamp[code] == pl.call) return pl.from[code];
    return NULL;
}

template <bool kWhole> inline void set_place(Places &pl, int32_t code, const unsigned char *at) {
    pl.from[code] = at;
    if (!kWhole) pl.stamp[code] = pl.call;
}

/* Writes the `n` pixels of a code's string to `to` (they fit in the row).
 * A place to copy from never overlaps `to`: every string stands before the
 * one that repeats it. Copies go in 8-byte steps where the row has room for
 * the overrun; the rest of the row is rewritten or cleared later. */
template <bool kWhole>
inline void put_string(const GifDecoder *d, Places &pl, int32_t code, int32_t n, unsigned char *to,
                       const unsigned char *row_end) {
    if (const unsigned char *from = place_of<kWhole>(pl, code)) {
        if (kWhole || to + n + 7 <= row_end) {
            for (int32_t k = 0; k < n; k += 8) {
                uint64_t eight;
                memcpy(&eight, from + k, 8);
                memcpy(to + k, &eight, 8);
            }
        } else {
            memcpy(to, from, (size_t)n);
        }
        return;
    }
    unsigned char *p = to + n - 1;
    int32_t t = code;
    while (p > to) {
        *p-- = d->suffix[t];
        t = d->prefix[t];
    }
    *p = (unsigned char)t;
    set_place<kWhole>(pl, code, to);
}

/* Decodes `length` pixels into `row`. Ends early, leaving the rest of the
 * row 0, at an end code or a defect; then the pixels already taken from the
 * stack are not replayed into the next row. Reports when the data is used up
 * with no bits set: every pixel from here on is 0. */
template <bool kWhole>
RowEnd decode_row(GifStream *s, GifDecoder *d, CodeFacts *f, Places pl, unsigned char *row,
                  int32_t length) {
    const unsigned char *const row_end = row + length;
    int32_t i = 0;
    int32_t pending = d->pending;
    if (pending > 0 && length > 0) {
        const unsigned char *top = d->stack + pending;
        int32_t n = pending < length ? pending : length;
        for (; i < n; i++) row[i] = *--top;
        pending -= n;
        if (i == length) {
            d->pending = pending;
            return ROW_FILLED;
        }
    }

    const int32_t clear = d->clear_code;
    const int32_t end = d->end_code;
    int32_t *const prefix = d->prefix;
    unsigned char *const suffix = d->suffix;
    uint16_t *const lengths = f->length;
    unsigned char *const firsts = f->first;
    int32_t next = d->next_code;
    int32_t width = d->code_width;
    int32_t limit = d->width_limit;
    int32_t last = d->last_code;
    int32_t last_kept = last;  /* what an early end leaves in the record */
    int32_t last_length = last != NO_CODE ? lengths[last] : 0;
    unsigned char last_first = last != NO_CODE ? firsts[last] : 0;
    const unsigned char *last_at = NULL;  /* the previous string, if whole in this row */
    Bits b = load_bits(d);
    RowEnd result = ROW_FILLED;

    while (i < length) {
        if (b.count < width) {
            /* Whole images only: the row decoder's record must go on
             * counting codes as the rules say. */
            if (kWhole && b.buffer == 0 && d->blocks_done) {
                memset(row + i, 0, (size_t)(length - i));
                result = ROW_DATA_USED_UP;
                break;
            }
            fill_bits(s, d, &b, width);
        }
        int32_t code = (int32_t)(b.buffer & kCodeMask[width]);
        b.buffer >>= width;
        b.count -= width;
        count_code(&next, &width, &limit);

        int32_t n = lengths[code];
        unsigned char lead;  /* first pixel of this code's string */
        const unsigned char *at;  /* where the string went, if whole in the row */
        if (n != 0 && n <= length - i) {
            /* A pixel or a defined entry that fits: the common case. */
            at = row + i;
            put_string<kWhole>(d, pl, code, n, row + i, row_end);
            lead = firsts[code];
            i += n;
        } else if (code == clear) {
            forget_entries(d, f);
            next = end + 1;
            width = d->root_size + 1;
            limit = 1 << width;
            last = last_kept = NO_CODE;
            last_at = NULL;
            continue;
        } else if (code == end) {
            /* Only a row one pixel short keeps its previous code. */
            if (i == length - 1) last_kept = last;
            goto stop;
        } else {
            /* The entry being defined (last's string and its first pixel),
             * or a string longer than what is left of the row. */
            bool repeat = n == 0;
            if (repeat) {
                if (code != next - 2 || last == NO_CODE) goto stop;
                n = last_length + 1;
                lead = last_first;
            } else {
                lead = firsts[code];
            }
            int32_t room = length - i;
            unsigned char *to = row + i;
            if (n <= room) {
                put_string<kWhole>(d, pl, last, last_length, to, row_end);
                to[n - 1] = lead;
                at = to;
                i += n;
            } else {
                /* Positions from `room` on go to the stack, the last one at
                 * the bottom, to start the next row. */
                int32_t k = n - 1;
                int32_t t = code;
                if (repeat) {
                    d->stack[0] = lead;
                    t = last;
                    k--;
                }
                for (; k >= room; k--) {
                    d->stack[n - 1 - k] = suffix[t];
                    t = prefix[t];
                }
                for (; k > 0; k--) {
                    to[k] = suffix[t];
                    t = prefix[t];
                }
                to[0] = (unsigned char)t;
                pending = n - room;
                at = NULL;
                i = length;
            }
        }

        /* Once the table is full, codes go on without defining entries. */
        if (last != NO_CODE && next - 2 < kTableSize) {
            int32_t entry = next - 2;
            prefix[entry] = last;
            suffix[entry] = lead;
            lengths[entry] = (uint16_t)(last_length + 1);
            firsts[entry] = last_first;
            set_place<kWhole>(pl, entry, last_at);
        }
        last = code;
        last_length = n;
        last_first = lead;
        last_at = at;
    }

    d->last_code = last;
    d->pending = pending;
    goto save;

stop:
    d->last_code = last_kept;
    d->pending = 0;
    /* Overrun of the 8-byte copies: the rest of the row stays 0. */
    memset(row + i, 0, (size_t)(length - i < kRowSlack ? length - i : kRowSlack));

save:
    d->next_code = next;
    d->code_width = width;
    d->width_limit = limit;
    store_bits(d, b);
    return result;
}

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

/* Rows in the order the data holds them: plain, or the four interlace
 * passes (every 8th row from 0, every 8th from 4, every 4th from 2, every
 * 2nd from 1). */
void decode_rows(GifStream *s, ImageWork *w, GifPicture *pic) {
    static const int32_t kPassStart[4] = {0, 4, 2, 1};
    static const int32_t kPassStep[4] = {8, 8, 4, 2};
    int32_t passes = pic->interlace ? 4 : 1;
    for (int32_t pass = 0; pass < passes; pass++) {
        int32_t step = pic->interlace ? kPassStep[pass] : 1;
        for (int32_t r = pic->interlace ? kPassStart[pass] : 0; r < pic->height; r += step) {
            Places pl = {w->copy_from, NULL, 0, w->decoder.clear_code};
            if (decode_row<true>(s, &w->decoder, &w->facts, pl, pic->rows[r],
                                 pic->width) == ROW_DATA_USED_UP)
                return;
        }
    }
}

}  // namespace

GifReadOutcome gif_read_picture_checked(GifStream *s, GifPicture *pic) {
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
    ImageWork *w = static_cast<ImageWork *>(gif_alloc((int32_t)sizeof(ImageWork)));
    if (!w) {
        if (pic->rows) free_rows(pic->rows, pic->height);
        pic->rows = NULL;
        return GIF_READ_KEEP_AND_STOP;
    }
    init_gif_decoder(s, &w->decoder);
    if (decoder_usable(&w->decoder)) {
        derive_facts(&w->decoder, &w->facts);
        for (int32_t c = 0; c < w->decoder.clear_code; c++) w->copy_from[c] = kPixelStrings.at + (c & 0xFF);
        if (pic->width > 0 && pic->height > 0) decode_rows(s, w, pic);
    }
    /* The rest of the data, up to its terminator; also for an image without
     * pixels, so that no data sub-block is read as a block. */
    if (!w->decoder.blocks_done) gif_skip_sub_blocks(s);
    free(w);
    return GIF_READ_OK;
}

void read_gif_picture(GifStream *stream, GifPicture *picture) {
    GifSourceLock lock(stream);
    gif_read_picture_checked(stream, picture);
}

/* A minimum code size above 11 leaves no room for the code table: the data
 * counts as empty and is skipped here; every code then reads as 0. */
void init_gif_decoder(GifStream *stream, GifDecoder *d) {
    GifSourceLock lock(stream);
    d->root_size = gif_take(stream);
    d->blocks_done = 0;
    d->block_pos = 0;
    d->block_len = 0;
    d->block[0] = 0;
    int32_t root = d->root_size <= kMaxRootSize ? d->root_size : kMaxCodeWidth;
    d->clear_code = 1 << root;
    d->end_code = d->clear_code + 1;
    d->next_code = d->clear_code + 2;
    d->code_width = root < kMaxCodeWidth ? root + 1 : kMaxCodeWidth;
    d->width_limit = 1 << d->code_width;
    d->pending = 0;
    d->last_code = NO_CODE;
    d->bit_count = 0;
    d->bit_buffer = 0;
    for (int32_t c = 0; c < kTableSize; c++) d->prefix[c] = NO_CODE;
    if (d->root_size > kMaxRootSize) {
        gif_skip_sub_blocks(stream);
        d->blocks_done = 1;
    }
}

int32_t read_gif_code(GifStream *stream, GifDecoder *d) {
    if (!decoder_usable(d)) return 0;
    GifSourceLock lock(stream);
    Bits b = load_bits(d);
    fill_bits(stream, d, &b, d->code_width);
    int32_t code = (int32_t)(b.buffer & kCodeMask[d->code_width]);
    b.buffer >>= d->code_width;
    b.count -= d->code_width;
    store_bits(d, b);
    count_code(&d->next_code, &d->code_width, &d->width_limit);
    return code;
}

void read_gif_line(GifStream *stream, GifDecoder *d, unsigned char *row, int32_t length) {
    if (!row || length <= 0) return;
    if (!decoder_usable(d)) {
        memset(row, 0, (size_t)length);
        return;
    }
    GifSourceLock lock(stream);
    RowCache *cache = &reinterpret_cast<DecoderAllocation *>(d)->cache;
    if (!cache_holds(cache, d)) {
        derive_facts(d, &cache->facts);
        for (int32_t c = 0; c < d->clear_code; c++) cache->from[c] = kPixelStrings.at + (c & 0xFF);
        cache->owner = d;
    }
    if (++cache->call == 0) {
        memset(cache->stamp, 0, sizeof cache->stamp);
        cache->call = 1;
    }
    Places pl = {cache->from, cache->stamp, cache->call, d->clear_code};
    decode_row<false>(stream, d, &cache->facts, pl, row, length);
    snapshot(d, cache->seen);
}

/* The record with room for the row decoder's cache behind it. */
GifDecoder *new_gif_decoder(void) {
    DecoderAllocation *a = static_cast<DecoderAllocation *>(gif_alloc((int32_t)sizeof(DecoderAllocation)));
    return a ? &a->decoder : NULL;
}
