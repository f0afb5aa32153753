// Image writer and LZW encoder: descriptor, code size, code widths, table
// reset, sub-blocks and row order.
#include <gtest/gtest.h>

#include <random>

#include "tests/codec_write/support.h"

namespace {

struct Picture {
    GifPicture *pic;
    Picture(int32_t w, int32_t h, const std::vector<unsigned char> &px)
        : pic(MakePicture(w, h, px)) {}
    ~Picture() { del_gif_picture(pic); }
    Bytes Write() const { return Capture([&](GifStream *s) { write_gif_picture(s, pic); }); }
};

// Offset of the image data in what write_gif_picture writes.
size_t DataOffset(const Bytes &b) {
    size_t off = 9;
    if (b[8] & 0x80) off += 3u << ((b[8] & 7) + 1);
    return off;
}

ImageData Data(const Bytes &b) {
    ImageData d = ParseImageData(b, DataOffset(b));
    EXPECT_TRUE(d.ended);
    EXPECT_TRUE(d.terminated);
    EXPECT_EQ(d.end, b.size());
    return d;
}

std::vector<int> CodesOf(std::initializer_list<int> codes) { return codes; }

TEST(WriteGifPicture, OneByOneImageOfPixelZero) {
    Picture p(1, 1, {0});
    p.pic->cmap_depth = 1;
    EXPECT_EQ(p.Write(), (Bytes{0, 0, 0, 0, 1, 0, 1, 0, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00}));
}

TEST(WriteGifPicture, DescriptorFields) {
    Picture p(2, 1, {1, 0});
    p.pic->left = 0x0102;
    p.pic->top = 0x10304;  // 16 bits go out
    p.pic->interlace = 2;
    p.pic->sorted = 3;
    p.pic->reserved = 7;  // two bits
    p.pic->cmap_depth = 5;  // no local table: no depth bits
    Bytes b = p.Write();
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 9),
              (Bytes{0x02, 0x01, 0x04, 0x03, 2, 0, 1, 0, 0x40 | 0x20 | 0x18}));
}

TEST(WriteGifPicture, LocalTableMatchesAnnouncedDepth) {
    struct Case {
        int length, cmap_depth, depth;
    } cases[] = {{2, 3, 3}, {5, 1, 3}, {256, 8, 8}, {0, 0, 1}, {200, 0, 8}};
    for (const Case &c : cases) {
        Picture p(4, 1, {0, 1, 1, 0});
        del_gif_palette(p.pic->cmap);
        p.pic->cmap = MakePalette(c.length, 5);
        p.pic->has_cmap = 1;
        p.pic->cmap_depth = c.cmap_depth;
        Bytes b = p.Write();
        SCOPED_TRACE(testing::Message() << c.length << " entries, depth " << c.cmap_depth);
        EXPECT_EQ(b[8], 0x80 | (c.depth - 1));
        for (int i = 0; i < (1 << c.depth); i++) {
            size_t at = 9 + 3 * static_cast<size_t>(i);
            Bytes rgb(b.begin() + at, b.begin() + at + 3);
            if (i < c.length)
                EXPECT_EQ(rgb, (Bytes{p.pic->cmap->colours[i].red, p.pic->cmap->colours[i].green,
                                      p.pic->cmap->colours[i].blue}));
            else
                EXPECT_EQ(rgb, (Bytes{0, 0, 0})) << i;
        }
        EXPECT_EQ(DecodeCodes(Data(b)), PixelsOf(p.pic));
    }
}

TEST(WriteGifPicture, CodeSizeFromDepthAndFromPixels) {
    struct Case {
        int cmap_depth, has_cmap, max_pixel, root;
    } cases[] = {
        {0, 0, 3, 2},   {1, 0, 1, 2},  {1, 1, 0, 2},   {2, 0, 3, 2},   {3, 0, 0, 3},
        {8, 0, 0, 8},   {8, 1, 255, 8}, {5, 1, 3, 5},  {0, 0, 4, 3},   {0, 0, 200, 8},
        {1, 1, 5, 3},   {2, 1, 127, 7}, {0, 0, 128, 8}, {12, 0, 1, 2}, {-3, 0, 9, 4},
        {9, 0, 16, 5},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> px;
        for (int i = 0; i < 40; i++) px.push_back(static_cast<unsigned char>((i * 37) % (c.max_pixel + 1)));
        px[17] = static_cast<unsigned char>(c.max_pixel);
        Picture p(8, 5, px);
        p.pic->cmap_depth = c.cmap_depth;
        p.pic->has_cmap = c.has_cmap;
        if (c.has_cmap) {
            del_gif_palette(p.pic->cmap);
            p.pic->cmap = MakePalette(1 << std::min(8, std::max(1, c.cmap_depth)), 1);
        }
        Bytes b = p.Write();
        SCOPED_TRACE(testing::Message() << "depth " << c.cmap_depth << ", max " << c.max_pixel);
        ImageData d = Data(b);
        EXPECT_EQ(d.root_size, c.root);
        ASSERT_FALSE(d.codes.empty());
        EXPECT_EQ(d.codes.front(), 1 << c.root);
        EXPECT_EQ(d.widths.front(), c.root + 1);
        EXPECT_EQ(DecodeCodes(d), px);
    }
}

