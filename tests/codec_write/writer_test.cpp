// Container writer: the bytes of header, screen, colour tables, blocks,
// extensions and trailer.
#include <gtest/gtest.h>
#include <string.h>

#include "tests/codec_write/support.h"

namespace {

Bytes Text(const char *s) { return Bytes(s, s + strlen(s)); }

Bytes TableBytes(const GifPalette *p, int entries) {
    Bytes out;
    for (int i = 0; i < entries; i++) {
        if (i < p->length) {
            out.push_back(p->colours[i].red);
            out.push_back(p->colours[i].green);
            out.push_back(p->colours[i].blue);
        } else {
            out.insert(out.end(), {0, 0, 0});
        }
    }
    return out;
}

Bytes ScreenBytes(GifScreen *s) {
    return Capture([&](GifStream *st) { write_gif_screen(st, s); });
}

struct GifTree {
    Gif *gif = new_gif();
    ~GifTree() { del_gif(gif); }
};

TEST(WriteGif, FreshRecordIsHeaderBlankScreenAndTrailer) {
    GifTree t;
    // A fresh screen announces no table: its packed byte is 0.
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif(s, t.gif); }),
              Cat({Text("GIF87a"), {0, 0, 0, 0, 0x00, 0, 0}, {0x3B}}));
}

TEST(WriteGif, HeaderStopsAtFirstNulOrFieldEnd) {
    GifTree t;
    const Bytes screen_and_trailer = Cat({ScreenBytes(t.gif->screen), {0x3B}});
    auto header_of = [&](const char *text, size_t n) {
        memset(t.gif->header, 0, sizeof t.gif->header);
        memcpy(t.gif->header, text, n);
        Bytes all = Capture([&](GifStream *s) { write_gif(s, t.gif); });
        EXPECT_EQ(Bytes(all.end() - screen_and_trailer.size(), all.end()), screen_and_trailer);
        return Bytes(all.begin(), all.end() - screen_and_trailer.size());
    };
    EXPECT_EQ(header_of("GIF89a", 6), Text("GIF89a"));
    EXPECT_EQ(header_of("AB", 2), Text("AB"));
    EXPECT_EQ(header_of("", 0), Bytes());
    EXPECT_EQ(header_of("GIF89aXY", 8), Text("GIF89aXY"));
    EXPECT_EQ(header_of("GI\0F89a", 7), Text("GI"));
}

TEST(WriteGif, EqualsItsBuildingBlocksInOrder) {
    GifTree t;
    t.gif->screen->width = 9;
    t.gif->screen->has_cmap = 1;
    t.gif->screen->cmap_depth = 2;
    del_gif_palette(t.gif->screen->cmap);
    t.gif->screen->cmap = MakePalette(4, 3);
    AddBlock(t.gif, 0x21, nullptr, MakeExtension(0xFE, {MakeData("note")}));
    AddBlock(t.gif, 0x2C, MakePicture(2, 2, {0, 1, 2, 3}), nullptr);
    Bytes whole = Capture([&](GifStream *s) { write_gif(s, t.gif); });
    Bytes parts = Capture([&](GifStream *s) {
        fputs("GIF87a", s->stream_file);
        write_gif_screen(s, t.gif->screen);
        for (int i = 0; i < t.gif->block_count; i++) write_gif_block(s, t.gif->blocks[i]);
        fputc(0x3B, s->stream_file);
    });
    EXPECT_EQ(whole, parts);
}

TEST(WriteGif, WithoutFileWritesNothingAndLeavesTheTree) {
    GifTree t;
    AddBlock(t.gif, 0x2C, MakePicture(3, 3, {1, 2, 3, 1, 2, 3, 3, 2, 1}), nullptr);
    AddBlock(t.gif, 0x21, nullptr, MakeExtension(1, {MakeData("x")}));
    Bytes before = Capture([&](GifStream *s) { write_gif(s, t.gif); });
    GifStream none = {};
    write_gif(&none, t.gif);
    write_gif_block(&none, t.gif->blocks[0]);
    EXPECT_EQ(none.stream_pos, 0);
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif(s, t.gif); }), before);
}

