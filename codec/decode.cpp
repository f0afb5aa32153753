/* LZW decoder: whole images, and the single steps of the exported
 * decoder (codec/decode_row.h holds the row loop, codec/row_decoder.cpp
 * the exported row decoder). */
#include <stdint.h>
#include <string.h>

#include "codec/decode_row.h"
#include "codec/gif.h"
#include "codec/lzw.h"
#include "codec/source.h"

namespace {

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
            if (decode_row<true>(s, w, pic->rows[r], pic->width) == kDataUsedUp) return;
    }
}

