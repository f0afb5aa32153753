#include "corpus.h"

#include <gif_lib.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace corpus {
namespace {

using Pixels = std::vector<unsigned char>;

struct Rgb {
    unsigned char r, g, b;
};
using Palette = std::vector<Rgb>;

struct Extension {
    int label;
    std::vector<std::string> blocks;
};

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    Palette local;  // empty: none
    Pixels pixels;  // display order
    std::vector<Extension> before;
};

struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed * 2654435761u + 1) {}
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    int below(int n) { return (int)(next() % (uint32_t)n); }
};

bool fail(const std::string &what) {
    fprintf(stderr, "corpus: %s\n", what.c_str());
    return false;
}

ColorMapObject *map_of(const Palette &p) {
    int size = 2;
    while (size < (int)p.size()) size *= 2;
    ColorMapObject *map = GifMakeMapObject(size, NULL);
    for (int i = 0; i < size; i++) {
        Rgb c = i < (int)p.size() ? p[(size_t)i] : Rgb{0, 0, 0};
        map->Colors[i] = GifColorType{c.r, c.g, c.b};
    }
    return map;
}

// Written with giflib's encoder; interlaced frames are handed over in the
// order their data stores the rows.
bool write_with_giflib(const std::string &path, int width, int height, const Palette &global,
                       const std::vector<Frame> &frames, const std::vector<Extension> &after = {}) {
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif) return fail(path + ": " + GifErrorString(error));
    EGifSetGifVersion(gif, true);
    ColorMapObject *gmap = global.empty() ? NULL : map_of(global);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, gmap) == GIF_OK;
    auto put_extensions = [&](const std::vector<Extension> &exts) {
        for (const Extension &e : exts) {
            ok = ok && EGifPutExtensionLeader(gif, e.label) == GIF_OK;
            for (const std::string &b : e.blocks)
                ok = ok && EGifPutExtensionBlock(gif, (int)b.size(), b.data()) == GIF_OK;
            ok = ok && EGifPutExtensionTrailer(gif) == GIF_OK;
        }
    };
    for (const Frame &f : frames) {
        put_extensions(f.before);
        ColorMapObject *lmap = f.local.empty() ? NULL : map_of(f.local);
        ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, lmap) == GIF_OK;
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < (f.interlace ? 4 : 1); pass++)
            for (int r = f.interlace ? start[pass] : 0; ok && r < f.height; r += f.interlace ? step[pass] : 1)
                ok = EGifPutLine(gif, const_cast<GifPixelType *>(&f.pixels[(size_t)r * (size_t)f.width]),
                                 f.width) == GIF_OK;
        GifFreeMapObject(lmap);
    }
    put_extensions(after);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(gmap);
    return ok ? true : fail(path + ": giflib could not write it");
}

Palette ramp(int n, int seed) {
    Palette p;
    for (int i = 0; i < n; i++)
        p.push_back(Rgb{(unsigned char)(i * 255 / (n > 1 ? n - 1 : 1)), (unsigned char)(i * 37 + seed),
                        (unsigned char)(255 - i * 11)});
    return p;
}

// Bands, diagonals and noise over `colours` indexes: short and long runs.
Pixels pattern(int width, int height, int colours, uint32_t seed) {
    Rng rng(seed);
    Pixels px((size_t)width * (size_t)height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int v = (x / 3 + y / 2) % colours;
            if ((x + y) % 7 == 0) v = rng.below(colours);
            px[(size_t)y * (size_t)width + (size_t)x] = (unsigned char)v;
        }
    return px;
}

Frame frame(int width, int height, int colours, uint32_t seed, bool interlace = false) {
    Frame f;
    f.width = width;
    f.height = height;
    f.interlace = interlace;
    f.pixels = pattern(width, height, colours, seed);
    return f;
}

