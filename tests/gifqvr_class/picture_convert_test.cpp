// Palettes, colouring, masks and the background colour: the GIF-to-picture
// operations called directly on codec records built by hand.
#include "tests/gifqvr_class/picture_unit.h"

#include <cstdlib>
#include <cstring>

using namespace picture_unit;

namespace {

TEST_F(PictureUnitTest, GetPaletteFillsAtMost256Entries)
{
    std::vector<int32_t> red(256, -7), green(256, -7), blue(256, -7);
    EXPECT_EQ(0, GetPalette(nullptr, red.data(), green.data(), blue.data()));
    GifPalette *empty = new_gif_palette();
    EXPECT_EQ(0, GetPalette(empty, red.data(), green.data(), blue.data()));
    del_gif_palette(empty);
    EXPECT_EQ(std::vector<int32_t>(256, -7), red);

    GifPalette *two = table({0xFF8001, 0x0A0B0C});
    EXPECT_EQ(1, GetPalette(two, red.data(), green.data(), blue.data()));
    del_gif_palette(two);
    EXPECT_EQ(0xFF, red[0]);
    EXPECT_EQ(0x80, green[0]);
    EXPECT_EQ(0x01, blue[0]);
    EXPECT_EQ(0x0C, blue[1]);
    EXPECT_EQ(-7, red[2]);

    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 300; i++)
        many.push_back((i & 0xFF) << 16 | (255 - (i & 0xFF)) << 8 | 0x42);
    GifPalette *big = table(many);
    // The arrays are exactly 256 long; the sanitizer sees any write past them.
    EXPECT_EQ(1, GetPalette(big, red.data(), green.data(), blue.data()));
    del_gif_palette(big);
    for (int32_t i = 0; i < 256; i++) {
        EXPECT_EQ(i, red[i]);
        EXPECT_EQ(255 - i, green[i]);
        EXPECT_EQ(0x42, blue[i]);
    }
}

TEST_F(PictureUnitTest, FindPaletteChoosesALocalTableWithEntriesWhateverItsFlag)
{
    std::vector<int32_t> red(256, -1), green(256, -1), blue(256, -1);
    EXPECT_EQ(0, FindPalette(nullptr, nullptr, red.data(), green.data(), blue.data()));

    Record file;
    file.global({0x111111, 0x222222});
    GifPicture *local = image(1, 1, {0}, {0xABCDEF, 0x000001});
    local->has_cmap = 0;
    file.add(local);
    EXPECT_EQ(1, FindPalette(local, file.gif, red.data(), green.data(), blue.data()));
    EXPECT_EQ(0xAB, red[0]);

    GifPicture *plain = image(1, 1, {0});
    plain->has_cmap = 1; // flag without entries: the global table is used
    file.add(plain);
    file.gif->screen->has_cmap = 0;
    EXPECT_EQ(1, FindPalette(plain, file.gif, red.data(), green.data(), blue.data()));
    EXPECT_EQ(0x11, red[0]);
    EXPECT_EQ(0x22, red[1]);

    red.assign(256, -1);
    EXPECT_EQ(0, FindPalette(plain, nullptr, red.data(), green.data(), blue.data()));
    Record bare;
    EXPECT_EQ(0, FindPalette(plain, bare.gif, red.data(), green.data(), blue.data()));
    EXPECT_EQ(std::vector<int32_t>(256, -1), red);
}

TEST_F(PictureUnitTest, APictureIsColouredThroughTheTableAndRecordsItsSize)
{
    Record file;
    GifPicture *pic = image(2, 1, {0, 1}, {0xFF0000, 0x0000FF});
    file.add(pic);
    Value picture = adopt(MakePictureFromGifPicture(file.gif, pic));
    ASSERT_FALSE(picture.isNil());
    EXPECT_EQ((std::vector<int64_t>{2, 1, 1, 6}), lastBuild());
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0, 0, 0, 0, 0xFF}), host.pixels(picture));
    EXPECT_EQ(2, LastWidth);
    EXPECT_EQ(1, LastHeight);

    // No table: nothing built, the recorded size stays.
    Record bare;
    GifPicture *plain = image(4, 3, std::vector<uint8_t>(12, 0));
    bare.add(plain);
    EXPECT_EQ(nullptr, MakePictureFromGifPicture(bare.gif, plain));
    EXPECT_EQ(nullptr, MakePictureFromGifPicture(file.gif, nullptr));
    EXPECT_EQ(2, LastWidth);
    EXPECT_EQ(1, LastHeight);
}

TEST_F(PictureUnitTest, AnImageWithoutRowsConvertsToNothing)
{
    Record file;
    file.global({0xFFFFFF, 0x000000});
    GifPicture *pic = new_gif_picture();
    pic->width = 3;
    pic->height = 2;
    file.add(pic);
    LastWidth = 77;
    EXPECT_EQ(nullptr, MakeMaskFromGifPicture(pic, 0));
    EXPECT_EQ(77, LastWidth);
    EXPECT_EQ(nullptr, MakePictureFromGifPicture(file.gif, pic));
    EXPECT_EQ(nullptr, MakePictureWithMask(file.gif, pic));
    const int32_t rgb[256] = {};
    EXPECT_EQ(nullptr, MakePictureFromGifPictureAndGifPalette(pic, rgb, rgb, rgb));
    // Its size is recorded all the same.
    EXPECT_EQ(3, LastWidth);
    EXPECT_EQ(2, LastHeight);

    // A single missing row stays black; the others are converted.
    GifPicture *holed = image(2, 2, {1, 0, 0, 1});
    free(holed->rows[0]);
    holed->rows[0] = nullptr;
    file.add(holed);
    Value picture = adopt(MakePictureFromGifPicture(file.gif, holed));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0}), host.pixels(picture));
}

