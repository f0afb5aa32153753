// Round trips: what the writer produces decodes to the same rows and tables
// with our reader and with giflib.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/codec_write/giflib_view.h"
#include "tests/codec_write/support.h"

namespace {

Gif *ReadFile(const std::string &path) {
    FILE *f = fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    if (!f) return nullptr;
    GifStream s = {};
    s.stream_file = f;
    Gif *gif = new_gif();
    read_gif(&s, gif);
    fclose(f);
    return gif;
}

void WriteGifFile(Gif *gif, const std::string &path) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    GifStream s = {};
    s.stream_file = f;
    write_gif(&s, gif);
    fclose(f);
}

std::vector<ViewColour> ColoursOf(const GifPalette *p) {
    std::vector<ViewColour> out;
    for (int32_t i = 0; p && i < p->length; i++)
        out.push_back({p->colours[i].red, p->colours[i].green, p->colours[i].blue});
    return out;
}

int CountClears(const Bytes &file) {
    // The one image of a file without extensions starts after header,
    // screen, global table and its own 10 descriptor bytes.
    size_t at = 13;
    if (file[10] & 0x80) at += 3u << ((file[10] & 7) + 1);
    ImageData d = ParseImageData(file, at + 10);
    return static_cast<int>(std::count(d.codes.begin(), d.codes.end(), 1 << d.root_size));
}

Bytes Slurp(const std::string &path) {
    Bytes out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return out;
    int c;
    while ((c = getc(f)) != EOF) out.push_back(static_cast<unsigned char>(c));
    fclose(f);
    return out;
}

struct Case {
    int root;
    bool interlace;
    bool reset;
    bool random;
};

std::string Name(const testing::TestParamInfo<Case> &info) {
    const Case &c = info.param;
    return "root" + std::to_string(c.root) + (c.interlace ? "_interlaced" : "_sequential") +
           (c.reset ? "_reset" : "_noreset") + (c.random ? "_random" : "_structured");
}

std::vector<Case> AllCases() {
    std::vector<Case> out;
    for (int root = 2; root <= 8; root++)
        for (bool interlace : {false, true})
            for (bool reset : {false, true})
                for (bool random : {false, true}) out.push_back({root, interlace, reset, random});
    return out;
}

class RoundTrip : public testing::TestWithParam<Case> {};

TEST_P(RoundTrip, RowsAndTablesSurviveBothDecoders) {
    const Case c = GetParam();
    const int colours = 1 << c.root;
    // Big enough to fill the string table at least once, or small enough
    // never to fill it.
    const int w = c.reset ? 301 : 23, h = c.reset ? 203 : 9;
    std::mt19937 rng(static_cast<unsigned>(c.root * 31 + c.interlace * 7 + c.random));
    std::vector<unsigned char> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            px[static_cast<size_t>(y) * w + x] = static_cast<unsigned char>(
                c.random ? rng() % colours
                         : ((x * x + 3 * y * y) / 7 + (x * y) / 11) % colours);

    Gif *gif = new_gif();
    memcpy(gif->header, "GIF89a", 6);
    gif->screen->width = w;
    gif->screen->height = h;
    gif->screen->has_cmap = 1;
    gif->screen->color_res = c.root;
    gif->screen->cmap_depth = c.root;
    del_gif_palette(gif->screen->cmap);
    gif->screen->cmap = MakePalette(colours, static_cast<unsigned>(c.root));
    GifPicture *pic = MakePicture(w, h, px);
    pic->interlace = c.interlace;
    AddBlock(gif, 0x2C, pic, nullptr);

    const std::string path = TempPath("roundtrip_" + Name(testing::TestParamInfo<Case>(c, 0)) + ".gif");
    WriteGifFile(gif, path);
    Bytes file = Slurp(path);
    ASSERT_GT(file.size(), 13u);
    EXPECT_EQ(CountClears(file) > 1, c.reset) << "table resets: " << CountClears(file) - 1;

    Gif *back = ReadFile(path);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->block_count, 1);
    ASSERT_NE(back->blocks[0]->pic, nullptr);
    EXPECT_EQ(back->blocks[0]->pic->interlace != 0, c.interlace);
    EXPECT_EQ(PixelsOf(back->blocks[0]->pic), px);
    EXPECT_EQ(ColoursOf(back->screen->cmap), ColoursOf(gif->screen->cmap));

    GiflibFile view = GiflibDecode(path);
    ASSERT_TRUE(view.ok) << view.error;
    EXPECT_FALSE(view.gave_up);
    EXPECT_EQ(view.global, ColoursOf(gif->screen->cmap));
    ASSERT_EQ(view.Images().size(), 1u);
    const GiflibBlock &img = *view.Images()[0];
    EXPECT_EQ(img.width, w);
    EXPECT_EQ(img.height, h);
    EXPECT_EQ(img.interlace, c.interlace);
    EXPECT_EQ(img.pixels, px);

    del_gif(back);
    del_gif(gif);
    remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Codec, RoundTrip, testing::ValuesIn(AllCases()), Name);

