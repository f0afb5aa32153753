/* Whole-image writing: the image descriptor, the local colour table and
 * the LZW coded pixels of one picture. The picture's own encoder is never
 * seen from outside, so it codes the rows with what only a whole picture
 * allows: its string state stays in registers from row to row, codes go
 * into a wide bit buffer, and long strings seen before are matched in one
 * comparison instead of pixel by pixel. Its codes and bytes are those of
 * the exported row encoder driven over the same rows. */
#include <stdlib.h>
#include <string.h>

#include "codec/image_writer.h"

#include "codec/gif.h"
#include "codec/sink.h"

namespace {

const uint32_t kMaxCode = 4095;  /* reaching it resets the table */

/* Strings at least this long are remembered for matching in one go; the
 * first 8 of their pixels pick the slot that remembers them. */
const int32_t kLongString = 16;
const uint32_t kRecallBits = 12;

/* Stands in for the rows of a picture that has none. */
const unsigned char kZeroRow[256] = {0};

/* The string table indexed directly: the code of the string of code `cur`
 * followed by pixel p is child[p << 12 | cur], 0 while there is none (no
 * string ever gets a code below 6). Every pixel is below the clear code,
 * so 4096 entries per pixel value do. `made` keeps, per code, where it
 * went in `child` (low 20 bits), so that a reset clears only those, and
 * its string's length (high 12 bits; no string is longer than 4095) when
 * the string lies in the picture's rows in one piece, else 0; `start` is
 * where, kept for long strings only. `recall` maps the first pixels of a
 * long string to the code made for it last. */
}  // namespace

struct GifCodeTable {
    int32_t root;  /* the largest root size it has room for */
    uint32_t made[4096];
    const unsigned char *start[4096];
    uint16_t recall[1u << kRecallBits];
    uint16_t *child;
};

