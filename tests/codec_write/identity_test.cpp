// The image writer's output, byte for byte, against the former writer kept
// as the reference: on the conformance corpus and on generated pictures of
// many sizes, depths, patterns and row layouts, alone and as the frames of
// one file whose pictures share the string table.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <random>

#include "tests/codec_write/giflib_view.h"
#include "tests/codec_write/reference_encoder.h"
#include "tests/codec_write/support.h"

namespace {

Bytes Written(GifPicture *pic) { return Capture([&](GifStream *s) { write_gif_picture(s, pic); }); }
Bytes Reference(GifPicture *pic) { return Capture([&](GifStream *s) { reference::write_gif_picture(s, pic); }); }

// The first offset at which two outputs differ, for a readable failure.
size_t FirstDifference(const Bytes &a, const Bytes &b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) i++;
    return i;
}

void ExpectSameAsReference(GifPicture *pic) {
    const Bytes got = Written(pic), want = Reference(pic);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(FirstDifference(got, want), want.size());
}

enum Pattern { kNoise, kRuns, kRepeatedRows, kStripes };

// Pixels below 2^bits: noise, runs of random length, a few rows repeated
// over and over (long strings seen before), or a stripe pattern that runs
// on from one row into the next.
std::vector<unsigned char> Pixels(Pattern pattern, int w, int h, int bits, unsigned seed) {
    std::mt19937 rng(seed);
    const unsigned mask = (1u << bits) - 1;
    std::vector<unsigned char> px((size_t)w * (size_t)h);
    switch (pattern) {
    case kNoise:
        for (auto &p : px) p = (unsigned char)(rng() & mask);
        break;
    case kRuns:
        for (size_t i = 0; i < px.size();) {
            size_t n = 1 + rng() % 300;
            unsigned char v = (unsigned char)(rng() & mask);
            for (; n > 0 && i < px.size(); n--) px[i++] = v;
        }
        break;
    case kRepeatedRows: {
        std::vector<unsigned char> lines((size_t)w * 3);
        for (size_t i = 0; i < lines.size(); i++) lines[i] = (unsigned char)((rng() % 5 == 0 ? rng() : i / 7) & mask);
        for (int r = 0; r < h; r++) memcpy(&px[(size_t)r * w], &lines[(size_t)(rng() % 3) * w], (size_t)w);
        break;
    }
    case kStripes:
        for (size_t i = 0; i < px.size(); i++) px[i] = (unsigned char)((i / 13 + i / 101) & mask);
        break;
    }
    return px;
}

// One picture, its rows separate (as the reader makes them), or one block
// with rows back to back, or with every third row missing.
enum Layout { kSeparate, kOneBlock, kMissingRows };

GifPicture *Build(int w, int h, int depth, bool interlace, Layout layout, const std::vector<unsigned char> &px) {
    GifPicture *pic = MakePicture(w, h, px);
    pic->cmap_depth = depth;
    pic->interlace = interlace;
    if (layout == kOneBlock && h > 0) {
        unsigned char *block = static_cast<unsigned char *>(gif_alloc(w * h));
        memcpy(block, px.data(), px.size());
        for (int r = 0; r < h; r++) {
            free(pic->rows[r]);
            pic->rows[r] = block + (size_t)r * w;
        }
    }
    if (layout == kMissingRows)
        for (int r = 0; r < h; r += 3) {
            free(pic->rows[r]);
            pic->rows[r] = nullptr;
        }
    return pic;
}

void Release(GifPicture *pic, Layout layout) {
    if (layout == kOneBlock && pic->height > 0) {
        free(pic->rows[0]);
        for (int r = 0; r < pic->height; r++) pic->rows[r] = nullptr;
    }
    del_gif_picture(pic);
}

TEST(EncoderIdentity, GeneratedPictures) {
    struct Size {
        int w, h;
    } sizes[] = {{1, 1}, {2, 3}, {17, 5}, {64, 64}, {255, 4}, {300, 250}, {1000, 40}, {2, 3000}};
    const int depths[] = {1, 2, 3, 5, 8};
    unsigned seed = 1;
    for (const Size &s : sizes)
        for (int depth : depths)
            for (int pattern = kNoise; pattern <= kStripes; pattern++)
                for (int layout = kSeparate; layout <= kMissingRows; layout++) {
                    const bool interlace = (seed & 1) != 0;
                    SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " depth " << depth << " pattern "
                                                    << pattern << " layout " << layout << " interlace "
                                                    << interlace);
                    std::vector<unsigned char> px = Pixels((Pattern)pattern, s.w, s.h, depth, seed++);
                    GifPicture *pic = Build(s.w, s.h, depth, interlace, (Layout)layout, px);
                    ExpectSameAsReference(pic);
                    Release(pic, (Layout)layout);
                }
}

// Pixels above what cmap_depth announces raise the code size; a depth of
// 0 still writes code size 2.
TEST(EncoderIdentity, DepthTakenFromThePixels) {
    for (int bits = 1; bits <= 8; bits++) {
        std::vector<unsigned char> px = Pixels(kRuns, 400, 200, bits, 90 + bits);
        GifPicture *pic = Build(400, 200, 0, false, kSeparate, px);
        ExpectSameAsReference(pic);
        Release(pic, kSeparate);
    }
}

// Frames of one file: the table made for a large root serves the smaller
// roots after it, and a larger root after a smaller one gets its own.
TEST(EncoderIdentity, FramesOfOneFileShareTheTable) {
    const int depths[] = {8, 2, 5, 1, 8, 3};
    Gif *gif = new_gif();
    memcpy(gif->header, "GIF89a", 6);
    gif->screen->width = 300;
    gif->screen->height = 250;
    Bytes want = Capture([&](GifStream *s) { write_gif_screen(s, gif->screen); });
    want.insert(want.begin(), gif->header, gif->header + 6);
    for (int i = 0; i < 6; i++) {
        std::vector<unsigned char> px = Pixels(i % 2 ? kRepeatedRows : kNoise, 300, 250, depths[i], 40 + i);
        GifPicture *pic = Build(300, 250, depths[i], i == 3, kSeparate, px);
        AddBlock(gif, 0x2C, pic, nullptr);
        want.push_back(0x2C);
        Bytes part = Reference(pic);
        want.insert(want.end(), part.begin(), part.end());
    }
    want.push_back(0x3B);
    const Bytes got = Capture([&](GifStream *s) { write_gif(s, gif); });
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(FirstDifference(got, want), want.size());
    del_gif(gif);
}

TEST(EncoderIdentity, ConformanceCorpus) {
    std::vector<std::string> files = CorpusFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        FILE *f = fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        GifStream s = {};
        s.stream_file = f;
        Gif *gif = new_gif();
        read_gif(&s, gif);
        fclose(f);
        for (int32_t i = 0; i < gif->block_count; i++)
            if (GifPicture *pic = gif->blocks[i]->pic) ExpectSameAsReference(pic);
        del_gif(gif);
    }
}

}  // namespace
