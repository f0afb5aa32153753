/* LZW decoder: image data decoded row by row, for a whole image and for the
 * exported row decoder.
 *
 * Codes are read from a 64-bit buffer that takes up to eight bytes of the
 * current sub-block at once; whatever a call has read ahead of a byte at a
 * time is given back before the record is stored, so that the record holds
 * what the plain reading rules leave. Strings are written straight into the
 * row: from where the same string already sits whole in a row of the image
 * (whole images only, whose rows persist), or else from the code table,
 * eight pixels per link (see CodeEntry). Copies go in 8-byte steps where
 * the row has room for the overrun; the rest of the row is rewritten or
 * cleared later. Only the part of a string that overruns the row waits for
 * the next row: on the record's stack for the row decoder, in order in the
 * work area for a whole image. */
#include <stdint.h>
#include <string.h>

#include "codec/bit_reader.h"
#include "codec/gif.h"
#include "codec/lzw.h"
#include "codec/source.h"

#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "tails are kept as little-endian words"
#endif

namespace {

/* Writes the `n` pixels of `code`'s string to `to`, from its last tail back
 * to its first; with `overrun` the last tail goes as 8 bytes, up to 7 past
 * the string's end. */
inline void walk(const CodeEntry *entry, int32_t code, int32_t n, unsigned char *to, bool overrun) {
    int32_t at = (n - 1) & ~7;
    uint64_t tail = entry[code].tail;
    if (overrun) {
        memcpy(to + at, &tail, 8);
    } else {
        for (int32_t k = at; k < n; k++, tail >>= 8) to[k] = (unsigned char)tail;
    }
    while (at > 0) {
        code = entry[code].skip;
        at -= 8;
        tail = entry[code].tail;
        memcpy(to + at, &tail, 8);
    }
}

/* `n` pixels from an earlier place, 8 bytes at a time. The place never
 * overlaps the pixels needed: every string stands before its repetition. */
inline void copy8(unsigned char *to, const unsigned char *from, int32_t n) {
    int32_t k = 0;
    do {
        uint64_t eight;
        memcpy(&eight, from + k, 8);
        memcpy(to + k, &eight, 8);
        k += 8;
    } while (k < n);
}

/* A string for a whole image, to a row (`keep`: remember where) or to the
 * spill; either has room for the overrun. */
inline void put_whole(ImageWork *w, int32_t code, int32_t n, unsigned char *to, bool keep) {
    if (const unsigned char *from = w->place[code]) {
        copy8(to, from, n);
    } else {
        walk(w->table.entry, code, n, to, true);
        if (keep) w->place[code] = to;
    }
}

/* Entry `e` as `last`'s string and then `lead`. */
inline void define(CodeTable *t, int32_t e, int32_t last, int32_t last_length, unsigned char last_first,
                   unsigned char lead) {
    t->length[e] = (uint16_t)(last_length + 1);
    CodeEntry *n = &t->entry[e];
    n->first = last_first;
    int32_t used = last_length & 7;
    if (used == 0) {
        n->tail = lead;
        n->skip = (uint16_t)last;
    } else {
        n->tail = t->entry[last].tail | (uint64_t)lead << (8 * used);
        n->skip = t->entry[last].skip;
    }
}

void set_pixels(CodeTable *t, int32_t clear) {
    for (int32_t c = 0; c < clear; c++) {
        t->length[c] = 1;
        t->entry[c].tail = (unsigned char)c;
        t->entry[c].skip = 0;
        t->entry[c].first = (unsigned char)c;
    }
}

enum RowEnd { ROW_FILLED, ROW_DATA_USED_UP };

/* Decodes `length` pixels into `row`. Ends early, leaving the rest of the
 * row 0, at an end code or a defect; then the pixels already taken from the
 * stack are not replayed into the next row. Whole images only: reports
 * when the data is used up with no bits set, as every pixel from there on
 * is 0 (the row decoder's record must go on counting codes). */
template <bool kWhole>
RowEnd decode_row(GifStream *s, GifDecoder *d, CodeTable *t, ImageWork *w, unsigned char *row, int32_t length) {
    unsigned char *const row_end = row + length;
    int32_t i = 0;
    int32_t pending = d->pending;
    if (pending > 0 && length > 0) {
        int32_t n = pending < length ? pending : length;
        if (kWhole) {
            memcpy(row, w->spill + w->spill_start, (size_t)n);
            w->spill_start += n;
        } else {
            const unsigned char *top = d->stack + pending;
            for (int32_t k = 0; k < n; k++) row[k] = *--top;
        }
        i = n;
        pending -= n;
        if (i == length) {
            d->pending = pending;
            return ROW_FILLED;
        }
    }

    const int32_t clear = d->clear_code;
    const int32_t end = d->end_code;
    uint16_t *const lengths = t->length;
    CodeEntry *const entry = t->entry;
    int32_t next = d->next_code;
    int32_t width = d->code_width;
    int32_t limit = d->width_limit;
    uint32_t mask = (1u << width) - 1;
    int32_t last = d->last_code;
    int32_t last_kept = last;  /* what an early end leaves in the record */
    int32_t last_length = last != NO_CODE ? lengths[last] : 0;
    unsigned char last_first = last != NO_CODE ? entry[last].first : 0;
    const unsigned char *last_at = NULL;  /* the previous string, if whole in this row */
    Bits b = load_bits(d);
    RowEnd result = ROW_FILLED;
    /* The row decoder's strings that overrun the row, before the stack. */
    unsigned char scratch[kWhole ? 1 : kTableSize + kRowSlack];

    while (i < length) {
        if (b.count < width) {
            if (kWhole && b.buffer == 0 && d->blocks_done) {
                memset(row + i, 0, (size_t)(length - i));
                result = ROW_DATA_USED_UP;
                break;
            }
            refill(s, d, &b, width);
        }
        int32_t code = (int32_t)(b.buffer & mask);
        b.buffer >>= width;
        b.count -= width;
        /* The width grows once the entry the code defines has used up the
         * current width; the counter saturates instead of wrapping. */
        next += next < INT32_MAX;
        if (next > limit && width < kMaxCodeWidth) {
            limit <<= 1;
            ++width;
            mask = (1u << width) - 1;
        }

        int32_t n = lengths[code];
        unsigned char lead;       /* first pixel of this code's string */
        const unsigned char *at;  /* where the string went, if whole in the row */
        if (n != 0 && n <= length - i) {
            /* A pixel or a defined entry that fits: the common case. */
            at = row + i;
            if (kWhole) {
                put_whole(w, code, n, row + i, true);
            } else {
                walk(entry, code, n, row + i, row + i + n + 7 <= row_end);
            }
            lead = entry[code].first;
            i += n;
        } else if (code == clear) {
            memset(lengths + clear, 0, (size_t)(kTableSize - clear) * sizeof lengths[0]);
            if (!kWhole)
                for (int32_t c = 0; c < kTableSize; c++) d->prefix[c] = NO_CODE;
            next = end + 1;
            width = d->root_size + 1;
            limit = 1 << width;
            mask = (1u << width) - 1;
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
                lead = entry[code].first;
            }
            int32_t room = length - i;
            unsigned char *to = row + i;
            if (n <= room) {
                if (kWhole) {
                    put_whole(w, last, last_length, to, true);
                } else {
                    walk(entry, last, last_length, to, to + last_length + 7 <= row_end);
                }
                to[n - 1] = lead;
                at = to;
                i += n;
            } else {
                /* The whole string aside; what does not fit waits. */
                unsigned char *aside = kWhole ? w->spill : scratch;
                int32_t from = repeat ? last : code;
                int32_t from_length = repeat ? last_length : n;
                if (kWhole) {
                    put_whole(w, from, from_length, aside, false);
                } else {
                    walk(entry, from, from_length, aside, true);
                }
                if (repeat) aside[n - 1] = lead;
                memcpy(to, aside, (size_t)room);
                if (kWhole) {
                    w->spill_start = room;
                } else {
                    /* Positions from `room` on go to the stack, the last one
                     * at the bottom. */
                    for (int32_t k = room; k < n; k++) d->stack[n - 1 - k] = aside[k];
                }
                pending = n - room;
                at = NULL;
                i = length;
            }
        }

        /* Once the table is full, codes go on without defining entries. */
        if (last != NO_CODE && next - 2 < kTableSize) {
            int32_t e = next - 2;
            if (!kWhole) {
                d->prefix[e] = last;
                d->suffix[e] = lead;
            }
            define(t, e, last, last_length, last_first, lead);
            if (kWhole) w->place[e] = last_at;
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

/* Derives the table from the record's, whose entries above the one the
 * last code defined are undefined. An entry whose prefix is not an earlier
 * defined code is taken as undefined. */
void derive_table(GifDecoder *d, CodeTable *t) {
    int32_t clear = d->clear_code;
    set_pixels(t, clear);
    int32_t defined_end = d->next_code - 1 < kTableSize ? d->next_code - 1 : kTableSize;
    int32_t c = clear;
    t->length[c++] = 0;
    t->length[c++] = 0;
    for (; c < defined_end; c++) {
        int32_t p = d->prefix[c];
        if (p >= 0 && p < c && t->length[p] != 0)
            define(t, c, p, t->length[p], t->entry[p].first, d->suffix[c]);
        else
            t->length[c] = 0;
    }
    memset(t->length + c, 0, (size_t)(kTableSize - c) * sizeof t->length[0]);
    if (d->last_code != NO_CODE && t->length[d->last_code] == 0) d->last_code = NO_CODE;
}

}  // namespace

bool lzw_usable(const GifDecoder *d) {
    return d->root_size >= 0 && d->root_size <= kMaxRootSize &&
           d->clear_code == 1 << d->root_size && d->end_code == d->clear_code + 1 &&
           d->code_width > d->root_size && d->code_width <= kMaxCodeWidth &&
           d->width_limit == 1 << d->code_width && d->next_code > d->end_code &&
           d->bit_count >= 0 && d->bit_count <= 24 && d->block_pos >= 0 &&
           d->block_pos <= 255 && d->block_len >= 0 && d->block_len <= 255 &&
           d->pending >= 0 && d->pending <= kTableSize &&
           (d->last_code == NO_CODE || (d->last_code >= 0 && d->last_code < kTableSize));
}

/* A minimum code size above 11 leaves no room for the code table: the data
 * counts as empty and is skipped here; every code then reads as 0. */
void lzw_begin(GifStream *s, GifDecoder *d, bool fill_prefix) {
    d->root_size = gif_take(s);
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
    if (fill_prefix)
        for (int32_t c = 0; c < kTableSize; c++) d->prefix[c] = NO_CODE;
    if (d->root_size > kMaxRootSize) {
        gif_skip_sub_blocks(s);
        d->blocks_done = 1;
    }
}

int32_t lzw_read_code(GifStream *s, GifDecoder *d) {
    Bits b = load_bits(d);
    fill_bytes(s, d, &b, d->code_width);
    int32_t code = (int32_t)(b.buffer & ((1u << d->code_width) - 1));
    b.buffer >>= d->code_width;
    b.count -= d->code_width;
    store_bits(d, b);
    d->next_code += d->next_code < INT32_MAX;
    if (d->next_code > d->width_limit && d->code_width < kMaxCodeWidth) {
        d->width_limit <<= 1;
        ++d->code_width;
    }
    return code;
}

/* Rows in the order the data holds them: plain, or the four interlace
 * passes (every 8th row from 0, every 8th from 4, every 4th from 2, every
 * 2nd from 1). */
void lzw_decode_image(GifStream *s, ImageWork *w, GifPicture *pic) {
    GifDecoder *d = &w->decoder;
    int32_t clear = d->clear_code;
    set_pixels(&w->table, clear);
    memset(w->table.length + clear, 0, (size_t)(kTableSize - clear) * sizeof w->table.length[0]);
    for (int32_t c = 0; c < clear; c++) w->place[c] = kPixelStrings.at + (c & 0xFF);
    w->spill_start = 0;
    static const int32_t kPassStart[4] = {0, 4, 2, 1};
    static const int32_t kPassStep[4] = {8, 8, 4, 2};
    int32_t passes = pic->interlace ? 4 : 1;
    for (int32_t pass = 0; pass < passes; pass++) {
        int32_t step = pic->interlace ? kPassStep[pass] : 1;
        for (int32_t r = pic->interlace ? kPassStart[pass] : 0; r < pic->height; r += step)
            if (decode_row<true>(s, d, &w->table, w, pic->rows[r], pic->width) == ROW_DATA_USED_UP) return;
    }
}

void lzw_decode_line(GifStream *s, GifDecoder *d, RowCache *cache, unsigned char *row, int32_t length) {
    if (!cache_holds(cache, d)) {
        derive_table(d, &cache->table);
        cache->owner = d;
    }
    decode_row<false>(s, d, &cache->table, NULL, row, length);
    snapshot(d, cache->seen);
}