// A file that the writer had to fix: pixels above the depth, tables whose
// length is not a power of two, an empty and a long extension sub-block,
// an image without rows.
TEST(RoundTripRepairs, FixedUpTreesStayReadable) {
    Gif *gif = new_gif();
    memcpy(gif->header, "GIF89a", 6);
    gif->screen->width = 40;
    gif->screen->height = 30;
    gif->screen->has_cmap = 1;
    gif->screen->cmap_depth = 2;
    del_gif_palette(gif->screen->cmap);
    gif->screen->cmap = MakePalette(5, 1);

    std::string comment(600, 'x');
    for (size_t i = 0; i < comment.size(); i++) comment[i] = static_cast<char>('a' + i % 26);
    AddBlock(gif, 0x21, nullptr, MakeExtension(0xFE, {MakeData(""), MakeData(comment), nullptr}));

    std::vector<unsigned char> px(40 * 30);
    for (size_t i = 0; i < px.size(); i++) px[i] = static_cast<unsigned char>(i * 7 % 251);
    GifPicture *pic = MakePicture(40, 30, px);
    pic->interlace = 1;
    AddBlock(gif, 0x2C, pic, nullptr);

    GifPicture *local = MakePicture(7, 3, std::vector<unsigned char>(21, 2));
    local->left = 5;
    local->has_cmap = 1;
    local->cmap_depth = 1;
    del_gif_palette(local->cmap);
    local->cmap = MakePalette(3, 9);
    AddBlock(gif, 0x2C, local, nullptr);

    GifPicture *rowless = new_gif_picture();
    rowless->width = 6;
    rowless->height = 4;
    AddBlock(gif, 0x2C, rowless, nullptr);

    const std::string path = TempPath("repairs.gif");
    WriteGifFile(gif, path);

    Gif *back = ReadFile(path);
    ASSERT_EQ(back->block_count, 4);
    ASSERT_NE(back->blocks[0]->ext, nullptr);
    std::string joined;
    for (int i = 0; i < back->blocks[0]->ext->data_count; i++) {
        GifData *d = back->blocks[0]->ext->data[i];
        joined.append(reinterpret_cast<char *>(d->bytes), d->length);
    }
    EXPECT_EQ(joined, comment);
    EXPECT_EQ(PixelsOf(back->blocks[1]->pic), px);
    EXPECT_EQ(PixelsOf(back->blocks[2]->pic), std::vector<unsigned char>(21, 2));
    EXPECT_EQ(PixelsOf(back->blocks[3]->pic), std::vector<unsigned char>(24, 0));
    std::vector<ViewColour> screen_table = ColoursOf(gif->screen->cmap);
    screen_table.resize(8, {0, 0, 0});
    EXPECT_EQ(ColoursOf(back->screen->cmap), screen_table);
    std::vector<ViewColour> local_table = ColoursOf(local->cmap);
    local_table.resize(4, {0, 0, 0});
    EXPECT_EQ(ColoursOf(back->blocks[2]->pic->cmap), local_table);

    GiflibFile view = GiflibDecode(path);
    ASSERT_TRUE(view.ok) << view.error;
    EXPECT_FALSE(view.gave_up);
    ASSERT_EQ(view.blocks.size(), 4u);
    EXPECT_EQ(view.global, screen_table);
    ASSERT_EQ(view.blocks[0].kind, 'X');
    std::string giflib_joined;
    for (const std::string &d : view.blocks[0].data) giflib_joined += d;
    EXPECT_EQ(giflib_joined, comment);
    std::vector<const GiflibBlock *> images = view.Images();
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0]->pixels, px);
    EXPECT_EQ(images[1]->local, local_table);
    EXPECT_EQ(images[1]->left, 5);
    EXPECT_EQ(images[1]->pixels, std::vector<unsigned char>(21, 2));
    EXPECT_EQ(images[2]->pixels, std::vector<unsigned char>(24, 0));

    del_gif(back);
    del_gif(gif);
    remove(path.c_str());
}