// A smooth random field with fine detail, dithered (Floyd-Steinberg) to a
// 6x7x6 colour cube and four greys: GIF's usual take on a photograph.
Palette photo_palette() {
    Palette p;
    for (int r = 0; r < 6; r++)
        for (int g = 0; g < 7; g++)
            for (int b = 0; b < 6; b++) p.push_back(Rgb{(unsigned char)(r * 51), (unsigned char)(g * 42), (unsigned char)(b * 51)});
    for (int k = 1; k <= 4; k++) p.push_back(Rgb{(unsigned char)(k * 50), (unsigned char)(k * 50), (unsigned char)(k * 50)});
    return p;
}

Pixels photo(int width, int height, uint32_t seed) {
    Rng rng(seed);
    const int grid = 9;
    std::vector<float> knots((size_t)(grid * grid * 3));
    for (float &k : knots) k = (float)rng.below(256);
    std::vector<float> err((size_t)(width + 2) * 3 * 2, 0.0f);
    Pixels px((size_t)width * (size_t)height);
    for (int y = 0; y < height; y++) {
        float *cur = &err[(size_t)(y & 1) * (size_t)(width + 2) * 3];
        float *nxt = &err[(size_t)((y + 1) & 1) * (size_t)(width + 2) * 3];
        for (size_t i = 0; i < (size_t)(width + 2) * 3; i++) nxt[i] = 0;
        for (int x = 0; x < width; x++) {
            float gx = (float)x / (float)width * (grid - 1), gy = (float)y / (float)height * (grid - 1);
            int ix = (int)gx, iy = (int)gy;
            if (ix >= grid - 1) ix = grid - 2;
            if (iy >= grid - 1) iy = grid - 2;
            float fx = gx - (float)ix, fy = gy - (float)iy;
            float want[3];
            for (int c = 0; c < 3; c++) {
                auto k = [&](int a, int b) { return knots[(size_t)((b * grid + a) * 3 + c)]; };
                float v = k(ix, iy) * (1 - fx) * (1 - fy) + k(ix + 1, iy) * fx * (1 - fy) +
                          k(ix, iy + 1) * (1 - fx) * fy + k(ix + 1, iy + 1) * fx * fy;
                v += 24.0f * sinf((float)x * 0.05f + (float)c) * cosf((float)y * 0.03f) +
                     (float)(rng.below(25) - 12) + cur[(size_t)(x + 1) * 3 + (size_t)c];
                want[c] = v < 0 ? 0 : v > 255 ? 255 : v;
            }
            int r = (int)(want[0] / 51 + 0.5f), g = (int)(want[1] / 42.5f + 0.5f), b = (int)(want[2] / 51 + 0.5f);
            if (g > 6) g = 6;
            int index = (r * 7 + g) * 6 + b;
            px[(size_t)y * (size_t)width + (size_t)x] = (unsigned char)index;
            const float got[3] = {(float)(r * 51), (float)(g * 42), (float)(b * 51)};
            for (int c = 0; c < 3; c++) {
                float e = want[c] - got[c];
                cur[(size_t)(x + 2) * 3 + (size_t)c] += e * 7 / 16;
                nxt[(size_t)x * 3 + (size_t)c] += e * 3 / 16;
                nxt[(size_t)(x + 1) * 3 + (size_t)c] += e * 5 / 16;
                nxt[(size_t)(x + 2) * 3 + (size_t)c] += e * 1 / 16;
            }
        }
    }
    return px;
}

struct Canvas {
    int width, height;
    Pixels px;
    Canvas(int w, int h, int bg) : width(w), height(h), px((size_t)w * (size_t)h, (unsigned char)bg) {}
    void rect(int x0, int y0, int w, int h, int colour) {
        for (int y = y0 < 0 ? 0 : y0; y < y0 + h && y < height; y++)
            for (int x = x0 < 0 ? 0 : x0; x < x0 + w && x < width; x++)
                px[(size_t)y * (size_t)width + (size_t)x] = (unsigned char)colour;
    }
    // Lines of made-up glyphs: 5x7 cells from a fixed random set, scaled.
    void text(Rng &rng, int x0, int y0, int w, int h, int scale, int colour) {
        static std::vector<uint64_t> glyphs;
        if (glyphs.empty()) {
            Rng g(99);
            for (int i = 0; i < 80; i++) glyphs.push_back((uint64_t)g.next() << 32 | g.next());
        }
        int cw = 6 * scale, ch = 10 * scale;
        for (int y = y0; y + ch <= y0 + h; y += ch) {
            int line_end = x0 + w - rng.below(w / 3 + 1);
            for (int x = x0; x + cw <= line_end; x += cw) {
                if (rng.below(7) == 0) continue;  // a space
                uint64_t bits = glyphs[(size_t)rng.below(80)];
                for (int gy = 0; gy < 7; gy++)
                    for (int gx = 0; gx < 5; gx++)
                        if (bits >> (gy * 5 + gx) & 1) rect(x + gx * scale, y + gy * scale, scale, scale, colour);
            }
        }
    }
};