TEST(WriteGifPicture, CodesWidenWhereTheDecoderWidens) {
    // Root size 2: three 3-bit codes after the clear, then 4 bits. With no
    // pair repeated every pixel is a code and every code adds an entry.
    Picture p(8, 1, {0, 1, 2, 3, 0, 2, 1, 3});
    Bytes b = p.Write();
    ImageData d = Data(b);
    EXPECT_EQ(d.codes, CodesOf({4, 0, 1, 2, 3, 0, 2, 1, 3, 5}));
    EXPECT_EQ(d.widths, CodesOf({3, 3, 3, 3, 4, 4, 4, 4, 4, 4}));
}

TEST(WriteGifPicture, SubBlocksOf255AndTheLastOne) {
    // Root 8 and no repeated pair: clear, n pixel codes and end, all 9 bits
    // wide while fewer than 254 codes are out. 226 codes are 2034 bits, 255
    // bytes; 227 codes are 2043 bits, 256 bytes.
    struct Case {
        int pixels;
        std::vector<int> blocks;
    } cases[] = {{224, {255}}, {225, {255, 1}}, {1, {4}}};
    for (const Case &c : cases) {
        std::vector<unsigned char> px = DistinctPairs(c.pixels);
        Picture p(c.pixels, 1, px);
        p.pic->cmap_depth = 8;
        ImageData d = Data(p.Write());
        EXPECT_EQ(d.block_lengths, c.blocks) << c.pixels;
        EXPECT_EQ(DecodeCodes(d), px);
    }

    // The same boundary driven code by code: 680 codes of 3 bits are 255
    // bytes exactly, one more spills a single byte into a second sub-block.
    for (int codes : {678, 679}) {
        GifEncoder *e = new_gif_encoder();
        Bytes b = Capture([&](GifStream *s) {
            init_gif_encoder(s, e, 2);
            for (int i = 0; i < codes; i++) write_gif_code(s, e, i & 3);
            flush_gif_encoder(s, e);
        });
        ImageData d = ParseImageData(b, 0);
        const std::vector<int> expected = codes == 678 ? std::vector<int>{255} : std::vector<int>{255, 1};
        EXPECT_EQ(d.block_lengths, expected);
        EXPECT_TRUE(d.terminated);
        EXPECT_EQ(d.end, b.size());
        del_gif_encoder(e);
    }
}

TEST(WriteGifPicture, FullTableIsFollowedByA12BitClear) {
    // Root 8: strings get the codes 258..4094, 3837 of them. The pixel whose
    // code would be 4095 is written at 12 bits and followed by the clear
    // code at 12 bits; the next code is 9 bits wide again.
    const int stored = 4094 - 258 + 1;
    std::vector<unsigned char> px = DistinctPairs(stored + 3);
    Picture p(static_cast<int32_t>(px.size()), 1, px);
    p.pic->cmap_depth = 8;
    ImageData d = Data(p.Write());

    std::vector<int> expected{256};
    for (int i = 0; i <= stored; i++) expected.push_back(px[i]);
    expected.push_back(256);
    expected.push_back(px[stored + 1]);
    expected.push_back(px[stored + 2]);
    expected.push_back(257);
    ASSERT_EQ(d.codes, expected);

    const size_t clear_at = static_cast<size_t>(stored) + 2;
    EXPECT_EQ(d.widths[clear_at - 1], 12);
    EXPECT_EQ(d.widths[clear_at], 12);
    EXPECT_EQ(d.widths[clear_at + 1], 9);
    EXPECT_EQ(d.widths[clear_at + 2], 9);
    EXPECT_EQ(DecodeCodes(d), px);
}