// Rows in the order the image data holds them.
std::vector<int> DataOrder(int height, bool interlace) {
    std::vector<int> out;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlace ? 4 : 1); pass++)
        for (int r = interlace ? start[pass] : 0; r < height; r += interlace ? step[pass] : 1)
            out.push_back(r);
    return out;
}

// Every real-encoder file, read and written back, decodes with giflib to
// the pixels, tables and extensions of the original. Of a file that giflib
// gives up on, what it did read must come back.
TEST(RoundTripCorpus, WrittenBackDecodesLikeTheOriginal) {
    std::vector<std::string> files = CorpusFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string &original : files) {
        SCOPED_TRACE(original);
        GiflibFile want = GiflibDecode(original);
        ASSERT_TRUE(want.ok) << want.error;

        Gif *gif = ReadFile(original);
        ASSERT_NE(gif, nullptr);
        const std::string copy = TempPath("corpus_copy.gif");
        WriteGifFile(gif, copy);
        del_gif(gif);
        GiflibFile got = GiflibDecode(copy);
        remove(copy.c_str());
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_FALSE(got.gave_up);

        EXPECT_EQ(got.header, want.header);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_EQ(got.color_res, want.color_res);
        EXPECT_EQ(got.background, want.background);
        EXPECT_EQ(got.aspect, want.aspect);
        EXPECT_EQ(got.global, want.global);
        if (want.gave_up)
            ASSERT_GE(got.blocks.size(), want.blocks.size());
        else
            ASSERT_EQ(got.blocks.size(), want.blocks.size());
        for (size_t i = 0; i < want.blocks.size(); i++) {
            SCOPED_TRACE(testing::Message() << "block " << i);
            const GiflibBlock &g = got.blocks[i], &w = want.blocks[i];
            const bool cut = want.gave_up && i + 1 == want.blocks.size();
            ASSERT_EQ(g.kind, w.kind);
            if (w.kind == 'X') {
                EXPECT_EQ(g.label, w.label);
                if (cut) {
                    ASSERT_GE(g.data.size(), w.data.size());
                    EXPECT_TRUE(std::equal(w.data.begin(), w.data.end(), g.data.begin()));
                } else {
                    EXPECT_EQ(g.data, w.data);
                }
                continue;
            }
            EXPECT_EQ(g.left, w.left);
            EXPECT_EQ(g.top, w.top);
            EXPECT_EQ(g.width, w.width);
            EXPECT_EQ(g.height, w.height);
            EXPECT_EQ(g.interlace, w.interlace);
            EXPECT_EQ(g.local, w.local);
            EXPECT_EQ(g.complete, g.height);
            if (!cut) {
                EXPECT_TRUE(g.pixels == w.pixels) << "pixels differ";
                continue;
            }
            std::vector<int> order = DataOrder(w.height, w.interlace);
            for (int k = 0; k < w.complete; k++) {
                size_t at = static_cast<size_t>(order[k]) * static_cast<size_t>(w.width);
                ASSERT_TRUE(std::equal(w.pixels.begin() + at, w.pixels.begin() + at + w.width,
                                       g.pixels.begin() + at))
                    << "row " << order[k];
            }
        }
    }
}

}  // namespace
