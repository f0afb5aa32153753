// The test readers the codec's decoders are checked against: the plain
// stack-based reference decoder, one read_gif_line call per row, and the
// row decoder's record compared with the reference's state call by call.
#include "support.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace readtest {

namespace {

template <typename T> void append(T ***array, int32_t *count, T *item) {
    *array = static_cast<T **>(realloc(*array, (size_t)(*count + 1) * sizeof(T *)));
    (*array)[(*count)++] = item;
}

// The container walk both test readers share; `picture` reads one image
// block after its introducer.
template <typename ReadPicture>
GifPtr walk_file(const Bytes &bytes, ReadPicture picture) {
    GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, NULL};
    auto take = [&]() -> int { return s.stream_pos < s.stream_size ? bytes[(size_t)s.stream_pos++] : 0; };
    GifPtr gif(new_gif());
    for (int i = 0; i < 6; i++) gif->header[i] = (char)take();
    if (memcmp(gif->header, "GIF", 3) != 0) return gif;
    GifScreen *sc = gif->screen;
    sc->width = read_gif_int(&s);
    sc->height = read_gif_int(&s);
    int packed = take();
    sc->has_cmap = packed >> 7;
    sc->color_res = (packed >> 4 & 7) + 1;
    sc->sorted = packed >> 3 & 1;
    sc->cmap_depth = (packed & 7) + 1;
    sc->bgcolour = take();
    sc->aspect = take();
    if (sc->has_cmap) {
        sc->cmap->length = 1 << sc->cmap_depth;
        read_gif_palette(&s, sc->cmap);
    }
    for (;;) {
        int intro = take();
        if (intro != 0x2C && intro != 0x21) break;
        GifBlock *block = new_gif_block();
        block->intro = intro;
        if (intro == 0x21) {
            block->ext = new_gif_extension();
            block->ext->marker = take();
            while (GifData *d = read_gif_data(&s)) append(&block->ext->data, &block->ext->data_count, d);
        } else {
            block->pic = new_gif_picture();
            GifPicture *p = block->pic;
            p->left = read_gif_int(&s);
            p->top = read_gif_int(&s);
            p->width = read_gif_int(&s);
            p->height = read_gif_int(&s);
            int flags = take();
            p->has_cmap = flags >> 7;
            p->interlace = flags >> 6 & 1;
            p->sorted = flags >> 5 & 1;
            p->reserved = flags >> 3 & 3;
            if (p->has_cmap) {
                p->cmap_depth = (flags & 7) + 1;
                p->cmap->length = 1 << p->cmap_depth;
                read_gif_palette(&s, p->cmap);
            }
            if (p->height > 0) {
                p->rows = static_cast<unsigned char **>(calloc((size_t)p->height, sizeof(unsigned char *)));
                for (int r = 0; r < p->height; r++)
                    p->rows[r] = static_cast<unsigned char *>(calloc((size_t)p->width + 1, 1));
            }
            picture(&s, p);
        }
        append(&gif->blocks, &gif->block_count, block);
    }
    return gif;
}

// Taking one data byte, as the decoder does.
struct RefBits {
    GifStream *s;
    int done = 0, pos = 0, len = 0;
    unsigned char block[256] = {};
    int take_byte() {
        auto take = [&]() -> int {
            return s->stream_pos < s->stream_size ? s->stream_data[s->stream_pos++] : 0;
        };
        if (done) return 0;
        if (pos == len) {
            len = take();
            if (len == 0) {
                done = 1;
                return 0;
            }
            for (int i = 0; i < len; i++) block[i] = (unsigned char)take();
            pos = 1;
            return block[0];
        }
        return block[pos++];
    }
};

const int kNoCode = 4098;

struct RefDecoder {
    RefBits in;
    int root, clear, end, next, width, limit, last = kNoCode, pending = 0, nbits = 0;
    unsigned bits = 0;
    unsigned char stack[4100] = {}, suffix[4096] = {};
    int prefix[4096];

    explicit RefDecoder(GifStream *s, int root_size) : root(root_size) {
        in.s = s;
        clear = 1 << root;
        end = clear + 1;
        next = clear + 2;
        width = root + 1;
        limit = 1 << width;
        for (int &p : prefix) p = kNoCode;
    }
    int code() {
        while (nbits < width) {
            bits |= (unsigned)in.take_byte() << nbits;
            nbits += 8;
        }
        int c = (int)(bits & ((1u << width) - 1));
        bits >>= width;
        nbits -= width;
        next += next < 0x7FFFFFFF;
        if (next > limit && width <= 11) {
            limit *= 2;
            width++;
        }
        return c;
    }
    int first_pixel(int c) {
        for (int links = 0; c > clear && c < 4096 && links < 4096; links++) c = prefix[c];
        return c & 0xFF;
    }
    // One row; an early end leaves last as it was and nothing pending.
    void line(unsigned char *row, int length) {
        int i = 0, lst = last, pend = pending;
        if (pend > 0 && length > 0) {
            while (pend > 0 && i < length) row[i++] = stack[--pend];
            if (i == length) {
                pending = pend;
                return;
            }
        }
        while (i < length) {
            int c = code();
            if (c == end) {
                if (i == length - 1) last = lst;
                pending = 0;
                return;
            }
            if (c == clear) {
                for (int &p : prefix) p = kNoCode;
                next = end + 1;
                width = root + 1;
                limit = 1 << width;
                lst = last = kNoCode;
                continue;
            }
            if (c < clear) {
                row[i++] = (unsigned char)c;
            } else {
                if (c > 4095) break;
                int t = c;
                if (prefix[c] == kNoCode) {
                    if (c != next - 2 || lst == kNoCode) break;
                    int p = first_pixel(lst);
                    stack[pend++] = (unsigned char)p;
                    suffix[next - 2] = (unsigned char)p;
                    t = lst;
                }
                int pushed = 0;
                for (; t > clear && t <= 4095 && pushed < 4096; pushed++) {
                    stack[pend++] = suffix[t];
                    t = prefix[t];
                }
                if (pushed >= 4094 || t > 4095) break;
                stack[pend++] = (unsigned char)t;
                while (i < length && pend > 0) row[i++] = stack[--pend];
            }
            if (lst != kNoCode && next - 2 <= 4095) {
                prefix[next - 2] = lst;
                suffix[next - 2] = (unsigned char)(c == next - 2 ? first_pixel(lst) : first_pixel(c));
            }
            lst = c;
        }
        if (i < length) {  // stopped
            pending = 0;
            return;
        }
        last = lst;
        pending = pend;
    }
};

