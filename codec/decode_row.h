/* The LZW decoder's row loop, shared by the whole-image reader
 * (codec/decode.cpp) and the exported row decoder (codec/row_decoder.cpp).
 *
 * Codes are read from a 64-bit buffer that takes up to eight bytes of the
 * current sub-block at once; whatever a call has read ahead of a byte at a
 * time is given back before the record is stored, so that the record holds
 * what the plain reading rules leave. Strings are written straight into the
 * row: copied from where the same string already stands whole (in a row of
 * the image, whose rows persist, or in the row decoder's history), or else
 * walked from the code table, eight pixels per link (see CodeEntry).
 * Copies go in 16-byte steps, as those rows have room for the overrun; the
 * rest of the row is rewritten or cleared later. Only the part of a string
 * that overruns the row waits for the next row: on the record's stack for
 * the row decoder, in order in the work area for a whole image. Only these
 * two sources include this header. */
#ifndef GIFQVR_CODEC_DECODE_ROW_H
#define GIFQVR_CODEC_DECODE_ROW_H

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

/* `n` pixels from an earlier place, 16 bytes at a time. The place never
 * overlaps the pixels needed: every string stands before its repetition. */
inline void copy16(unsigned char *to, const unsigned char *from, int32_t n) {
    int32_t k = 0;
    do {
        unsigned char sixteen[16];
        memcpy(sixteen, from + k, 16);
        memcpy(to + k, sixteen, 16);
        k += 16;
    } while (k < n);
}

/* `n` bytes in reverse order, as the row decoder's stack holds them: the
 * last of `from` goes first. */
inline void reverse_copy(unsigned char *to, const unsigned char *from, int32_t n) {
    int32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t eight;
        memcpy(&eight, from + n - k - 8, 8);
        eight = __builtin_bswap64(eight);
        memcpy(to + k, &eight, 8);
    }
    for (; k < n; k++) to[k] = from[n - 1 - k];
}

/* Where a string stands whole, for copying it, or null. A whole image's
 * rows persist: a place is a pointer into them. */
inline const unsigned char *place_of(const ImageWork *w, int32_t code) { return w->place[code]; }
inline void set_place(ImageWork *w, int32_t code, const unsigned char *at) { w->place[code] = at; }

/* In the row decoder's history a place is a stamp: the lap in the high bits
 * and the offset in the low bits. It holds while its bytes are not yet
 * written over: those of the current lap, and those of the previous lap
 * from `guard` on, past the row being written. */
inline const unsigned char *place_of(const RowWork *w, int32_t code) {
    uint32_t stamp = w->stamp[code];
    return stamp >= w->guard ? w->history + (stamp & kStampOffset) : NULL;
}
inline void set_place(RowWork *w, int32_t code, const unsigned char *at) {
    w->stamp[code] = at ? w->lap_base | (uint32_t)(at - w->history) : 0;
}

/* A string copied from its place, or else walked and (`keep`) placed where
 * it went; `to` has room for the overrun. */
template <class Work>
inline void put_placed(Work *w, const CodeEntry *entry, int32_t code, int32_t n, unsigned char *to, bool keep) {
    if (const unsigned char *from = place_of(w, code)) {
        copy16(to, from, n);
    } else {
        walk(entry, code, n, to, true);
        if (keep) set_place(w, code, to);
    }
}

/* Pixels of a string that ran past the previous row: a whole image keeps
 * them in order in its spill, the row decoder on the record's stack, the
 * next one on top. */
inline void take_waiting(ImageWork *w, unsigned char *row, int32_t n) {
    memcpy(row, w->spill + w->spill_start, (size_t)n);
    w->spill_start += n;
}
inline void take_waiting(RowWork *w, unsigned char *row, int32_t n) {
    reverse_copy(row, w->decoder.stack + w->decoder.pending - n, n);
}

/* The string of `n` pixels set aside, of which the first `room` went to
 * the row. */
inline void keep_waiting(ImageWork *w, const unsigned char *, int32_t room, int32_t) { w->spill_start = room; }
inline void keep_waiting(RowWork *w, const unsigned char *aside, int32_t room, int32_t n) {
    reverse_copy(w->decoder.stack, aside + room, n - room);
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

enum { kDataUsedUp = -1 };

/* Decodes `length` pixels into `row` and returns how many it received.
 * Ends early, leaving the rest of the row 0, at an end code or a defect;
 * then the pixels already taken from the stack are not replayed into the
 * next row. Whole images (`kWhole`) keep their waiting pixels in the work
 * area, and report kDataUsedUp once the data is used up with no bits set,
 * as every pixel from there on is 0 (the row decoder's record must go on
 * counting codes). With `kPlaced`, strings are copied from where they
 * stand, and the row has room for the overrun of 16-byte copies. */
template <bool kPlaced, class Work>
int32_t decode_row(GifStream *s, Work *w, unsigned char *row, int32_t length) {
    constexpr bool kWhole = Work::kWhole;
    GifDecoder *const d = &w->decoder;
    CodeTable *const t = &w->table;
    unsigned char *const row_end = row + length;
    int32_t i = 0;
    int32_t pending = d->pending;
    if (pending > 0 && length > 0) {
        int32_t n = pending < length ? pending : length;
        take_waiting(w, row, n);
        i = n;
        pending -= n;
        if (i == length) {
            d->pending = pending;
            return length;
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
    int32_t result = length;

    while (i < length) {
        if (b.count < width) {
            if (kWhole && b.buffer == 0 && d->blocks_done) {
                memset(row + i, 0, (size_t)(length - i));
                result = kDataUsedUp;
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
            if (kPlaced) {
                put_placed(w, entry, code, n, row + i, true);
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
                if (kPlaced) {
                    put_placed(w, entry, last, last_length, to, true);
                } else {
                    walk(entry, last, last_length, to, to + last_length + 7 <= row_end);
                }
                to[n - 1] = lead;
                at = to;
                i += n;
            } else {
                /* The whole string aside; what does not fit waits. */
                unsigned char *aside = w->spill;
                int32_t from = repeat ? last : code;
                int32_t from_length = repeat ? last_length : n;
                if (kPlaced) {
                    put_placed(w, entry, from, from_length, aside, false);
                } else {
                    walk(entry, from, from_length, aside, true);
                }
                if (repeat) aside[n - 1] = lead;
                memcpy(to, aside, (size_t)room);
                keep_waiting(w, aside, room, n);
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
            if (kPlaced) set_place(w, e, last_at);
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
    result = i;
    /* Overrun of the copies: the rest of the row stays 0. */
    {
        int32_t overrun = kPlaced ? kRowSlack : 8;
        memset(row + i, 0, (size_t)(length - i < overrun ? length - i : overrun));
    }

save:
    d->next_code = next;
    d->code_width = width;
    d->width_limit = limit;
    store_bits(d, b);
    return result;
}

}  // namespace

#endif