// Every pixel of every row takes its three bytes, the row's last one too,
// and a missing row after a coloured one stays black: nothing spills over
// from one row into the next. Colour values keep their low byte.
TEST_F(PictureUnitTest, ColouringWritesExactlyEachPixelsThreeBytes)
{
    int32_t red[256], green[256], blue[256];
    for (int32_t i = 0; i < 256; i++) {
        red[i] = 0x100 + i;
        green[i] = 255 - i;
        blue[i] = (i * 37) & 0xFF;
    }
    for (int32_t width : {1, 2, 5, 33}) {
        const int32_t height = 4;
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height));
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = static_cast<uint8_t>(i * 97 + 11);
        GifPicture *pic = image(width, height, pixels);
        free(pic->rows[2]);
        pic->rows[2] = nullptr;
        std::vector<uint8_t> want;
        for (int32_t r = 0; r < height; r++)
            for (int32_t x = 0; x < width; x++) {
                const uint8_t i = pixels[static_cast<size_t>(r * width + x)];
                want.push_back(r == 2 ? 0 : static_cast<uint8_t>(red[i]));
                want.push_back(r == 2 ? 0 : static_cast<uint8_t>(green[i]));
                want.push_back(r == 2 ? 0 : static_cast<uint8_t>(blue[i]));
            }
        Value picture = adopt(MakePictureFromGifPictureAndGifPalette(pic, red, green, blue));
        EXPECT_EQ(want, host.pixels(picture)) << width;
        del_gif_picture(pic);
    }
}

TEST_F(PictureUnitTest, TheSizeIsRecordedBeforeTheWriterIsAskedForABuffer)
{
    const int32_t rgb[256] = {};
    // Height 0, as the reader leaves it: no rows at all.
    GifPicture *flat = new_gif_picture();
    flat->width = 5;
    LastWidth = LastHeight = 77;
    EXPECT_EQ(nullptr, MakePictureFromGifPictureAndGifPalette(flat, rgb, rgb, rgb));
    EXPECT_EQ(5, LastWidth);
    EXPECT_EQ(0, LastHeight);
    del_gif_picture(flat);

    // Rows present, but a buffer the writer refuses (beyond 32 bits).
    GifPicture *huge = new_gif_picture();
    huge->width = 65535;
    huge->height = 65535;
    huge->rows = static_cast<unsigned char **>(gif_alloc(65535 * static_cast<int32_t>(sizeof(unsigned char *))));
    ASSERT_NE(nullptr, huge->rows);
    EXPECT_EQ(nullptr, MakePictureFromGifPictureAndGifPalette(huge, rgb, rgb, rgb));
    EXPECT_EQ(65535, LastWidth);
    EXPECT_EQ(65535, LastHeight);
    del_gif_picture(huge);
}

// Which extension counts is tested through the host; here what no file shows.
TEST_F(PictureUnitTest, FindBGColorComparesImagesByIdentityAndSkipsHollowSubBlocks)
{
    const std::string gce("\x01\x00\x00\x05", 4);
    GifPicture *loose = image(1, 1, {5});
    EXPECT_EQ(-1, FindBGColor(nullptr, loose));
    Record file;
    file.add(nullptr, extension({gce}));
    EXPECT_EQ(-1, FindBGColor(file.gif, nullptr));
    file.add(image(1, 1, {5}));
    // Same content, different record.
    EXPECT_EQ(-1, FindBGColor(file.gif, loose));
    EXPECT_EQ(5, FindBGColor(file.gif, file.gif->blocks[1]->pic));
    del_gif_picture(loose);

    GifExtension *hollow = extension({gce, std::string("\x01\x00\x00\x06", 4)});
    free(hollow->data[0]->bytes);
    hollow->data[0]->bytes = nullptr;
    GifPicture *next = image(1, 1, {0});
    file.add(nullptr, hollow).add(next);
    EXPECT_EQ(6, FindBGColor(file.gif, next));
}

TEST_F(PictureUnitTest, MasksAreWhiteExactlyAtTheIndex)
{
    GifPicture *pic = image(3, 2, {5, 0, 5, 255, 5, 1});
    LastWidth = 11;
    for (int32_t index : {5, 255, 0, 300, -1, 256 + 5}) {
        Value mask = adopt(MakeMaskFromGifPicture(pic, index));
        ASSERT_FALSE(mask.isNil());
        EXPECT_EQ(3, host.width(mask));
        EXPECT_EQ(2, host.height(mask));
        std::vector<uint8_t> expected;
        for (int i = 0; i < 6; i++)
            expected.insert(expected.end(), 3, pic->rows[i / 3][i % 3] == index ? 0xFF : 0x00);
        EXPECT_EQ(expected, host.pixels(mask)) << index;
    }
    EXPECT_EQ(11, LastWidth);
    EXPECT_EQ(nullptr, MakeMaskFromGifPicture(nullptr, 0));
    del_gif_picture(pic);
}

} // namespace
