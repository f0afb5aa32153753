// The picture writer and the mask and drawing primitives, against the
// stand-in host's services, some of them made to fail.
#include "tests/gifqvr_class/picture_unit.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace picture_unit;

namespace {

TEST_F(PictureUnitTest, TheWriterRefusesSizesItCannotHold)
{
    const int32_t sizes[][2] = {{0, 5}, {5, 0}, {5, -1}, {-3, 2}, {INT32_MIN, 1},
                                // buffers beyond 32 bits, including (height + 1) rows
                                {65535, 65535}, {65535, 10923}, {1, 715827882}, {INT32_MAX, 1},
                                {INT32_MAX, INT32_MAX}, {1 << 30, 1 << 30}, {1, INT32_MAX}};
    for (const auto &size : sizes) {
        PictureWriter writer;
        memset(&writer, 0xA5, sizeof writer);
        EXPECT_EQ(0, NewPictureWriter(&writer, size[0], size[1])) << size[0] << " x " << size[1];
        EXPECT_EQ(nullptr, writer.buffer);
        EXPECT_EQ(nullptr, writer.cursor);
        EXPECT_EQ(0, writer.rowBytes);
        EXPECT_EQ(0, writer.bytesPerPixel);
        // Freeing or rendering an empty writer is harmless and makes nothing.
        FreePictureWriter(&writer);
        EXPECT_EQ(nullptr, RenderPictureWriter(&writer));
    }
}

TEST_F(PictureUnitTest, RowsAreUnpaddedWithOneSpareRowAllZero)
{
    PictureWriter writer;
    ASSERT_EQ(1, NewPictureWriter(&writer, 5, 2));
    EXPECT_EQ(15, writer.rowBytes);
    EXPECT_EQ(5, writer.width);
    EXPECT_EQ(2, writer.height);
    EXPECT_EQ(3, writer.bytesPerPixel);
    ASSERT_NE(nullptr, writer.buffer);
    EXPECT_EQ(writer.buffer, writer.cursor);
    // The sanitizer checks that all 45 bytes are there.
    for (int i = 0; i < 45; i++)
        EXPECT_EQ(0, writer.buffer[i]) << i;
    FreePictureWriter(&writer);
    EXPECT_EQ(nullptr, writer.buffer);
    EXPECT_EQ(nullptr, writer.cursor);
    FreePictureWriter(&writer);
    // The record may be used again.
    ASSERT_EQ(1, NewPictureWriter(&writer, 1, 1));
    FreePictureWriter(&writer);
}

TEST_F(PictureUnitTest, RenderingHandsTheRowsToTheHostInOneCall)
{
    PictureWriter writer;
    ASSERT_EQ(1, NewPictureWriter(&writer, 1, 1));
    writer.cursor[0] = 1;
    writer.cursor[1] = 2;
    writer.cursor[2] = 3;
    Value one = adopt(RenderPictureWriter(&writer));
    EXPECT_EQ(nullptr, writer.buffer);
    EXPECT_EQ(nullptr, writer.cursor);
    ASSERT_FALSE(one.isNil());
    EXPECT_EQ((std::vector<int64_t>{1, 1, 1, 3}), lastBuild());
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), host.pixels(one));

    ASSERT_EQ(1, NewPictureWriter(&writer, 5, 2));
    std::vector<uint8_t> expected;
    for (int r = 0; r < 2; r++) {
        for (int i = 0; i < 15; i++) {
            writer.cursor[i] = static_cast<uint8_t>(r * 100 + i);
            expected.push_back(static_cast<uint8_t>(r * 100 + i));
        }
        writer.cursor += writer.rowBytes;
    }
    Value two = adopt(RenderPictureWriter(&writer));
    EXPECT_EQ((std::vector<int64_t>{5, 2, 1, 15}), lastBuild());
    EXPECT_EQ(expected, host.pixels(two));
    EXPECT_EQ(1, host.references(two.handle()));
}

TEST_F(PictureUnitTest, RenderingFreesTheBufferEvenWhenTheHostMakesNoPicture)
{
    gNoPicture = true;
    PictureWriter writer;
    ASSERT_EQ(1, NewPictureWriter(&writer, 4, 4));
    // A leak of the buffer would be reported by the sanitizer at exit.
    EXPECT_EQ(nullptr, RenderPictureWriter(&writer));
    EXPECT_EQ(nullptr, writer.buffer);
}

