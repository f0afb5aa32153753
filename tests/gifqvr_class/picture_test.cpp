// Pictures and masks as host programs get them: from a string in one call,
// and from a loaded GIFQVR object.
#include "tests/gifqvr_class/host_fixture.h"

namespace {

using namespace fixture;
using gifbytes::Gif;
using gifbytes::maskRgb;
using gifbytes::Palette;
using gifbytes::Pixels;
using gifbytes::rgb;

const Palette kGlobal = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
const Palette kLocal = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
const Pixels kPixels = {0, 1, 2, 3, 2, 1}; // 3 x 2

class PictureTest : public HostTest {
protected:
    // The three picture methods of a loaded object, each checked for balance.
    struct FirstShots {
        Shot picture, mask, withMask;
    };
    FirstShots first(const std::string &bytes)
    {
        FirstShots out;
        Value gif = load(bytes);
        EXPECT_FALSE(gif.isNil());
        if (gif.isNil())
            return out;
        out.picture = pictureCall(gif, "MakeFirstPicture");
        out.mask = pictureCall(gif, "MakeFirstMask");
        out.withMask = pictureCall(gif, "MakeFirstPictureWithMask");
        return out;
    }

    // The same image as a picture by every route, with the expected mask.
    void expectEveryRoute(const std::string &bytes, int width, int height,
                          const std::vector<uint8_t> &pixels, const std::vector<uint8_t> &mask)
    {
        Shot direct = globalPicture(bytes);
        ASSERT_FALSE(direct.nil);
        EXPECT_EQ(width, direct.width);
        EXPECT_EQ(height, direct.height);
        EXPECT_EQ(pixels, direct.rgb);
        ASSERT_TRUE(direct.hasMask);
        EXPECT_EQ(mask, direct.mask);

        FirstShots shots = first(bytes);
        EXPECT_EQ(pixels, shots.picture.rgb);
        EXPECT_FALSE(shots.picture.hasMask);
        ASSERT_FALSE(shots.mask.nil);
        EXPECT_EQ(width, shots.mask.width);
        EXPECT_EQ(height, shots.mask.height);
        EXPECT_EQ(mask, shots.mask.rgb);
        EXPECT_EQ(pixels, shots.withMask.rgb);
        ASSERT_TRUE(shots.withMask.hasMask);
        EXPECT_EQ(mask, shots.withMask.mask);
    }
};

TEST_F(PictureTest, ColoursComeFromTheLocalTableElseTheGlobalOne)
{
    const std::vector<uint8_t> opaque = maskRgb(kPixels, -1);
    // Global only.
    expectEveryRoute(Gif().screen(3, 2, kGlobal).image(3, 2, kPixels).trailer().bytes(), 3, 2,
                     rgb(kPixels, kGlobal), opaque);
    // A local table wins over the global one.
    expectEveryRoute(Gif().screen(3, 2, kGlobal).image(3, 2, kPixels, kLocal).trailer().bytes(), 3,
                     2, rgb(kPixels, kLocal), opaque);
    // Local only.
    expectEveryRoute(Gif().screen(3, 2).image(3, 2, kPixels, kLocal).trailer().bytes(), 3, 2,
                     rgb(kPixels, kLocal), opaque);
}

TEST_F(PictureTest, IndexesBeyondTheChosenTableAreBlack)
{
    // Fill the colour arrays with a full table first, so leftovers would show.
    expectEveryRoute(Gif().screen(3, 2, kGlobal).image(3, 2, kPixels).trailer().bytes(), 3, 2,
                     rgb(kPixels, kGlobal), maskRgb(kPixels, -1));

    const Palette two = {0x123456, 0xFEDCBA};
    std::vector<uint8_t> expected = rgb(kPixels, two);
    // The picture really does contain black pixels for indexes 2 and 3.
    EXPECT_EQ(0, expected[6] | expected[7] | expected[8]);
    expectEveryRoute(Gif().screen(3, 2, two).image(3, 2, kPixels).trailer().bytes(), 3, 2,
                     expected, maskRgb(kPixels, -1));
    // A short local table is not topped up from a longer global one.
    expectEveryRoute(Gif().screen(3, 2, kGlobal).image(3, 2, kPixels, two).trailer().bytes(), 3, 2,
                     expected, maskRgb(kPixels, -1));
}

TEST_F(PictureTest, WithoutAnyTableThereIsNoPictureButAMask)
{
    auto *lastWidth = pluginSymbol<int32_t>("LastWidth");
    auto *lastHeight = pluginSymbol<int32_t>("LastHeight");
    ASSERT_NE(nullptr, lastWidth);
    ASSERT_NE(nullptr, lastHeight);
    ASSERT_FALSE(globalPicture(Gif().screen(3, 2, kGlobal).image(3, 2, kPixels).bytes()).nil);
    EXPECT_EQ(3, *lastWidth);
    EXPECT_EQ(2, *lastHeight);

    const Pixels pixels(20, 1);
    const std::string bytes = Gif().screen(5, 4).transparency(1).image(5, 4, pixels).bytes();
    EXPECT_TRUE(globalPicture(bytes).nil);
    // Nothing was converted, so the size of the last conversion stays.
    EXPECT_EQ(3, *lastWidth);
    EXPECT_EQ(2, *lastHeight);

    FirstShots shots = first(bytes);
    EXPECT_TRUE(shots.picture.nil);
    EXPECT_TRUE(shots.withMask.nil);
    ASSERT_FALSE(shots.mask.nil);
    EXPECT_EQ(maskRgb(pixels, 1), shots.mask.rgb);
}

TEST_F(PictureTest, AnImageOfHeightZeroStillRecordsItsSize)
{
    auto *lastWidth = pluginSymbol<int32_t>("LastWidth");
    auto *lastHeight = pluginSymbol<int32_t>("LastHeight");
    const std::string flat = Gif().screen(3, 2, kGlobal).image(4, 0, {}).trailer().bytes();
    *lastWidth = *lastHeight = 77;
    EXPECT_TRUE(globalPicture(flat).nil);
    EXPECT_EQ(4, *lastWidth);
    EXPECT_EQ(0, *lastHeight);

    *lastWidth = *lastHeight = 77;
    FirstShots shots = first(flat);
    EXPECT_TRUE(shots.picture.nil);
    EXPECT_TRUE(shots.withMask.nil);
    EXPECT_EQ(4, *lastWidth);
    EXPECT_EQ(0, *lastHeight);
}

// The picture comes back whole when the host cannot attach a mask: without
// a mask at all, or with the mask left opaque, every reference given back.
TEST_F(PictureTest, AHostThatCannotDrawTheMaskStillGetsThePicture)
{
    const std::string bytes = Gif().screen(3, 2, kGlobal).transparency(2).image(3, 2, kPixels).bytes();
    const std::vector<uint8_t> colours = rgb(kPixels, kGlobal);
    const struct {
        const char *gap;
        bool PictureGaps::*field;
        bool hasMask;
    } cases[] = {{"no mask", &PictureGaps::noMask, false},
                 {"no graphics", &PictureGaps::noGraphics, true},
                 {"no DrawPicture", &PictureGaps::noDrawPicture, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.gap);
        pictureGaps() = PictureGaps();
        pictureGaps().*c.field = true;
        Shot direct = globalPicture(bytes);
        Value gif = load(bytes);
        Shot withMask = pictureCall(gif, "MakeFirstPictureWithMask");
        for (const Shot &shot : {direct, withMask}) {
            ASSERT_FALSE(shot.nil);
            EXPECT_EQ(colours, shot.rgb);
            EXPECT_EQ(c.hasMask, shot.hasMask);
            if (shot.hasMask) {
                EXPECT_EQ(maskRgb(kPixels, -1), shot.mask);
            }
        }
    }
}

TEST_F(PictureTest, TransparencyComesFromTheExtensionRightBeforeTheImage)
{
    const std::vector<uint8_t> colours = rgb(kPixels, kGlobal);
    auto gif = [] { return Gif().screen(3, 2, kGlobal); };

    expectEveryRoute(gif().transparency(2).image(3, 2, kPixels).trailer().bytes(), 3, 2, colours,
                     maskRgb(kPixels, 2));
    // Another block between the extension and the image cuts the link.
    expectEveryRoute(gif().transparency(2).extension(0xFE, {"note"}).image(3, 2, kPixels).bytes(),
                     3, 2, colours, maskRgb(kPixels, -1));
    // An extension after the image does not count.
    expectEveryRoute(gif().image(3, 2, kPixels).transparency(2).bytes(), 3, 2, colours,
                     maskRgb(kPixels, -1));
    // The first sub-block with bit 0 set decides; its label plays no part.
    expectEveryRoute(gif().extension(0xF9, {std::string("\x04\x00\x00\x02", 4),
                                            std::string("\x01\x00\x00\x03", 4),
                                            std::string("\x01\x00\x00\x01", 4)})
                         .image(3, 2, kPixels)
                         .bytes(),
                     3, 2, colours, maskRgb(kPixels, 3));
    expectEveryRoute(gif().extension(0xFE, {"\x03" "ab\x01" "cd"}).image(3, 2, kPixels).bytes(), 3,
                     2, colours, maskRgb(kPixels, 1));
    // A qualifying sub-block too short to hold an index is passed over.
    expectEveryRoute(gif().extension(0xF9, {std::string("\x01\x02", 2),
                                            std::string("\x05\x00\x00\x01", 4)})
                         .image(3, 2, kPixels)
                         .bytes(),
                     3, 2, colours, maskRgb(kPixels, 1));
    // An index no pixel has gives an all black mask.
    expectEveryRoute(gif().transparency(200).image(3, 2, kPixels).bytes(), 3, 2, colours,
                     maskRgb(kPixels, -1));
}

TEST_F(PictureTest, TheFirstImageIsTheOneConverted)
{
    const Pixels second = {3, 3, 0, 0, 1, 1};
    // The second image is the one with transparency; the first is used.
    const std::string bytes = Gif()
                                  .screen(3, 2, kGlobal)
                                  .extension(0xFE, {"first comes a comment"})
                                  .image(3, 2, kPixels, kLocal)
                                  .transparency(3)
                                  .image(3, 2, second)
                                  .trailer()
                                  .bytes();
    expectEveryRoute(bytes, 3, 2, rgb(kPixels, kLocal), maskRgb(kPixels, -1));
}

TEST_F(PictureTest, AnImageOfADifferentSizeThanTheScreen)
{
    Pixels pixels;
    for (int i = 0; i < 7 * 5; i++)
        pixels.push_back(static_cast<uint8_t>((i * 7) % 4));
    auto *lastWidth = pluginSymbol<int32_t>("LastWidth");
    auto *lastHeight = pluginSymbol<int32_t>("LastHeight");
    expectEveryRoute(Gif().screen(2, 2, kGlobal).transparency(0).image(7, 5, pixels, {}, 1, 1).bytes(),
                     7, 5, rgb(pixels, kGlobal), maskRgb(pixels, 0));
    EXPECT_EQ(7, *lastWidth);
    EXPECT_EQ(5, *lastHeight);
}

// Files written by a real encoder at build time, with the encoder's own
// decoding of them as RGBA.
class RealEncoderTest : public PictureTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(RealEncoderTest, PixelsAndMaskMatchTheEncodersReading)
{
    const std::string base = std::string(GIFQVR_TOOLS_DIR) + "/tests/gifqvr_class/" + GetParam();
    const std::string bytes = gifbytes::readFile(base + ".gif");
    const std::string rgba = gifbytes::readFile(base + ".rgba");