void skip_sub_blocks(GifStream *s) {
    while (GifData *d = read_gif_data(s)) del_gif_data(d);
}

}  // namespace

GifPtr reference_read(const Bytes &bytes) {
    return walk_file(bytes, [](GifStream *s, GifPicture *p) {
        int root = s->stream_pos < s->stream_size ? s->stream_data[s->stream_pos++] : 0;
        if (root > 11) {
            skip_sub_blocks(s);
            return;
        }
        RefDecoder d(s, root);
        if (p->width == 0 || p->height == 0) {
            skip_sub_blocks(s);
            return;
        }
        for (int r : file_row_order(p->height, p->interlace)) d.line(p->rows[r], p->width);
        while (d.in.len != 0) {
            d.in.len = s->stream_pos < s->stream_size ? s->stream_data[s->stream_pos++] : 0;
            for (int i = 0; i < d.in.len; i++) s->stream_pos += s->stream_pos < s->stream_size;
        }
    });
}

GifPtr read_row_by_row(const Bytes &bytes) {
    return walk_file(bytes, [](GifStream *s, GifPicture *p) {
        GifDecoder *d = new_gif_decoder();
        init_gif_decoder(s, d);
        if (p->width > 0)
            for (int r : file_row_order(p->height, p->interlace)) read_gif_line(s, d, p->rows[r], p->width);
        if (!d->blocks_done) skip_sub_blocks(s);
        del_gif_decoder(d);
    });
}

std::string row_decoder_difference(const Bytes &data, const std::vector<int> &lengths) {
    GifStream ours_in = {data.data(), (int32_t)data.size(), 0, NULL};
    GifStream ref_in = ours_in;
    GifDecoder *d = new_gif_decoder();
    init_gif_decoder(&ours_in, d);
    int root = ref_in.stream_pos < ref_in.stream_size ? ref_in.stream_data[ref_in.stream_pos++] : 0;
    if (root > 11) {
        del_gif_decoder(d);
        return "code size above 11";
    }
    RefDecoder r(&ref_in, root);
    std::string difference;
    for (size_t call = 0; call < lengths.size() && difference.empty(); call++) {
        Bytes ours((size_t)lengths[call] + 1, 0xAA), ref((size_t)lengths[call] + 1, 0xAA);
        std::fill(ours.begin(), ours.end() - 1, 0);
        std::fill(ref.begin(), ref.end() - 1, 0);
        read_gif_line(&ours_in, d, ours.data(), lengths[call]);
        r.line(ref.data(), lengths[call]);
        auto differ = [&](const char *what, long a, long b) {
            if (difference.empty() && a != b)
                difference = "call " + std::to_string(call) + ": " + what + " " + std::to_string(a) +
                             " instead of " + std::to_string(b);
        };
        differ("next_code", d->next_code, r.next);
        differ("code_width", d->code_width, r.width);
        differ("width_limit", d->width_limit, r.limit);
        differ("last_code", d->last_code, r.last);
        differ("pending", d->pending, r.pending);
        differ("bit_count", d->bit_count, r.nbits);
        differ("bit_buffer", (long)d->bit_buffer, (long)r.bits);
        differ("blocks_done", d->blocks_done, r.in.done);
        differ("block_pos", d->block_pos, r.in.pos);
        differ("block_len", d->block_len, r.in.len);
        differ("stream position", ours_in.stream_pos, ref_in.stream_pos);
        for (int c = 0; c < 4096 && difference.empty(); c++) {
            differ(("prefix of " + std::to_string(c)).c_str(), d->prefix[c], r.prefix[c]);
            if (r.prefix[c] != kNoCode) differ(("suffix of " + std::to_string(c)).c_str(), d->suffix[c], r.suffix[c]);
        }
        for (int i = 0; i < lengths[call] && difference.empty(); i++)
            differ(("pixel " + std::to_string(i)).c_str(), ours[(size_t)i], ref[(size_t)i]);
        differ("byte after the row", ours.back(), 0xAA);
    }
    del_gif_decoder(d);
    return difference;
}

}  // namespace readtest
