#include "tests/codec_write/support.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

Bytes Capture(const std::function<void(GifStream *)> &write) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buffer, &size);
    EXPECT_NE(f, nullptr);
    GifStream stream = {};
    stream.stream_file = f;
    write(&stream);
    fclose(f);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

std::string CaptureText(const std::function<void(FILE *)> &print) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buffer, &size);
    EXPECT_NE(f, nullptr);
    print(f);
    fclose(f);
    std::string out(buffer, size);
    free(buffer);
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

GifPalette *MakePalette(int32_t length, unsigned seed) {
    GifPalette *p = new_gif_palette();
    p->length = length;
    p->colours = static_cast<Colour *>(gif_alloc(length * 4));
    for (int32_t i = 0; i < length; i++) {
        p->colours[i].red = static_cast<unsigned char>(seed + i * 3);
        p->colours[i].green = static_cast<unsigned char>(seed * 7 + i * 5);
        p->colours[i].blue = static_cast<unsigned char>(seed * 13 + i * 11 + 1);
    }
    return p;
}

GifPicture *MakePicture(int32_t width, int32_t height,
                        const std::vector<unsigned char> &pixels) {
    GifPicture *pic = new_gif_picture();
    pic->width = width;
    pic->height = height;
    if (height > 0) {
        pic->rows = static_cast<unsigned char **>(
            gif_alloc(height * static_cast<int32_t>(sizeof(unsigned char *))));
        for (int32_t r = 0; r < height; r++) {
            pic->rows[r] = static_cast<unsigned char *>(gif_alloc(width > 0 ? width : 1));
            if (width > 0 && !pixels.empty())
                memcpy(pic->rows[r], pixels.data() + static_cast<size_t>(r) * width, width);
        }
    }
    return pic;
}

GifData *MakeData(const std::string &bytes) {
    GifData *d = new_gif_data(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) memcpy(d->bytes, bytes.data(), bytes.size());
    return d;
}

GifExtension *MakeExtension(int32_t marker, std::initializer_list<GifData *> data) {
    GifExtension *e = new_gif_extension();
    e->marker = marker;
    e->data_count = static_cast<int32_t>(data.size());
    if (data.size()) {
        e->data = static_cast<GifData **>(
            gif_alloc(e->data_count * static_cast<int32_t>(sizeof(GifData *))));
        int32_t i = 0;
        for (GifData *d : data) e->data[i++] = d;
    }
    return e;
}

void AddBlock(Gif *gif, int32_t intro, GifPicture *pic, GifExtension *ext) {
    GifBlock *b = new_gif_block();
    b->intro = intro;
    b->pic = pic;
    b->ext = ext;
    gif->block_count++;
    gif->blocks = static_cast<GifBlock **>(
        app_realloc(gif->blocks, gif->block_count * static_cast<int32_t>(sizeof(GifBlock *))));
    gif->blocks[gif->block_count - 1] = b;
}

std::vector<unsigned char> PixelsOf(const GifPicture *pic) {
    std::vector<unsigned char> out;
    if (!pic->rows) return out;
    for (int32_t r = 0; r < pic->height; r++)
        out.insert(out.end(), pic->rows[r], pic->rows[r] + pic->width);
    return out;
}

ImageData ParseImageData(const Bytes &bytes, size_t offset) {
    ImageData d;
    size_t pos = offset;
    if (pos >= bytes.size()) return d;
    d.root_size = bytes[pos++];
    Bytes payload;
    while (pos < bytes.size()) {
        int n = bytes[pos++];
        if (n == 0) {
            d.terminated = true;
            break;
        }
        d.block_lengths.push_back(n);
        for (int i = 0; i < n && pos < bytes.size(); i++) payload.push_back(bytes[pos++]);
    }
    d.end = pos;

    const int clear = 1 << d.root_size;
    int width = d.root_size + 1;
    int next = clear + 2;
    bool first = true;
    uint64_t bits = 0;
    int nbits = 0;
    size_t in = 0;
    for (;;) {
        while (nbits < width && in < payload.size()) {
            bits |= static_cast<uint64_t>(payload[in++]) << nbits;
            nbits += 8;
        }
        if (nbits < width) break;
        int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        nbits -= width;
        d.codes.push_back(code);
        d.widths.push_back(width);
        if (code == clear + 1) {
            d.ended = true;
            break;
        }
        if (code == clear) {
            width = d.root_size + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (first) {
            first = false;
            continue;
        }
        if (next < 4096) next++;
        if (next == (1 << width) && width < 12) width++;
    }
    return d;
}

std::vector<unsigned char> DecodeCodes(const ImageData &data) {
    const int clear = 1 << data.root_size;
    std::vector<std::vector<unsigned char>> table;
    auto reset = [&] {
        table.assign(clear + 2, {});
        for (int i = 0; i < clear; i++) table[i] = {static_cast<unsigned char>(i)};
    };
    reset();
    std::vector<unsigned char> out;
    int prev = -1;
    for (int code : data.codes) {
        if (code == clear) {
            reset();
            prev = -1;
            continue;
        }
        if (code == clear + 1) break;
        std::vector<unsigned char> s;
        if (code < static_cast<int>(table.size()) && (code < clear || code > clear + 1)) {
            s = table[code];
        } else if (code == static_cast<int>(table.size()) && prev >= 0) {
            s = table[prev];
            s.push_back(table[prev][0]);
        } else {
            ADD_FAILURE() << "code " << code << " is not in the table";
            return out;
        }
        if (prev >= 0 && table.size() < 4096) {
            std::vector<unsigned char> e = table[prev];
            e.push_back(s[0]);
            table.push_back(e);
        }
        out.insert(out.end(), s.begin(), s.end());
        prev = code;
    }
    return out;
}

std::vector<unsigned char> DistinctPairs(size_t n) {
    // Cycles x, x+s, x+2s ... (mod 256) for odd steps s: within a cycle the
    // pairs (x, x+s) differ by x, across cycles by s, and the pair joining
    // two cycles, (-s, 0), is the one its own cycle leaves out.
    std::vector<unsigned char> out;
    for (unsigned s = 1; out.size() < n && s < 256; s += 2)
        for (unsigned k = 0; k < 256 && out.size() < n; k++)
            out.push_back(static_cast<unsigned char>(k * s));
    EXPECT_EQ(out.size(), n);
    return out;
}

std::string TempPath(const std::string &name) {
    const char *dir = getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/codec_write_" +
           std::to_string(getpid()) + "_" + name;
}

void WriteFile(const std::string &path, const Bytes &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}
