/* The exported LZW encoder, driven code by code or row by row from
 * outside: its whole state lives in the GifEncoder record between calls.
 * Whole pictures are coded by the image writer. */
#include "codec/gif.h"

#include <string.h>

#include "codec/sink.h"

namespace {

const int32_t kMaxCode = 4095;  /* reaching it resets the table */
const uint32_t kEmptyKey = 0xFFFFF;  /* upper 20 bits of an empty slot */
const uint32_t kHashMask = 0x1FFF;

void clear_table(GifEncoder *e) {
    memset(e->hash_table, 0xFF, sizeof e->hash_table);
}

void put_block(FILE *f, const GifEncoder *e) {
    gif_put(f, e->block_len);
    for (int32_t i = 0; i < e->block_len; i++) gif_put(f, e->block[i]);
}

/* Collects bytes into sub-blocks of 255; FLUSH_CODE writes the last one
 * and the terminator. A full block waits for the next byte so that no
 * empty sub-block ever precedes the terminator. */
void write_gif_byte(FILE *f, GifEncoder *e, int32_t value) {
    if (e->blocks_done == 1) return;
    if (value == FLUSH_CODE) {
        if (e->block_len > 0) {
            put_block(f, e);
            e->block_len = 0;
        }
        gif_put(f, 0);
        e->blocks_done = 1;
        return;
    }
    if (e->block_len >= 255) {
        put_block(f, e);
        e->block_len = 0;
    }
    e->block[e->block_len++] = (unsigned char)value;
}

void put_code(FILE *f, GifEncoder *e, int32_t code) {
    if (code == FLUSH_CODE) {
        while (e->bit_count > 0) {
            write_gif_byte(f, e, (int32_t)(e->bit_buffer & 0xFF));
            e->bit_buffer >>= 8;
            e->bit_count -= 8;
        }
        e->bit_count = 0;
        e->bit_buffer = 0;
        write_gif_byte(f, e, FLUSH_CODE);
        return;
    }
    e->bit_buffer |= (uint32_t)code << e->bit_count;
    e->bit_count += e->code_width;
    while (e->bit_count >= 8) {
        write_gif_byte(f, e, (int32_t)(e->bit_buffer & 0xFF));
        e->bit_buffer >>= 8;
        e->bit_count -= 8;
    }
    if (code <= kMaxCode && e->next_code >= e->width_limit) {
        e->code_width++;
        e->width_limit = 1 << e->code_width;
    }
}

/* Root size 2..8; the table depth and 8-bit pixels never need more. */
void init_encoder(FILE *f, GifEncoder *e, int32_t depth) {
    if (depth < 2) depth = 2;
    if (depth > 8) depth = 8;
    e->root_size = depth;
    e->blocks_done = 0;
    e->block_len = 0;
    e->clear_code = 1 << depth;
    e->end_code = e->clear_code + 1;
    e->next_code = e->clear_code + 2;
    e->code_width = depth + 1;
    e->width_limit = 1 << e->code_width;
    e->current_code = NO_STRING;
    e->bit_count = 0;
    e->bit_buffer = 0;
    gif_put(f, depth);
    clear_table(e);
    put_code(f, e, e->clear_code);
}

/* The hot loop: the encoder's running state lives in locals and goes back
 * into the record once per call. */
void encode_line(FILE *f, GifEncoder *e, const unsigned char *pixels, int32_t length) {
    if (length <= 0 || e->root_size < 2 || e->blocks_done) return;
    int32_t i = 0;
    if (e->current_code == NO_STRING) e->current_code = pixels[i++];

    uint32_t *const table = e->hash_table;
    unsigned char *const block = e->block;
    uint32_t cur = (uint32_t)e->current_code;
    int32_t next = e->next_code;
    int32_t width = e->code_width;
    int32_t limit = e->width_limit;
    uint32_t bits = e->bit_buffer;
    int32_t nbits = e->bit_count;
    int32_t blen = e->block_len;

    /* The slot of key (cur << 8) | p is ((key >> 12) ^ key) & 0x1FFF, that
     * is base ^ p with base = ((cur & 0x1F) << 8) ^ (cur >> 4). A found
     * entry gives the next base straight from its low bits, which keeps the
     * chain from one lookup to the next short. */
    size_t base = (((cur & 0x1F) << 8) ^ (cur >> 4)) & kHashMask;
    for (; i < length; i++) {
        const uint32_t p = pixels[i];
        const uint32_t key = (cur << 8) | p;
        size_t slot = base ^ p;
        uint32_t entry = table[slot];
        while ((entry >> 12) != key) {
            if ((entry >> 12) == kEmptyKey) break;
            slot = (slot + 1) & kHashMask;
            entry = table[slot];
        }
        if ((entry >> 12) == key) {
            cur = entry & 0xFFF;
            base = ((entry << 8) & 0x1F00) ^ ((entry >> 4) & 0xFF);
            continue;
        }

        /* No longer string: write the code of the one matched so far. */
        bits |= cur << nbits;
        nbits += width;
        if (blen < 254) {
            /* Room for the two bytes a code of at most 12 bits can fill. */
            while (nbits >= 8) {
                block[blen++] = (unsigned char)bits;
                bits >>= 8;
                nbits -= 8;
            }
        } else {
            while (nbits >= 8) {
                if (blen >= 255) {
                    e->block_len = blen;
                    put_block(f, e);
                    blen = 0;
                }
                block[blen++] = (unsigned char)bits;
                bits >>= 8;
                nbits -= 8;
            }
        }
        if (next >= limit) {
            width++;
            limit = 1 << width;
        }
        cur = p;
        base = ((p & 0x1F) << 8) ^ (p >> 4);

        if (next < kMaxCode) {
            table[slot] = (key << 12) | (uint32_t)next;
            next++;
        } else {
            /* Table full: clear at the present width, then start afresh. */
            e->block_len = blen;
            e->bit_buffer = bits;
            e->bit_count = nbits;
            e->next_code = next;
            e->code_width = width;
            e->width_limit = limit;
            put_code(f, e, e->clear_code);
            blen = e->block_len;
            bits = e->bit_buffer;
            nbits = e->bit_count;
            next = e->end_code + 1;
            width = e->root_size + 1;
            limit = 1 << width;
            clear_table(e);
        }
    }

    e->current_code = (int32_t)cur;
    e->next_code = next;
    e->code_width = width;
    e->width_limit = limit;
    e->bit_buffer = bits;
    e->bit_count = nbits;
    e->block_len = blen;
}

void flush_encoder(FILE *f, GifEncoder *e) {
    if (e->root_size < 2) return;  /* never set up */
    if (e->current_code != NO_STRING) put_code(f, e, e->current_code);
    put_code(f, e, e->end_code);
    put_code(f, e, FLUSH_CODE);
}

}  // namespace

extern "C" {

void init_gif_encoder(GifStream *stream, GifEncoder *encoder, int32_t depth) {
    if (!encoder) return;
    FILE *f = gif_sink_lock(stream);
    init_encoder(f, encoder, depth);
    gif_sink_unlock(f);
}

void write_gif_line(GifStream *stream, GifEncoder *encoder,
                    const unsigned char *pixels, int32_t length) {
    if (!encoder || !pixels) return;
    FILE *f = gif_sink_lock(stream);
    encode_line(f, encoder, pixels, length);
    gif_sink_unlock(f);
}

void flush_gif_encoder(GifStream *stream, GifEncoder *encoder) {
    if (!encoder) return;
    FILE *f = gif_sink_lock(stream);
    flush_encoder(f, encoder);
    gif_sink_unlock(f);
}

void write_gif_code(GifStream *stream, GifEncoder *encoder, int32_t code) {
    if (!encoder) return;
    FILE *f = gif_sink_lock(stream);
    put_code(f, encoder, code);
    gif_sink_unlock(f);
}

}  // extern "C"
