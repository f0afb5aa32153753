/* The exported row decoder: one row per call, from what the record holds.
 * The record is the start of a RowWork (see codec/lzw.h), whose derived
 * state saves rebuilding the code table at every call. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "codec/decode_row.h"
#include "codec/gif.h"
#include "codec/lzw.h"
#include "codec/source.h"

namespace {

/* The record's counters lie in one run at its start. */
static_assert(offsetof(GifDecoder, block) == kCounters * sizeof(int32_t), "the counters lie in one run");

bool counters_seen(const RowWork *w) {
    return w->derived && memcmp(w->seen, &w->decoder, sizeof w->seen) == 0;
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

/* The history starts afresh: no string stands in it but the single
 * pixels, whose stamps hold in every lap. */
void forget_history(RowWork *w, int32_t clear) {
    for (int32_t v = 0; v < 256; v++) w->history[v] = (unsigned char)v;
    for (int32_t code = 0; code < clear; code++) w->stamp[code] = (uint32_t)kPixelLap << 20 | (code & 0xFF);
    for (int32_t code = clear; code < kTableSize; code++) w->stamp[code] = 0;
    w->lap = 1;
    w->history_used = 0;
}

/* The next row goes to the beginning of the history again. */
void next_lap(RowWork *w, int32_t clear) {
    if (w->lap == kLastLap) {
        forget_history(w, clear);
    } else {
        w->lap++;
        w->history_used = 0;
    }
}

}  // namespace

void lzw_decode_line(GifStream *s, RowWork *w, unsigned char *row, int32_t length) {
    GifDecoder *d = &w->decoder;
    int32_t clear = d->clear_code;
    if (!counters_seen(w)) {
        w->derived = true;
        derive_table(d, &w->table);
        forget_history(w, clear);
    }
    if (length <= kHistorySize) {
        if (length > kHistorySize - w->history_used) next_lap(w, clear);
        int32_t offset = kPixelArea + w->history_used;
        w->lap_base = w->lap << 20;
        w->guard = w->lap_base - (1u << 20) + (uint32_t)(offset + length + kRowSlack);
        unsigned char *at = w->history + offset;
        int32_t filled = decode_row<true>(s, w, at, length);
        memcpy(row, at, (size_t)filled);
        w->history_used += length;
    } else {
        /* Too long for the history: the codes it defines stand nowhere. */
        decode_row<false>(s, w, row, length);
        forget_history(w, clear);
    }
    memcpy(w->seen, d, sizeof w->seen);
}