TEST_F(PictureUnitTest, AddPictureMaskDrawsTheSourceIntoTheMask)
{
    Value picture = host.picture(3, 2, 0x808080);
    Value source = host.picture(2, 1, 0xFFFFFF);
    EXPECT_EQ(0, AddPictureMask(nullptr, source.picture(), 2, 1));

    const int askedBefore = host.calls("REALGetPictureMask");
    EXPECT_EQ(1, AddPictureMask(picture.picture(), nullptr, 2, 1));
    EXPECT_EQ(askedBefore, host.calls("REALGetPictureMask"));
    EXPECT_FALSE(host.hasMask(picture));

    EXPECT_EQ(1, AddPictureMask(picture.picture(), source.picture(), 2, 1));
    EXPECT_EQ(1, host.references(source.handle()));
    ASSERT_TRUE(host.hasMask(picture));
    std::vector<uint8_t> mask = solid(6, 0x000000);
    std::fill(mask.begin(), mask.begin() + 6, 0xFF);
    EXPECT_EQ(mask, host.maskPixels(picture));
    // The picture itself is unchanged.
    EXPECT_EQ(solid(6, 0x808080), host.pixels(picture));
    EXPECT_TRUE(host.takeErrors().empty());
}

TEST_F(PictureUnitTest, AddPictureMaskGivesBackTheGraphicsThenTheMask)
{
    Value picture = host.picture(2, 2);
    Value source = host.picture(2, 2, 0xFFFFFF);
    gUnlocked.clear();
    EXPECT_EQ(1, AddPictureMask(picture.picture(), source.picture(), 2, 2));
    ASSERT_NE(nullptr, gLastMask);
    ASSERT_NE(nullptr, gLastGraphics);
    EXPECT_EQ((std::vector<void *>{gLastGraphics, gLastMask}), gUnlocked);
}

TEST_F(PictureUnitTest, AddPictureMaskGivesBackWhatItGotWhenTheHostFails)
{
    Value picture = host.picture(2, 2);
    Value source = host.picture(2, 2, 0xFFFFFF);

    gNoMask = true;
    const int unlocks = host.calls("REALUnlockObject");
    Snapshot before = host.snapshot();
    EXPECT_EQ(0, AddPictureMask(picture.picture(), source.picture(), 2, 2));
    EXPECT_EQ(unlocks, host.calls("REALUnlockObject"));
    EXPECT_EQ("", host.audit(before));

    gNoMask = false;
    gNoGraphics = true;
    EXPECT_EQ(0, AddPictureMask(picture.picture(), source.picture(), 2, 2));
    EXPECT_EQ(unlocks + 1, host.calls("REALUnlockObject"));
    // The mask was made (the host keeps it with the picture) but left black.
    ASSERT_TRUE(host.hasMask(picture));
    EXPECT_EQ(solid(4, 0x000000), host.maskPixels(picture));

    gNoGraphics = false;
    gNoMethod = true;
    EXPECT_EQ(1, AddPictureMask(picture.picture(), source.picture(), 2, 2));
    EXPECT_EQ(solid(4, 0x000000), host.maskPixels(picture));
}

TEST_F(PictureUnitTest, GraphicsDrawPictureCallsTheHostsMethod)
{
    Value target = host.picture(4, 2, 0x000000);
    Value source = host.picture(2, 2, 0x00FF00);
    host.setPixel(source, 1, 1, 0x0000FF);
    Value graphics = host.graphics(target);

    const int lookups = gMethodAsks;
    GraphicsDrawPicture(nullptr, source.picture(), 0, 0, 2, 2, 0, 0, 2, 2);
    GraphicsDrawPicture(graphics.graphics(), nullptr, 0, 0, 2, 2, 0, 0, 2, 2);
    EXPECT_EQ(lookups, gMethodAsks);

    gNoMethod = true;
    GraphicsDrawPicture(graphics.graphics(), source.picture(), 0, 0, 2, 2, 0, 0, 2, 2);
    EXPECT_EQ(solid(8, 0x000000), host.pixels(target));

    gNoMethod = false;
    // Source (1, 1, 1, 1) to destination (2, 0, 1, 1).
    GraphicsDrawPicture(graphics.graphics(), source.picture(), 2, 0, 1, 1, 1, 1, 1, 1);
    // Looked up afresh on every call.
    EXPECT_EQ(lookups + 2, gMethodAsks);
    std::vector<uint8_t> expected = solid(8, 0x000000);
    expected[2 * 3 + 2] = 0xFF;
    EXPECT_EQ(expected, host.pixels(target));
    EXPECT_TRUE(host.takeErrors().empty());
}

} // namespace