TEST(WriteGifPicture, InterlacedRowsGoOutPassByPass) {
    struct Case {
        int height;
        std::vector<int> order;
    } cases[] = {
        {1, {0}},
        {5, {0, 4, 2, 1, 3}},
        {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
        {16, {0, 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}},
    };
    for (const Case &c : cases) {
        // Row r is the single pixel r: no pair repeats, so the codes after
        // the clear are the rows in the order they were written.
        std::vector<unsigned char> px;
        for (int r = 0; r < c.height; r++) px.push_back(static_cast<unsigned char>(r));
        Picture p(1, c.height, px);
        p.pic->interlace = 1;
        p.pic->cmap_depth = 4;
        ImageData d = Data(p.Write());
        std::vector<int> expected{16};
        expected.insert(expected.end(), c.order.begin(), c.order.end());
        expected.push_back(17);
        EXPECT_EQ(d.codes, expected) << c.height;
    }
}

TEST(WriteGifPicture, EmptyImageIsClearEndTerminator) {
    for (auto wh : {std::pair<int, int>{0, 0}, {5, 0}, {0, 5}, {-3, 2}}) {
        Picture p(wh.first, wh.second, {});
        Bytes b = p.Write();
        EXPECT_EQ(Bytes(b.begin() + 9, b.end()), (Bytes{0x02, 0x01, 0x2C, 0x00}))
            << wh.first << "x" << wh.second;
    }
}

TEST(WriteGifPicture, MissingRowsAreIndexZero) {
    for (int interlace : {0, 1}) {
        for (int width : {3, 300, 700}) {
            GifPicture *pic = new_gif_picture();
            pic->width = width;
            pic->height = 2;
            pic->interlace = interlace;
            pic->cmap_depth = 4;
            Bytes b = Capture([&](GifStream *s) { write_gif_picture(s, pic); });
            ImageData d = Data(b);
            EXPECT_EQ(d.root_size, 4);
            EXPECT_EQ(DecodeCodes(d), std::vector<unsigned char>(2 * width, 0)) << width;
            del_gif_picture(pic);
        }
    }
}

TEST(GifEncoder, RowsFedInPiecesMatchTheWholePicture) {
    std::mt19937 rng(7);
    std::vector<unsigned char> px(64 * 50);
    for (auto &v : px) v = static_cast<unsigned char>(rng() % 6);
    Picture p(64, 50, px);
    p.pic->cmap_depth = 3;
    Bytes whole = p.Write();

    GifEncoder *e = new_gif_encoder();
    Bytes pieces = Capture([&](GifStream *s) {
        init_gif_encoder(s, e, 3);
        size_t at = 0;
        while (at < px.size()) {
            size_t n = std::min<size_t>(px.size() - at, 1 + rng() % 97);
            write_gif_line(s, e, px.data() + at, static_cast<int32_t>(n));
            write_gif_line(s, e, px.data() + at, 0);
            at += n;
        }
        flush_gif_encoder(s, e);
        // A finished encoder writes nothing more.
        write_gif_line(s, e, px.data(), 10);
        write_gif_code(s, e, 1);
        flush_gif_encoder(s, e);
    });
    del_gif_encoder(e);
    EXPECT_EQ(pieces, Bytes(whole.begin() + 9, whole.end()));
}

TEST(GifEncoder, InitClampsTheRootSize) {
    for (int depth : {-4, 0, 1, 2, 5, 8, 9, 12, 100}) {
        GifEncoder *e = new_gif_encoder();
        const std::vector<unsigned char> px{0, 1, 1, 0, 3};
        Bytes b = Capture([&](GifStream *s) {
            init_gif_encoder(s, e, depth);
            write_gif_line(s, e, px.data(), 5);
            flush_gif_encoder(s, e);
        });
        const int root = std::min(8, std::max(2, depth));
        EXPECT_EQ(e->root_size, root);
        EXPECT_EQ(e->clear_code, 1 << root);
        EXPECT_EQ(e->end_code, (1 << root) + 1);
        EXPECT_EQ(e->blocks_done, 1);
        ImageData d = ParseImageData(b, 0);
        EXPECT_EQ(d.root_size, root);
        EXPECT_EQ(DecodeCodes(d), px) << depth;
        del_gif_encoder(e);
    }
}

TEST(GifEncoder, EncoderNeverSetUpWritesNothing) {
    GifEncoder *e = new_gif_encoder();
    const unsigned char px[4] = {1, 2, 3, 4};
    Bytes b = Capture([&](GifStream *s) {
        write_gif_line(s, e, px, 4);
        flush_gif_encoder(s, e);
    });
    EXPECT_TRUE(b.empty());
    del_gif_encoder(e);
}

}  // namespace
