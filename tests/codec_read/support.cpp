#include "support.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <sstream>

namespace readtest {

CodeWriter::CodeWriter(int root)
    : root_(root), clear_(1 << root), next_(clear_ + 2), width_(root + 1), limit_(1 << width_) {}

void CodeWriter::put_bits(int value, int width) {
    acc_ |= (unsigned)value << count_;
    count_ += width;
    while (count_ >= 8) {
        out_.push_back((unsigned char)(acc_ & 0xFF));
        acc_ >>= 8;
        count_ -= 8;
    }
}

void CodeWriter::put(int code) {
    put_bits(code, width_);
    next_++;
    if (next_ > limit_ && width_ < 12) {
        limit_ <<= 1;
        width_++;
    }
    if (code == clear_) {
        next_ = clear_ + 2;
        width_ = root_ + 1;
        limit_ = 1 << width_;
    }
}

Bytes CodeWriter::bits() const {
    Bytes all = out_;
    if (count_ > 0) all.push_back((unsigned char)(acc_ & 0xFF));
    return all;
}

Bytes CodeWriter::image_data(int block) const {
    Bytes data{(unsigned char)root_};
    Bytes blocks = sub_blocks(bits(), block);
    data.insert(data.end(), blocks.begin(), blocks.end());
    return data;
}

Bytes sub_blocks(const Bytes &payload, int block) {
    Bytes out;
    for (size_t at = 0; at < payload.size(); at += (size_t)block) {
        size_t n = payload.size() - at < (size_t)block ? payload.size() - at : (size_t)block;
        out.push_back((unsigned char)n);
        out.insert(out.end(), payload.begin() + (long)at, payload.begin() + (long)(at + n));
    }
    out.push_back(0);
    return out;
}

Bytes lzw_image_data(const Bytes &pixels, int root, bool defer_clear, int block) {
    CodeWriter w(root);
    const int clear = w.clear();
    std::map<int, int> strings;  // (code << 8 | pixel) -> code
    int free_code = clear + 2;
    w.put(clear);
    if (pixels.empty()) {
        w.put(w.end());
        return w.image_data(block);
    }
    int current = pixels[0];
    for (size_t i = 1; i < pixels.size(); i++) {
        int key = current << 8 | pixels[i];
        auto found = strings.find(key);
        if (found != strings.end()) {
            current = found->second;
            continue;
        }
        w.put(current);
        if (free_code < 4096) {
            strings[key] = free_code++;
        } else if (!defer_clear) {
            w.put(clear);
            strings.clear();
            free_code = clear + 2;
        }
        current = pixels[i];
    }
    w.put(current);
    w.put(w.end());
    return w.image_data(block);
}

GifBytes &GifBytes::text(const std::string &s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
}
GifBytes &GifBytes::byte(int v) {
    b.push_back((unsigned char)v);
    return *this;
}
GifBytes &GifBytes::word(int v) { return byte(v & 0xFF).byte(v >> 8 & 0xFF); }
GifBytes &GifBytes::raw(const Bytes &more) {
    b.insert(b.end(), more.begin(), more.end());
    return *this;
}
GifBytes &GifBytes::screen(int width, int height, int packed, int bg, int aspect) {
    return word(width).word(height).byte(packed).byte(bg).byte(aspect);
}
GifBytes &GifBytes::table(int entries, int seed) {
    for (int i = 0; i < entries; i++) byte(i * seed).byte(i * 3 + seed).byte(255 - i);
    return *this;
}
GifBytes &GifBytes::image(int left, int top, int width, int height, int packed) {
    return byte(0x2C).word(left).word(top).word(width).word(height).byte(packed);
}
GifBytes &GifBytes::extension(int label, const std::vector<Bytes> &blocks) {
    byte(0x21).byte(label);
    for (const Bytes &block : blocks) byte((int)block.size()).raw(block);
    return byte(0);
}

Bytes pixels_of(const GifPicture *pic) {
    Bytes all;
    if (!pic->rows) return all;
    for (int r = 0; r < pic->height; r++) all.insert(all.end(), pic->rows[r], pic->rows[r] + pic->width);
    return all;
}

std::vector<int> file_row_order(int height, bool interlaced) {
    std::vector<int> order;
    if (!interlaced) {
        for (int r = 0; r < height; r++) order.push_back(r);
        return order;
    }
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++)
        for (int r = start[pass]; r < height; r += step[pass]) order.push_back(r);
    return order;
}