namespace {

uint32_t load32(const unsigned char *p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

uint32_t recall_slot(const unsigned char *p) {
    uint32_t h = load32(p) * 0x9E3779B1u ^ load32(p + 4) * 0x85EBCA77u;
    return h >> (32 - kRecallBits);
}

/* `n` at least 8 bytes equal? The last word may overlap the one before. */
bool same_bytes(const unsigned char *a, const unsigned char *b, int32_t n) {
    int32_t i = 0;
    for (; i + 8 <= n; i += 8)
        if ((load32(a + i) ^ load32(b + i)) | (load32(a + i + 4) ^ load32(b + i + 4))) return false;
    if (i == n) return true;
    i = n - 8;
    return ((load32(a + i) ^ load32(b + i)) | (load32(a + i + 4) ^ load32(b + i + 4))) == 0;
}

/* The picture's rows in the order they are stored, as runs of pixels: a
 * whole row, or for a missing row its zeros, at most 256 at a time. */
class RowRuns {
  public:
    explicit RowRuns(const GifPicture *pic)
        : pic_(pic), passes_(pic->height > 0 && pic->width > 0 ? (pic->interlace ? 4 : 1) : 0) {}

    bool next(const unsigned char **px, int32_t *n) {
        static const int32_t start[4] = {0, 4, 2, 1};
        static const int32_t step[4] = {8, 8, 4, 2};
        while (pass_ < passes_) {
            if (row_ >= pic_->height) {
                if (++pass_ < passes_) row_ = start[pass_];
                continue;
            }
            const int32_t advance = passes_ > 1 ? step[pass_] : 1;
            if (const unsigned char *row = pic_->rows ? pic_->rows[row_] : nullptr) {
                *px = row;
                *n = pic_->width;
                row_ += advance;
                return true;
            }
            int32_t left = pic_->width - zeros_done_;
            *px = kZeroRow;
            *n = left < (int32_t)sizeof kZeroRow ? left : (int32_t)sizeof kZeroRow;
            zeros_done_ += *n;
            if (zeros_done_ == pic_->width) {
                zeros_done_ = 0;
                row_ += advance;
            }
            return true;
        }
        return false;
    }

  private:
    const GifPicture *pic_;
    int passes_;
    int pass_ = 0;
    int32_t row_ = 0;
    int32_t zeros_done_ = 0;
};

/* Sub-blocks of 255 bytes go out as they fill; the codes are packed into
 * `stage` with 8-byte stores, hence its slack. */
struct Output {
    FILE *f;
    unsigned char stage[255 + 8];
    unsigned char *at;
    uint64_t bits;
    int32_t nbits;
};

void spill(Output *o) {
    if (o->f) {
        putc_unlocked(255, o->f);
        fwrite_unlocked(o->stage, 1, 255, o->f);
    }
    size_t over = (size_t)(o->at - (o->stage + 255));
    memmove(o->stage, o->stage + 255, over);
    o->at = o->stage + over;
}

class PictureCoder {
  public:
    PictureCoder(FILE *f, GifCodeTable *t, int32_t root) : t_(t) {
        out_.f = f;
        out_.at = out_.stage;
        out_.bits = 0;
        out_.nbits = 0;
        root_ = root;
        clear_ = 1u << root;
        next_ = clear_ + 2;
        width_ = root_ + 1;
        limit_ = 1u << width_;
        gif_put(f, root);
        put(clear_);
    }

    /* The picture's rows in coding order, the string's state in locals
     * from the first row to the last. The packer's stays in the fields:
     * held in locals too it took the registers that the search needs. */
    void code_picture(const GifPicture *pic) {
        uint16_t *const child = t_->child;
        uint32_t cur = cur_, next = next_;
        const unsigned char *start = start_, *end = end_;
        RowRuns runs(pic);
        const unsigned char *px;
        int32_t n;
        while (runs.next(&px, &n)) {
            const unsigned char *q = px, *const last = px + n;
            if (cur == NO_STRING) {
                cur = *q;
                start = q++;
            } else if (px != end) {
                start = nullptr;  /* the string so far lies elsewhere */
            }
            for (; q < last; q++) {
                const uint32_t p = *q;
                const uint32_t at = p << 12 | cur;
                const uint32_t found = child[at];
                if (found) {
                    cur = found;
                    continue;
                }
                /* No longer string: write the code of the one matched so far
                 * and make a code for it with this pixel. */
                next_ = next;  /* put() widens the codes by it */
                put(cur);
                if (next < kMaxCode) {
                    child[at] = (uint16_t)next;
                    remember(next, at, start, q + 1);
                    next++;
                } else {
                    put(clear_);
                    reset();
                    next = next_;
                }
                cur = p;
                start = q;
                /* A string remembered with the same first pixels, all of them
                 * here: the table holds every shorter start of it, so the
                 * search would walk to its code. */
                if (recalling_ && last - q >= kLongString) {
                    uint32_t c = t_->recall[recall_slot(q)];
                    int32_t len = (int32_t)(t_->made[c] >> 20);
                    if (c > clear_ + 1 && c < next && len >= kLongString && len <= last - q &&
                        same_bytes(q, t_->start[c], len)) {
                        cur = c;
                        q += len - 1;
                    }
                }
            }
            end = last;
        }
        cur_ = cur;
        next_ = next;
        start_ = start;
        end_ = end;
    }

    void finish() {
        if (cur_ != NO_STRING) put(cur_);
        put(clear_ + 1);
        if (out_.nbits > 0) *out_.at++ = (unsigned char)out_.bits;
        int32_t n = (int32_t)(out_.at - out_.stage);
        if (n > 0) {
            gif_put(out_.f, n);
            if (out_.f) fwrite_unlocked(out_.stage, 1, (size_t)n, out_.f);
        }
        gif_put(out_.f, 0);
        reset();
    }

  private:
    void reset() {
        for (uint32_t c = clear_ + 2; c < next_; c++) t_->child[t_->made[c] & 0xFFFFF] = 0;
        next_ = clear_ + 2;
        width_ = root_ + 1;
        limit_ = 1u << width_;
    }

    /* One code, then the wider width once the next code needs it. */
    void put(uint32_t code) {
        out_.bits |= (uint64_t)code << out_.nbits;
        out_.nbits += width_;
        memcpy(out_.at, &out_.bits, 8);
        int32_t bytes = out_.nbits >> 3;
        out_.at += bytes;
        out_.bits >>= 8 * bytes;
        out_.nbits &= 7;
        if (out_.at >= out_.stage + 255) spill(&out_);
        if (next_ >= limit_) {
            width_++;
            limit_ <<= 1;
        }
    }

    void remember(uint32_t code, uint32_t at, const unsigned char *from, const unsigned char *to) {
        int32_t len = from ? (int32_t)(to - from) : 0;
        t_->made[code] = at | (uint32_t)len << 20;
        if (len >= kLongString) {
            t_->start[code] = from;
            t_->recall[recall_slot(from)] = (uint16_t)code;
            recalling_ = true;
        }
    }

    GifCodeTable *t_;
    Output out_;
    uint32_t root_, clear_;
    uint32_t next_, width_, limit_;
    uint32_t cur_ = NO_STRING;
    bool recalling_ = false;  /* no search is spent before there is a long string */
    const unsigned char *start_ = nullptr, *end_ = nullptr;
};

/* Bits needed by the largest pixel value, found as the bits of the OR of
 * all pixels: 8 bytes at a time into one word, folded once at the end;
 * the scan stops once all 8 are needed. */
int32_t pixel_bits(const GifPicture *pic) {
    if (!pic->rows || pic->width <= 0) return 0;
    uint64_t wide = 0;
    for (int32_t r = 0; r < pic->height && !(wide & 0x8080808080808080ull); r++) {
        const unsigned char *row = pic->rows[r];
        if (!row) continue;
        int32_t x = 0;
        for (; x + 8 <= pic->width; x += 8) {
            uint64_t word;
            memcpy(&word, row + x, 8);
            wide |= word;
        }
        for (; x < pic->width; x++) wide |= row[x];
    }
    unsigned all = 0;
    for (int k = 0; k < 8; k++) all |= (unsigned)(wide >> (8 * k)) & 0xFF;
    int32_t n = 0;
    while (all) {
        n++;
        all >>= 1;
    }
    return n;
}

/* Root size 2..8, enough for every pixel value, so that every pixel is
 * below the clear code. */
int32_t min_code_size(const GifPicture *pic) {
    int32_t size = 2;
    if (pic->cmap_depth >= 1 && pic->cmap_depth <= 8 && pic->cmap_depth > size)
        size = pic->cmap_depth;
    int32_t need = pixel_bits(pic);
    if (need > size) size = need;
    return size > 8 ? 8 : size;
}

/* A table with room for `root`: the one kept from an earlier picture if
 * it is large enough, else a new one, kept in its place. Null, and the
 * hash table of the row encoder is used, when the heap is short or when
 * clearing a new table would cost more than the picture's coding. */
GifCodeTable *table_for(GifCodeTable **kept, int32_t root, const GifPicture *pic) {
    if (*kept && (*kept)->root >= root) return *kept;
    const int32_t entries = 4096 << root;
    if ((int64_t)pic->width * pic->height < entries / 16) return nullptr;
    gif_free_code_table(*kept);
    *kept = nullptr;
    int32_t size = (int32_t)sizeof(GifCodeTable) + entries * (int32_t)sizeof(uint16_t);
    GifCodeTable *t = static_cast<GifCodeTable *>(gif_alloc(size));
    if (!t) return nullptr;
    t->root = root;
    t->child = reinterpret_cast<uint16_t *>(t + 1);
    /* Written before it is read: fresh zero pages that are read first
     * fault again, more dearly, on their first write. */
    memset(t->child, 0, (size_t)entries * sizeof(uint16_t));
    *kept = t;
    return t;
}

}  // namespace

void gif_free_code_table(GifCodeTable *table) { free(table); }

void gif_put_picture(GifStream *stream, FILE *f, GifPicture *pic, GifCodeTable **kept) {
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

    const int32_t root = min_code_size(pic);
    if (GifCodeTable *t = table_for(kept, root, pic)) {
        PictureCoder coder(f, t, root);
        coder.code_picture(pic);
        coder.finish();
        return;
    }
    /* The row encoder gives the same codes, searching its hash table. */
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
    init_gif_encoder(stream, e, root);
    RowRuns runs(pic);
    const unsigned char *px;
    int32_t n;
    while (runs.next(&px, &n)) write_gif_line(stream, e, px, n);
    flush_gif_encoder(stream, e);
    del_gif_encoder(e);
}

extern "C" void write_gif_picture(GifStream *stream, GifPicture *picture) {
    if (!picture) return;
    FILE *f = gif_sink_lock(stream);
    GifCodeTable *table = nullptr;
    gif_put_picture(stream, f, picture, &table);
    gif_free_code_table(table);
    gif_sink_unlock(f);
}