// Desktop, windows with title bars, text and a few gradients: long runs of
// a few dozen colours.
Frame screenshot(int width, int height) {
    Rng rng(5);
    Canvas c(width, height, 1);
    for (int i = 0; i < 9; i++) {
        int w = 300 + rng.below(width / 2), h = 200 + rng.below(height / 2);
        int x = rng.below(width - w / 2), y = rng.below(height - h / 2);
        c.rect(x, y, w, h, 2 + i % 3);
        c.rect(x, y, w, 24, 10 + i);
        for (int k = 0; k < w; k += 40) c.rect(x + k, y + 26, 40, 6, 20 + (k / 40) % 8);
        c.text(rng, x + 8, y + 40, w - 16, h - 48, 1, 0);
    }
    c.rect(0, height - 40, width, 40, 30);
    Frame f;
    f.width = width;
    f.height = height;
    f.pixels = c.px;
    return f;
}

// A scanned-looking page: black text in paragraphs on white.
Frame document(int size) {
    Rng rng(11);
    Canvas c(size, size, 0);
    int margin = size / 10;
    for (int y = margin; y < size - margin;) {
        int h = 200 + rng.below(600);
        c.text(rng, margin, y, size - 2 * margin, h, 4, 1);
        y += h + 60;
    }
    Frame f;
    f.width = f.height = size;
    f.pixels = c.px;
    return f;
}

std::vector<Frame> animation(int frames, int width, int height) {
    std::vector<Frame> all;
    Rng rng(3);
    for (int n = 0; n < frames; n++) {
        Canvas c(width, height, 0);
        for (int y = 0; y < height; y++) c.rect(0, y, width, 1, 1 + y * 12 / height);
        int bx = (n * 7) % (width - 40), by = 20 + (int)(40 * fabs(sin(n * 0.2)));
        c.rect(bx, by, 40, 40, 20 + n % 5);
        c.text(rng, 10, height - 40, width - 20, 30, 1, 30);
        Frame f;
        f.width = width;
        f.height = height;
        f.pixels = c.px;
        f.before.push_back(Extension{0xF9, {std::string("\x04\x04\x00\x00", 4)}});
        all.push_back(f);
    }
    return all;
}

bool run(const std::string &command) {
    if (system(command.c_str()) == 0) return true;
    return fail("failed: " + command);
}

bool write_bytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return fail(path + ": cannot write");
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok ? true : fail(path + ": cannot write");
}

std::vector<unsigned char> read_bytes(const std::string &path) {
    std::vector<unsigned char> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    for (int c; (c = getc(f)) != EOF;) bytes.push_back((unsigned char)c);
    fclose(f);
    return bytes;
}

// The first `fraction` of a file, for a file cut short by its writer.
bool cut(const std::string &dir, const std::string &from, const std::string &to, double fraction) {
    std::vector<unsigned char> bytes = read_bytes(dir + "/" + from);
    if (bytes.empty()) return fail(from + ": missing");
    bytes.resize((size_t)((double)bytes.size() * fraction));
    return write_bytes(dir + "/" + to, bytes);
}