GifPtr read_memory(const Bytes &bytes, bool first_picture_only) {
    GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, NULL};
    GifPtr gif(new_gif());
    if (!gif) return gif;
    if (first_picture_only)
        read_one_gif_picture(&s, gif.get());
    else
        read_gif(&s, gif.get());
    return gif;
}

GifPtr read_through_file(const Bytes &bytes) {
    FILE *f = tmpfile();
    if (!f) return GifPtr();
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
    GifStream s = {NULL, 0, 0, f};
    GifPtr gif(new_gif());
    read_gif(&s, gif.get());
    fclose(f);
    return gif;
}

namespace {

std::string palette_difference(const char *what, const GifPalette *a, const GifPalette *b) {
    std::ostringstream out;
    if (a->length != b->length) {
        out << what << " length " << a->length << " vs " << b->length;
        return out.str();
    }
    for (int i = 0; i < a->length; i++) {
        const Colour &x = a->colours[i], &y = b->colours[i];
        if (x.red != y.red || x.green != y.green || x.blue != y.blue) {
            out << what << " entry " << i << " differs";
            return out.str();
        }
    }
    return "";
}

}  // namespace

std::string gif_difference(const Gif *a, const Gif *b) {
    std::ostringstream out;
    if (memcmp(a->header, b->header, 8) != 0) return "header";
    const GifScreen *sa = a->screen, *sb = b->screen;
    const int32_t fa[] = {sa->width, sa->height, sa->has_cmap, sa->color_res, sa->sorted,
                          sa->cmap_depth, sa->bgcolour, sa->aspect};
    const int32_t fb[] = {sb->width, sb->height, sb->has_cmap, sb->color_res, sb->sorted,
                          sb->cmap_depth, sb->bgcolour, sb->aspect};
    if (memcmp(fa, fb, sizeof fa) != 0) return "screen fields";
    std::string d = palette_difference("global table", sa->cmap, sb->cmap);
    if (!d.empty()) return d;
    if (a->block_count != b->block_count) {
        out << "block count " << a->block_count << " vs " << b->block_count;
        return out.str();
    }
    for (int i = 0; i < a->block_count; i++) {
        const GifBlock *x = a->blocks[i], *y = b->blocks[i];
        out.str("");
        out << "block " << i << ": ";
        if (x->intro != y->intro || !x->pic != !y->pic || !x->ext != !y->ext) return out.str() + "kind";
        if (x->ext) {
            if (x->ext->marker != y->ext->marker || x->ext->data_count != y->ext->data_count)
                return out.str() + "extension label or sub-block count";
            for (int k = 0; k < x->ext->data_count; k++) {
                const GifData *p = x->ext->data[k], *q = y->ext->data[k];
                if (p->length != q->length || memcmp(p->bytes, q->bytes, (size_t)p->length) != 0)
                    return out.str() + "sub-block " + std::to_string(k);
            }
        }
        if (x->pic) {
            const GifPicture *p = x->pic, *q = y->pic;
            const int32_t ga[] = {p->left, p->top, p->width, p->height, p->has_cmap,
                                  p->interlace, p->sorted, p->reserved, p->cmap_depth};
            const int32_t gb[] = {q->left, q->top, q->width, q->height, q->has_cmap,
                                  q->interlace, q->sorted, q->reserved, q->cmap_depth};
            if (memcmp(ga, gb, sizeof ga) != 0) return out.str() + "descriptor";
            d = palette_difference("local table", p->cmap, q->cmap);
            if (!d.empty()) return out.str() + d;
            if (!p->rows != !q->rows) return out.str() + "rows present in one only";
            for (int r = 0; p->rows && r < p->height; r++)
                for (int c = 0; c < p->width; c++)
                    if (p->rows[r][c] != q->rows[r][c]) {
                        out << "pixel (" << c << "," << r << ") " << (int)p->rows[r][c] << " vs "
                            << (int)q->rows[r][c];
                        return out.str();
                    }
        }
    }
    return "";
}

Bytes file_bytes(const std::string &path) {
    Bytes bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

}  // namespace readtest