    Shot direct = globalPicture(bytes);
    ASSERT_FALSE(direct.nil);
    const size_t count = static_cast<size_t>(direct.width) * static_cast<size_t>(direct.height);
    ASSERT_EQ(count * 4, rgba.size());
    ASSERT_TRUE(direct.hasMask);
    size_t transparent = 0;
    for (size_t i = 0; i < count; i++) {
        bool clear = rgba[i * 4 + 3] == 0;
        transparent += clear;
        for (int c = 0; c < 3; c++) {
            EXPECT_EQ(clear ? 0xFF : 0x00, direct.mask[i * 3 + c]) << "pixel " << i;
            // The colour of a transparent pixel is the encoder's business.
            if (!clear) {
                EXPECT_EQ(static_cast<uint8_t>(rgba[i * 4 + c]), direct.rgb[i * 3 + c]) << "pixel " << i;
            }
        }
    }
    EXPECT_GT(transparent, 0u);
    EXPECT_LT(transparent, count);

    Value item = host.folderItem(base + ".gif");
    Snapshot before = host.snapshot();
    Value gif = host.callFolderItem(item, "OpenAsGIFQVR");
    ASSERT_FALSE(gif.isNil());
    Shot viaFile = pictureCall(gif, "MakeFirstPictureWithMask");
    EXPECT_EQ(direct.rgb, viaFile.rgb);
    EXPECT_EQ(direct.mask, viaFile.mask);
    gif.release();
    expectBalanced(before);
}

INSTANTIATE_TEST_SUITE_P(Files, RealEncoderTest, ::testing::Values("small", "interlaced"));

} // namespace