std::vector<Frame> offset_animation() {
    std::vector<Frame> frames;
    for (int n = 0; n < 6; n++) {
        Frame f = frame(13 + n * 5, 9 + n * 3, 8, 40 + (uint32_t)n);
        f.left = n * 7;
        f.top = n * 4;
        f.before.push_back(Extension{0xF9, {std::string("\x05\x0A\x00\x03", 4)}});
        if (n % 2) f.local = ramp(8, n);
        frames.push_back(f);
    }
    return frames;
}

}  // namespace

bool write_conformance(const std::string &dir) {
    auto at = [&](const std::string &name) { return dir + "/" + name; };
    bool ok = true;
    // giflib's encoder: sizes, table sizes, no global table, interlace,
    // extensions, animation with offsets, a photo that refills the table.
    ok = ok && write_with_giflib(at("g_1x1.gif"), 1, 1, ramp(2, 1), {frame(1, 1, 2, 1)});
    const int odd[][2] = {{3, 7}, {17, 5}, {1, 64}, {333, 77}};
    for (auto &s : odd)
        ok = ok && write_with_giflib(at("g_odd_" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + ".gif"),
                                     s[0], s[1], ramp(16, 2), {frame(s[0], s[1], 16, (uint32_t)s[0])});
    for (int colours : {2, 3, 4, 5, 8, 16, 17, 32, 64, 100, 128, 256})
        ok = ok && write_with_giflib(at("g_colours_" + std::to_string(colours) + ".gif"), 61, 47,
                                     ramp(colours, colours), {frame(61, 47, colours, (uint32_t)colours)});
    {
        std::vector<Frame> frames;
        for (int n = 0; n < 3; n++) {
            Frame f = frame(20 + n, 15, 4 << n, 7 + (uint32_t)n);
            f.local = ramp(4 << n, n);
            f.left = n * 10;
            frames.push_back(f);
        }
        ok = ok && write_with_giflib(at("g_local_tables_only.gif"), 60, 20, {}, frames);
    }
    for (int h : {1, 2, 5, 9, 10, 16, 33, 100})
        ok = ok && write_with_giflib(at("g_interlaced_h" + std::to_string(h) + ".gif"), 23, h, ramp(32, 3),
                                     {frame(23, h, 32, (uint32_t)h, true)});
    {
        Frame f = frame(30, 20, 4, 9);
        f.before.push_back(Extension{0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)}});
        f.before.push_back(Extension{0xFE, {"a comment", std::string(255, 'x'), "in three sub-blocks"}});
        f.before.push_back(Extension{0xF9, {std::string("\x01\x00\x00\x02", 4)}});
        f.before.push_back(Extension{0x01, {std::string(12, '\0'), "plain text"}});
        ok = ok && write_with_giflib(at("g_extensions.gif"), 30, 20, ramp(4, 4), {f},
                                     {Extension{0xFE, {"after the last image"}}});
    }
    ok = ok && write_with_giflib(at("g_animation_offsets.gif"), 60, 40, ramp(8, 8), offset_animation());
    ok = ok && write_with_giflib(at("g_photo.gif"), 480, 360, photo_palette(), {[] {
                                     Frame f;
                                     f.width = 480;
                                     f.height = 360;
                                     f.pixels = photo(480, 360, 1);
                                     return f;
                                 }()});
    {
        std::vector<unsigned char> bytes = read_bytes(at("g_colours_16.gif"));
        const char junk[] = "after the trailer\x2c\x21\x00\x3b";
        bytes.insert(bytes.end(), junk, junk + sizeof junk - 1);
        ok = ok && write_bytes(at("g_bytes_after_trailer.gif"), bytes);
    }

    // ImageMagick and gifsicle, from their own images and from the above.
    const std::string im = "convert -seed 7 ";
    ok = ok && run(im + "-size 320x240 plasma:fractal -colors 256 '" + at("m_plasma.gif") + "'");
    ok = ok && run(im + "-size 257x181 plasma:fractal -colors 256 -interlace GIF '" + at("m_plasma_interlaced.gif") + "'");
    ok = ok && run(im + "-size 64x48 xc:none -fill red -draw 'circle 32,24 32,4' '" + at("m_transparent.gif") + "'");
    ok = ok && run(im + "-size 101x33 gradient:white-black -colors 2 -comment 'two colours' '" + at("m_two_colours.gif") + "'");
    ok = ok && run(im + "-delay 5 -size 60x40 xc:white "
                        "\\( -clone 0 -fill blue -draw 'rectangle 10,10 30,30' \\) "
                        "\\( -clone 1 -fill green -draw 'circle 40,20 40,30' \\) "
                        "\\( -clone 2 -fill red -draw 'rectangle 0,35 59,39' \\) "
                        "-loop 0 -layers optimize '" + at("m_animation.gif") + "'");
    ok = ok && run("gifsicle -O3 --colors 64 '" + at("g_animation_offsets.gif") + "' -o '" + at("s_animation_O3.gif") + "'");
    ok = ok && run("gifsicle --interlace '" + at("g_photo.gif") + "' -o '" + at("s_photo_interlaced.gif") + "'");
    ok = ok && run("gifsicle --colors 4 --comment 'four colours' --loopcount=forever '" + at("m_plasma.gif") + "' -o '" + at("s_plasma_4.gif") + "'");
    ok = ok && run("gifsicle --transparent 0 '" + at("g_odd_333x77.gif") + "' -o '" + at("s_transparent.gif") + "'");

    // Files cut short: in the image data, in an extension, in a later frame.
    for (double f : {0.3, 0.6, 0.97})
        ok = ok && cut(dir, "g_photo.gif", "t_photo_" + std::to_string((int)(f * 100)) + ".gif", f);
    ok = ok && cut(dir, "s_photo_interlaced.gif", "t_photo_interlaced_50.gif", 0.5);
    ok = ok && cut(dir, "g_extensions.gif", "t_extensions_in_comment.gif", 0.1);
    ok = ok && cut(dir, "g_animation_offsets.gif", "t_animation_60.gif", 0.6);
    ok = ok && cut(dir, "m_animation.gif", "t_m_animation_80.gif", 0.8);
    return ok;
}

