/* The LZW decoder's bit reader: codes come from a 64-bit buffer that takes
 * up to eight bytes of the current sub-block at once. Only codec/decode.cpp
 * includes it; its functions belong inline in that one decoder. */
#ifndef GIFQVR_CODEC_BIT_READER_H
#define GIFQVR_CODEC_BIT_READER_H

#include <stdint.h>
#include <string.h>

#include "codec/gif.h"
#include "codec/source.h"

namespace {

/* The bit reader's fields, held in locals while codes are read. Once a call
 * has read ahead (`ahead`), the bits above `count` are the next bytes of
 * the current sub-block, and its whole bytes in `count` past the plain
 * rules' at most 7 bits are read ahead too. */
struct Bits {
    uint64_t buffer;
    int32_t count;
    int32_t pos;
    int32_t len;
    bool ahead;
};

inline Bits load_bits(const GifDecoder *d) {
    Bits b = {d->bit_buffer, d->bit_count, d->block_pos, d->block_len, false};
    return b;
}

/* Bytes read ahead all lie in the current sub-block: a new one is taken
 * only once the bits held are fewer than a code, and the code read then
 * leaves fewer than 8. */
inline void store_bits(GifDecoder *d, const Bits &b) {
    int32_t count = b.count, pos = b.pos;
    uint64_t buffer = b.buffer;
    if (b.ahead) {
        pos -= count >> 3;
        count &= 7;
        buffer &= (1u << count) - 1;
    }
    d->bit_buffer = (uint32_t)buffer;
    d->bit_count = count;
    d->block_pos = pos;
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

/* A byte at a time, as the rules read. */
void fill_bytes(GifStream *s, GifDecoder *d, Bits *b, int32_t width) {
    while (b->count < width) {
        uint32_t byte = b->pos < b->len ? d->block[b->pos++] : next_sub_block(s, d, b);
        b->buffer |= (uint64_t)byte << b->count;
        b->count += 8;
    }
}

/* Called with fewer bits than a code; eight bytes at once where the
 * sub-block holds them. */
inline void refill(GifStream *s, GifDecoder *d, Bits *b, int32_t width) {
    if (b->len - b->pos >= 8) {
        uint64_t bytes;
        memcpy(&bytes, d->block + b->pos, 8);
        b->buffer |= bytes << b->count;
        int32_t taken = (63 - b->count) >> 3;
        b->pos += taken;
        b->count += 8 * taken;
        b->ahead = true;
        return;
    }
    fill_bytes(s, d, b, width);
}

}  // namespace

#endif
