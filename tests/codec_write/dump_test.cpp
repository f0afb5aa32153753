// Text dump: whole outputs for small trees, and the line formats.
#include <gtest/gtest.h>
#include <string.h>

#include "tests/codec_write/support.h"

namespace {

std::string Dump(Gif *gif) {
    return CaptureText([&](FILE *f) { print_gif(f, gif); });
}

std::string DataLine(const std::string &bytes) {
    GifData *d = MakeData(bytes);
    std::string out = CaptureText([&](FILE *f) { print_gif_data(f, d); });
    del_gif_data(d);
    return out;
}

void SetColour(GifPalette *p, int i, unsigned char r, unsigned char g, unsigned char b) {
    p->colours[i].red = r;
    p->colours[i].green = g;
    p->colours[i].blue = b;
}

TEST(PrintGif, FreshRecord) {
    Gif *gif = new_gif();
    EXPECT_EQ(Dump(gif),
              "Gif header=GIF87a\n"
              " GifScreen:\n"
              "  width      = 0\n"
              "  height     = 0\n"
              "  has_cmap   = 0\n"
              "  color_res  = 0\n"
              "  sorted     = 0\n"
              "  cmap_depth = 0\n"
              "  bgcolour   = 00\n"
              "  aspect     = 0\n"
              "End of gif.\n\n");
    memcpy(gif->header, "GIF89aXY", 8);  // no NUL: the whole field
    EXPECT_EQ(Dump(gif).substr(0, 20), "Gif header=GIF89aXY\n");
    del_gif(gif);
}

TEST(PrintGif, TreeWithTableExtensionAndImages) {
    Gif *gif = new_gif();
    memcpy(gif->header, "GIF89a", 6);
    GifScreen *s = gif->screen;
    s->width = 10;
    s->height = 7;
    s->has_cmap = 5;
    s->color_res = 8;
    s->sorted = 3;
    s->cmap_depth = 1;
    s->bgcolour = 0xAB;
    s->aspect = 49;
    del_gif_palette(s->cmap);
    s->cmap = MakePalette(2, 0);
    SetColour(s->cmap, 0, 0x00, 0x12, 0xEF);
    SetColour(s->cmap, 1, 0xFF, 0xFF, 0xFF);

    AddBlock(gif, 0x21, nullptr,
             MakeExtension(0xF9, {MakeData("hello"), MakeData(std::string("\x01\x00\x00", 3)),
                                  MakeData("A\x01" "B"), MakeData(""), nullptr}));

    GifPicture *pic = MakePicture(3, 2, {0x00, 0x1F, 0xFF, 0xA0, 0x0B, 0x10});
    pic->left = 1;
    pic->top = 2;
    pic->has_cmap = 5;
    pic->interlace = 64;
    pic->sorted = 32;
    pic->reserved = 3;
    pic->cmap_depth = 1;
    del_gif_palette(pic->cmap);
    pic->cmap = MakePalette(2, 0);
    SetColour(pic->cmap, 0, 1, 2, 3);
    SetColour(pic->cmap, 1, 0xA, 0xB, 0xC);
    AddBlock(gif, 0x2C, pic, nullptr);

    GifPicture *rowless = new_gif_picture();
    rowless->width = 4;
    rowless->height = 2;
    AddBlock(gif, 0x2C, rowless, nullptr);
    AddBlock(gif, 0x3B, nullptr, nullptr);

    EXPECT_EQ(Dump(gif),
              "Gif header=GIF89a\n"
              " GifScreen:\n"
              "  width      = 10\n"
              "  height     = 7\n"
              "  has_cmap   = 1\n"
              "  color_res  = 8\n"
              "  sorted     = 1\n"
              "  cmap_depth = 1\n"
              "  bgcolour   = AB\n"
              "  aspect     = 49\n"
              "  GifPalette (length=2):\n"
              "   00 = 0x0012EF\n"
              "   01 = 0xFFFFFF\n"
              " GifBlock (intro=0x21):\n"
              " GifExtension:\n"
              "  marker = 0xF9\n"
              "  data = (length=5) [hello]\n"
              "  data = (length=3) [ 01,00,00,]\n"
              "  data = (length=3) [A 01, B]\n"
              "  data = (length=0) []\n"
              "  data = []\n"
              " GifBlock (intro=0x2C):\n"
              " GifPicture:\n"
              "  left       = 1\n"
              "  top        = 2\n"
              "  width      = 3\n"
              "  height     = 2\n"
              "  has_cmap   = 5\n"
              "  interlace  = 64\n"
              "  sorted     = 32\n"
              "  reserved   = 3\n"
              "  cmap_depth = 1\n"
              "  GifPalette (length=2):\n"
              "   00 = 0x010203\n"
              "   01 = 0x0A0B0C\n"
              "   [001FFF]\n"
              "   [A00B10]\n"
              " GifBlock (intro=0x2C):\n"
              " GifPicture:\n"
              "  left       = 0\n"
              "  top        = 0\n"
              "  width      = 4\n"
              "  height     = 2\n"
              "  has_cmap   = 0\n"
              "  interlace  = 0\n"
              "  sorted     = 0\n"
              "  reserved   = 0\n"
              "  cmap_depth = 0\n"
              " GifBlock (intro=0x3B):\n"
              "End of gif.\n\n");
    del_gif(gif);
}

TEST(PrintGifData, SpaceWhereverTheByteClassChanges) {
    EXPECT_EQ(DataLine("hello"), "(length=5) [hello]\n");
    EXPECT_EQ(DataLine(std::string("\x01\x00\x00", 3)), "(length=3) [ 01,00,00,]\n");
    EXPECT_EQ(DataLine("A\x01" "B"), "(length=3) [A 01, B]\n");
    EXPECT_EQ(DataLine("~\x7F "), "(length=3) [~ 7F,  ]\n");
    EXPECT_EQ(DataLine("a b\x80\xFF" "c\x1F"), "(length=7) [a b 80,FF, c 1F,]\n");
    EXPECT_EQ(DataLine(""), "(length=0) []\n");
    EXPECT_EQ(CaptureText([](FILE *f) { print_gif_data(f, nullptr); }), "[]\n");
}

TEST(PrintGifPalette, IndexesFrom0x100HaveThreeDigits) {
    GifPalette *p = MakePalette(258, 0);
    SetColour(p, 0xFF, 1, 2, 3);
    SetColour(p, 0x100, 0x10, 0x20, 0x30);
    SetColour(p, 0x101, 0xFE, 0xDC, 0xBA);
    std::string text = CaptureText([&](FILE *f) { print_gif_palette(f, p); });
    EXPECT_EQ(text.substr(0, 27), "  GifPalette (length=258):\n");
    const std::string tail =
        "   FF = 0x010203\n"
        "   100 = 0x102030\n"
        "   101 = 0xFEDCBA\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 259);
    del_gif_palette(p);
}

TEST(PrintGifScreen, FlagsAsZeroOrOneTableOnlyWhenFlagged) {
    GifScreen *s = new_gif_screen();
    del_gif_palette(s->cmap);
    s->cmap = MakePalette(2, 0);
    s->sorted = -1;
    s->bgcolour = 5;
    std::string text = CaptureText([&](FILE *f) { print_gif_screen(f, s); });
    EXPECT_NE(text.find("  sorted     = 1\n"), std::string::npos);
    EXPECT_NE(text.find("  has_cmap   = 0\n"), std::string::npos);
    EXPECT_NE(text.find("  bgcolour   = 05\n"), std::string::npos);
    EXPECT_EQ(text.find("GifPalette"), std::string::npos);
    del_gif_screen(s);
}

}  // namespace