bool write_fuzz_seeds(const std::string &dir) {
    auto at = [&](const std::string &name) { return dir + "/" + name; };
    bool ok = write_with_giflib(at("seed_small.gif"), 7, 5, ramp(4, 1), {frame(7, 5, 4, 1)});
    ok = ok && write_with_giflib(at("seed_interlaced.gif"), 9, 11, ramp(8, 2), {frame(9, 11, 8, 2, true)});
    ok = ok && write_with_giflib(at("seed_animation.gif"), 60, 40, ramp(8, 8), offset_animation());
    ok = ok && write_with_giflib(at("seed_noisy.gif"), 40, 30, ramp(256, 3), {frame(40, 30, 256, 3)});
    {
        Frame f = frame(8, 6, 2, 4);
        f.before.push_back(Extension{0xFE, {"seed"}});
        f.local = ramp(2, 1);
        ok = ok && write_with_giflib(at("seed_local_table.gif"), 8, 6, {}, {f});
    }
    ok = ok && run("convert -seed 3 -size 48x32 plasma:fractal -colors 64 '" + at("seed_plasma.gif") + "'");
    return ok;
}

bool write_benchmark(const std::string &dir) {
    auto at = [&](const std::string &name) { return dir + "/" + name; };
    Frame p;
    p.width = 2000;
    p.height = 1500;
    p.pixels = photo(2000, 1500, 2);
    bool ok = write_with_giflib(at("photo.gif"), 2000, 1500, photo_palette(), {p});
    p.interlace = true;
    ok = ok && write_with_giflib(at("photo_interlaced.gif"), 2000, 1500, photo_palette(), {p});
    ok = ok && write_with_giflib(at("screenshot.gif"), 1920, 1080, ramp(32, 5), {screenshot(1920, 1080)});
    ok = ok && write_with_giflib(at("document.gif"), 4000, 4000, Palette{{255, 255, 255}, {0, 0, 0}}, {document(4000)});
    ok = ok && write_with_giflib(at("animation.gif"), 320, 240, ramp(32, 9), animation(100, 320, 240),
                                 {Extension{0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)}}});
    return ok;
}

}  // namespace corpus