TEST(WriteGifScreen, SizesAreLittleEndian16Bit) {
    GifScreen *s = new_gif_screen();
    s->width = 300;
    s->height = 2;
    s->bgcolour = 0x1FE;  // only the low byte goes out
    s->aspect = 49;
    Bytes b = ScreenBytes(s);
    EXPECT_EQ(b, (Bytes{0x2C, 0x01, 0x02, 0x00, 0x00, 0xFE, 49}));
    s->width = 0x12345;
    EXPECT_EQ(ScreenBytes(s)[0], 0x45);
    EXPECT_EQ(ScreenBytes(s)[1], 0x23);
    del_gif_screen(s);
}

TEST(WriteGifScreen, PackedByteWithAndWithoutTable) {
    GifScreen *s = new_gif_screen();
    del_gif_palette(s->cmap);
    s->cmap = MakePalette(256, 9);
    s->has_cmap = 1;
    s->color_res = 8;
    s->cmap_depth = 8;
    Bytes b = ScreenBytes(s);
    ASSERT_EQ(b.size(), 7u + 768u);
    EXPECT_EQ(b[4], 0xF7);
    EXPECT_EQ(Bytes(b.begin() + 7, b.end()), TableBytes(s->cmap, 256));

    s->has_cmap = 0;
    b = ScreenBytes(s);
    ASSERT_EQ(b.size(), 7u);
    EXPECT_EQ(b[4], 0x77);

    s->sorted = 5;  // any non-zero value is the one flag bit
    EXPECT_EQ(ScreenBytes(s)[4], 0x7F);
    del_gif_screen(s);
}

TEST(WriteGifScreen, OutOfRangeFieldsStayInTheirBits) {
    GifScreen *s = new_gif_screen();
    struct Case {
        int color_res, cmap_depth, packed;
    } cases[] = {
        {0, 0, 0x00},    {-5, -1, 0x00},  {1, 1, 0x00},  {9, 0, 0x00},
        {12, 0, 0x30},   {0, 9, 0x00},    {0, 12, 0x03}, {3, 16, 0x27},
        {-1, 8, 0x07},   {8, -7, 0x70},
    };
    for (const Case &c : cases) {
        s->color_res = c.color_res;
        s->cmap_depth = c.cmap_depth;
        EXPECT_EQ(ScreenBytes(s)[4], c.packed) << c.color_res << " " << c.cmap_depth;
    }
    del_gif_screen(s);
}

TEST(WriteGifScreen, TableIsAsLongAsItsAnnouncedDepth) {
    GifScreen *s = new_gif_screen();
    s->has_cmap = 1;
    s->color_res = 1;
    struct Case {
        int length, cmap_depth, depth;
    } cases[] = {
        {2, 3, 3},    // short table padded with black up to 8 entries
        {5, 1, 3},    // long table: depth grows to hold it
        {4, 2, 2},    // already right
        {0, 0, 1},    // no entries: two black ones
        {256, 0, 8},  // depth follows the length
        {300, 2, 8},  // more than a GIF table holds: the first 256
        {3, 12, 8},   // depth beyond a GIF table: 256 entries
    };
    for (const Case &c : cases) {
        del_gif_palette(s->cmap);
        s->cmap = MakePalette(c.length, static_cast<unsigned>(c.length));
        s->cmap_depth = c.cmap_depth;
        Bytes b = ScreenBytes(s);
        SCOPED_TRACE(testing::Message() << c.length << " entries, depth " << c.cmap_depth);
        ASSERT_EQ(b.size(), 7u + 3u * (1u << c.depth));
        EXPECT_EQ(b[4], 0x80 | (c.depth - 1));
        EXPECT_EQ(Bytes(b.begin() + 7, b.end()), TableBytes(s->cmap, 1 << c.depth));
    }
    del_gif_screen(s);
}

