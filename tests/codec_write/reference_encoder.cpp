// The image writer as it was before it coded whole pictures at once: the
// reference its output is compared with, byte for byte. Kept as it was.
#include "tests/codec_write/reference_encoder.h"

#include <string.h>

#include "codec/sink.h"

namespace reference {
namespace {

const int32_t kMaxCode = 4095;  /* reaching it resets the table */
const uint32_t kEmptyKey = 0xFFFFF;  /* upper 20 bits of an empty slot */
const uint32_t kHashMask = 0x1FFF;

/* Stands in for the rows of a picture that has none. */
const unsigned char kZeroRow[256] = {0};

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

/* Bits needed by the largest pixel value, found as the bits of the OR of
 * all pixels; the scan stops once all 8 are needed. */
unsigned or_bytes(const unsigned char *row, int32_t width) {
    uint64_t wide = 0;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t word;
        memcpy(&word, row + x, 8);
        wide |= word;
    }
    unsigned acc = 0;
    for (; x < width; x++) acc |= row[x];
    for (int k = 0; k < 8; k++) acc |= (unsigned)(wide >> (8 * k)) & 0xFF;
    return acc;
}

int32_t pixel_bits(const GifPicture *pic) {
    if (!pic->rows || pic->width <= 0) return 0;
    unsigned all = 0;
    for (int32_t r = 0; r < pic->height && all < 0x80; r++)
        if (pic->rows[r]) all |= or_bytes(pic->rows[r], pic->width);
    int32_t n = 0;
    while (all) {
        n++;
        all >>= 1;
    }
    return n;
}

int32_t min_code_size(const GifPicture *pic) {
    int32_t size = 2;
    if (pic->cmap_depth >= 1 && pic->cmap_depth <= 8 && pic->cmap_depth > size)
        size = pic->cmap_depth;
    int32_t need = pixel_bits(pic);
    if (need > size) size = need;
    return size > 8 ? 8 : size;
}

void put_row(FILE *f, GifEncoder *e, const GifPicture *pic, int32_t r) {
    const unsigned char *row = pic->rows ? pic->rows[r] : nullptr;
    if (row) {
        encode_line(f, e, row, pic->width);
        return;
    }
    for (int32_t done = 0; done < pic->width;) {
        int32_t n = pic->width - done;
        if (n > (int32_t)sizeof kZeroRow) n = (int32_t)sizeof kZeroRow;
        encode_line(f, e, kZeroRow, n);
        done += n;
    }
}

void put_picture(FILE *f, GifPicture *pic) {
    gif_put_int(f, pic->left);
    gif_put_int(f, pic->top);
    gif_put_int(f, pic->width);
    gif_put_int(f, pic->height);
    int32_t depth = pic->has_cmap ? gif_table_depth(pic->cmap, pic->cmap_depth) : 0;
    int32_t packed = (pic->has_cmap ? 0x80 | (depth - 1) : 0) |
                     (pic->interlace ? 0x40 : 0) | (pic->sorted ? 0x20 : 0) |
                     ((pic->reserved & 3) << 3);
    gif_put(f, packed);
    if (pic->has_cmap) gif_put_table(f, pic->cmap, depth);

    GifEncoder *e = new_gif_encoder();
    if (!e) {
        /* Smallest valid image data: code size 2, clear and end codes
         * (3 bits each) in one sub-block, terminator. */
        gif_put(f, 2);
        gif_put(f, 1);
        gif_put(f, 4 | 5 << 3);
        gif_put(f, 0);
        return;
    }
    init_encoder(f, e, min_code_size(pic));
    if (pic->height > 0 && pic->width > 0) {
        if (pic->interlace) {
            static const int32_t start[4] = {0, 4, 2, 1};
            static const int32_t step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; pass++)
                for (int32_t r = start[pass]; r < pic->height; r += step[pass])
                    put_row(f, e, pic, r);
        } else {
            for (int32_t r = 0; r < pic->height; r++) put_row(f, e, pic, r);
        }
    }
    flush_encoder(f, e);
    del_gif_encoder(e);
}

}  // namespace

void write_gif_picture(GifStream *stream, GifPicture *picture) {
    if (!picture) return;
    FILE *f = gif_sink_lock(stream);
    put_picture(f, picture);
    gif_sink_unlock(f);
}

}  // namespace reference