TEST(WriteGifPalette, StandingAloneWritesExactlyItsEntries) {
    // No packed byte announces a depth here: nothing padded, nothing cut.
    for (int length : {0, 1, 2, 3, 16, 17, 256, 257, 300}) {
        GifPalette *p = MakePalette(length, 77);
        Bytes b = Capture([&](GifStream *s) { write_gif_palette(s, p); });
        EXPECT_EQ(b.size(), 3u * (unsigned)length) << length;
        EXPECT_EQ(b, TableBytes(p, length)) << length;
        del_gif_palette(p);
    }
    GifPalette *p = MakePalette(4, 5);
    p->length = -3;  // a count below zero writes nothing
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_palette(s, p); }), Bytes());
    del_gif_palette(p);
}

TEST(WriteGifBlock, IntroducerThenImageThenExtension) {
    GifBlock *b = new_gif_block();
    b->intro = 0x99;
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_block(s, b); }), Bytes{0x99});

    b->intro = 0x21;
    b->ext = MakeExtension(0xF9, {MakeData(std::string("\x01\x02\x03\x04", 4))});
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_block(s, b); }),
              (Bytes{0x21, 0xF9, 0x04, 1, 2, 3, 4, 0x00}));

    b->pic = MakePicture(1, 1, {0});
    Bytes pic = Capture([&](GifStream *s) { write_gif_picture(s, b->pic); });
    Bytes ext = Capture([&](GifStream *s) { write_gif_extension(s, b->ext); });
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_block(s, b); }), Cat({{0x21}, pic, ext}));
    del_gif_block(b);
}

TEST(WriteGifExtension, EmptyAndNullEntriesAreSkipped) {
    GifExtension *e = MakeExtension(0x01, {nullptr, MakeData(""), MakeData("ab"), nullptr,
                                           MakeData(""), MakeData("c")});
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_extension(s, e); }),
              (Bytes{0x01, 2, 'a', 'b', 1, 'c', 0}));
    del_gif_extension(e);

    e = MakeExtension(0xFF, {});
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_extension(s, e); }), (Bytes{0xFF, 0}));
    del_gif_extension(e);
}

TEST(WriteGifExtension, LongDataIsSplitInto255ByteSubBlocks) {
    for (int length : {254, 255, 256, 300, 510, 511, 1000}) {
        std::string payload;
        for (int i = 0; i < length; i++) payload.push_back(static_cast<char>(i * 7 + 1));
        GifExtension *e = MakeExtension(0xFE, {MakeData(payload), MakeData("z")});
        Bytes b = Capture([&](GifStream *s) { write_gif_extension(s, e); });

        Bytes expected{0xFE};
        for (int done = 0; done < length; done += 255) {
            int n = std::min(255, length - done);
            expected.push_back(static_cast<unsigned char>(n));
            expected.insert(expected.end(), payload.begin() + done, payload.begin() + done + n);
        }
        expected.insert(expected.end(), {1, 'z', 0});
        EXPECT_EQ(b, expected) << length;
        del_gif_extension(e);
    }
}

TEST(WriteGifData, OneSubBlockNullOrEmptyIsATerminator) {
    GifData *d = MakeData("hello");
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_data(s, d); }),
              (Bytes{5, 'h', 'e', 'l', 'l', 'o'}));
    del_gif_data(d);
    d = MakeData("");
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_data(s, d); }), Bytes{0});
    del_gif_data(d);
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_data(s, nullptr); }), Bytes{0});

    d = MakeData(std::string(256, 'q'));
    Bytes b = Capture([&](GifStream *s) { write_gif_data(s, d); });
    ASSERT_EQ(b.size(), 258u);
    EXPECT_EQ(b[0], 255);
    EXPECT_EQ(b[256], 1);
    del_gif_data(d);
}

TEST(WriteGifInt, LowByteFirstHigherBitsDropped) {
    for (int32_t v : {0, 1, 0xFF, 0x100, 300, 0xFFFF, 0x12345, -1, -2}) {
        Bytes b = Capture([&](GifStream *s) { write_gif_int(s, v); });
        EXPECT_EQ(b, (Bytes{static_cast<unsigned char>(v & 0xFF),
                            static_cast<unsigned char>((v >> 8) & 0xFF)}))
            << v;
    }
}

}  // namespace
