// GifPictureQVR through the host: descriptor, pixels and table of a view;
// a block set on a view; pictures and masks of any image of a loaded file;
// what a free-standing object refuses.
#include "tests/object_classes/support.h"
#include "tests/support/expected_pixels.h"

namespace objtest {
namespace {

using expected_pixels::maskRgb;
using expected_pixels::rgb;

Pixels Ramp(int count, int modulo)
{
    Pixels p;
    for (int i = 0; i < count; i++)
        p.push_back(static_cast<uint8_t>((i * 7 + i / 3) % modulo));
    return p;
}

const Table kGlobal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};
const Table kLocal = {0x101010, 0x202020, 0x303030, 0x404040};

class PictureClass : public HostTest {
protected:
    // A loaded file's image i, as a view.
    Value ImageView(const Value &gif, int block)
    {
        return Get(Block(gif, block), "Picture", 2);
    }
    void ExpectPicture(Value picture, int width, int height, const std::vector<uint8_t> &rgb)
    {
        ASSERT_FALSE(picture.isNil());
        EXPECT_EQ(1, host.references(picture.handle()));
        EXPECT_EQ(width, host.width(picture));
        EXPECT_EQ(height, host.height(picture));
        EXPECT_EQ(rgb, host.pixels(picture));
        EXPECT_FALSE(host.hasMask(picture));
    }
};

TEST_F(PictureClass, ViewOfATenByThreeImage)
{
    Image image;
    image.left = 3;
    image.top = 4;
    image.width = 10;
    image.height = 3;
    image.local = kLocal;
    image.pixels = Ramp(30, 4);
    Value gif = Load(GifFile(20, 20, kGlobal).image(image).bytes());
    Value pic = ImageView(gif, 0);

    EXPECT_EQ(3, Int(pic, "Left"));
    EXPECT_EQ(4, Int(pic, "Top"));
    EXPECT_EQ(10, Int(pic, "Width"));
    EXPECT_EQ(3, Int(pic, "Height"));
    EXPECT_EQ(2, Int(pic, "PaletteDepth"));
    EXPECT_FALSE(Bool(pic, "Interlace"));
    EXPECT_FALSE(Bool(pic, "Sorted"));

    Value data = Get(pic, "Data", 1);
    EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.end()), host.bytes(data));
    for (int row = 0; row < 3; row++) {
        Value line = Call(pic, "PixelData", {Value::integer(row)}, 1);
        EXPECT_EQ(std::string(image.pixels.begin() + row * 10, image.pixels.begin() + row * 10 + 10),
                  host.bytes(line))
            << row;
    }
    EXPECT_TRUE(Call(pic, "PixelData", {Value::integer(3)}).isNil());
    EXPECT_TRUE(Call(pic, "PixelData", {Value::integer(-1)}).isNil());

    // Every Data read is a new block of the same bytes.
    Value again = Get(pic, "Data", 1);
    EXPECT_NE(data.handle(), again.handle());

    // Setters write own fields; a view keeps showing its record.
    Set(pic, "Width", Value::integer(5));
    Set(pic, "Left", Value::integer(99));
    Set(pic, "Interlace", Value::boolean(true));
    Set(pic, "PaletteDepth", Value::integer(8));
    EXPECT_EQ(10, Int(pic, "Width"));
    EXPECT_EQ(3, Int(pic, "Left"));
    EXPECT_FALSE(Bool(pic, "Interlace"));
    EXPECT_EQ(2, Int(pic, "PaletteDepth"));

    // Its palette is a view of the local table.
    Value palette = Get(pic, "Palette", 2);
    EXPECT_EQ(4, Int(palette, "Count"));
    EXPECT_EQ(kLocal[2], Call(palette, "Value", {Value::integer(2)}).asColor());

    ExpectPicture(Call(pic, "MakePicture", {}, 1), 10, 3, rgb(image.pixels, kLocal));
}

TEST_F(PictureClass, InterlacedImageReadsInDisplayOrder)
{
    Image image;
    image.width = 3;
    image.height = 11;
    image.interlace = true;
    image.pixels = Ramp(33, 8);
    Value gif = Load(GifFile(3, 11, kGlobal).image(image).bytes());
    Value pic = ImageView(gif, 0);
    EXPECT_TRUE(Bool(pic, "Interlace"));
    EXPECT_EQ(1, Get(pic, "Interlace").raw() & 0xFF);
    EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.end()), host.bytes(Get(pic, "Data", 1)));
    EXPECT_EQ(std::string(image.pixels.begin() + 30, image.pixels.end()),
              host.bytes(Call(pic, "PixelData", {Value::integer(10)}, 1)));
}

TEST_F(PictureClass, DataSetOnAViewWinsWhilePixelDataAndMakePictureKeepTheRecord)
{
    Image image;
    image.width = 4;
    image.height = 2;
    image.pixels = {0, 1, 2, 3, 4, 5, 6, 7};
    Value gif = Load(GifFile(4, 2, kGlobal).image(image).bytes());
    Value pic = ImageView(gif, 0);

    Value own = Memory(std::string(8, '\x07'));
    Set(pic, "Data", own, 1);
    Value got = Get(pic, "Data", 1);
    EXPECT_EQ(own.handle(), got.handle());
    EXPECT_EQ("\x04\x05\x06\x07", host.bytes(Call(pic, "PixelData", {Value::integer(1)}, 1)));
    ExpectPicture(Call(pic, "MakePicture", {}, 1), 4, 2, rgb(image.pixels, kGlobal));

    // Replacing and clearing give the old block back.
    Value other = Memory("xy");
    Set(pic, "Data", other, 0);
    EXPECT_EQ(2, host.references(own.handle()));  // the script's two values
    Set(pic, "Data", Value::nil(), -1);
    EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.end()), host.bytes(Get(pic, "Data", 1)));
}

TEST_F(PictureClass, ImageWithoutLocalTableUsesTheGlobalOneOrGivesNil)
{
    Image image;
    image.width = 3;
    image.height = 2;
    image.pixels = {0, 7, 3, 9, 1, 2};  // 9 lies beyond the table: black
    Value gif = Load(GifFile(3, 2, kGlobal).image(image).bytes());
    Value pic = ImageView(gif, 0);
    EXPECT_EQ(0, Int(pic, "PaletteDepth"));
    Value palette = Get(pic, "Palette", 2);
    ASSERT_FALSE(palette.isNil());
    EXPECT_EQ(0, Int(palette, "Count"));
    ExpectPicture(Call(pic, "MakePicture", {}, 1), 3, 2, rgb(image.pixels, kGlobal));

    // No table anywhere: nil, though the image loads.
    Value bare = Load(GifFile(3, 2).image(image).bytes());
    Value barePic = ImageView(bare, 0);
    EXPECT_TRUE(Call(barePic, "MakePicture").isNil());
    EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.end()), host.bytes(Get(barePic, "Data", 1)));
}

TEST_F(PictureClass, MakeMaskTakesTheIndexFromTheExtensionJustBeforeTheImage)
{
    Image image;
    image.width = 4;
    image.height = 3;
    image.pixels = Ramp(12, 8);
    const std::string control("\x01\x00\x00\x07", 4);
    std::string bytes = GifFile(4, 3, kGlobal)
                            .image(image)                      // first block: never transparent
                            .extension(0xF9, {control})
                            .image(image)                      // index 7
                            .extension(0xF9, {std::string("\x04\x00\x00\x02", 4), control})
                            .extension(0xFE, {"no flag here"})
                            .image(image)                      // only the comment counts
                            .extension(0xFE, {std::string("\x05\x00\x00\x03", 4)})
                            .image(image)                      // any label qualifies: 3
                            .bytes();
    Value gif = Load(bytes);
    const struct {
        int block;
        int index;
    } cases[] = {{0, -1}, {2, 7}, {5, -1}, {7, 3}};
    for (const auto &c : cases) {
        Value pic = ImageView(gif, c.block);
        Value mask = Call(pic, "MakeMask", {}, 1);
        ASSERT_FALSE(mask.isNil()) << c.block;
        EXPECT_EQ(4, host.width(mask));
        EXPECT_EQ(3, host.height(mask));
        EXPECT_EQ(maskRgb(image.pixels, c.index), host.pixels(mask)) << "block " << c.block;
    }

    // With an index given: that index, or none at all outside 0 to 255.
    Value pic = ImageView(gif, 0);
    for (int index : {0, 5, 300, -1, 256 + 5}) {
        Value mask = Call(pic, "MakeMask", {Value::integer(index)}, 1);
        ASSERT_FALSE(mask.isNil());
        EXPECT_EQ(maskRgb(image.pixels, index), host.pixels(mask)) << index;
    }
}

TEST_F(PictureClass, FreeStandingPictureOnlyKeepsWhatWasSet)
{
    Value pic = New("GifPictureQVR");
    const struct {
        const char *name;
        int32_t value;
    } numbers[] = {{"Left", 7}, {"Top", 70000}, {"Width", 2}, {"Height", -3}, {"PaletteDepth", 4}};
    for (const auto &n : numbers)
        Set(pic, n.name, Value::integer(n.value));
    for (const auto &n : numbers)
        EXPECT_EQ(n.value, Int(pic, n.name)) << n.name;
    Set(pic, "Interlace", Value::boolean(true));
    Set(pic, "Sorted", Value::booleanByte(2));
    EXPECT_TRUE(Bool(pic, "Interlace"));
    EXPECT_EQ(2, Get(pic, "Sorted").raw() & 0xFF);

    EXPECT_TRUE(Get(pic, "Data").isNil());
    EXPECT_TRUE(Get(pic, "Palette").isNil());
    Value palette = New("GifPaletteQVR");
    Set(pic, "Palette", palette, 1);
    EXPECT_EQ(palette.handle(), Get(pic, "Palette", 1).handle());
    Value block = Memory("\x01\x02");
    Set(pic, "Data", block, 1);
    EXPECT_EQ(block.handle(), Get(pic, "Data", 1).handle());

    EXPECT_TRUE(Call(pic, "PixelData", {Value::integer(0)}).isNil());
    EXPECT_TRUE(Call(pic, "MakePicture").isNil());
    EXPECT_TRUE(Call(pic, "MakeMask").isNil());
    EXPECT_TRUE(Call(pic, "MakeMask", {Value::integer(1)}).isNil());
}

TEST_F(PictureClass, DestructorReleasesPaletteAndData)
{
    Value palette = New("GifPaletteQVR");
    Value block = Memory("abc");
    {
        Value pic = New("GifPictureQVR");
        Set(pic, "Palette", palette, 1);
        Set(pic, "Data", block, 1);
    }
    EXPECT_EQ(1, host.references(palette.handle()));
    EXPECT_EQ(1, host.references(block.handle()));
}

TEST_F(PictureClass, ViewKeepsTheFileAliveAfterTheScriptDropsIt)
{
    Image image;
    image.width = 2;
    image.height = 2;
    image.pixels = {1, 2, 3, 4};
    Value pic;
    {
        Value gif = Load(GifFile(2, 2, kGlobal).image(image).bytes());
        pic = ImageView(gif, 0);
    }
    EXPECT_EQ(1u, host.liveObjects("GIFQVR"));
    ExpectPicture(Call(pic, "MakePicture", {}, 1), 2, 2, rgb(image.pixels, kGlobal));
    pic.release();
    EXPECT_EQ(0u, host.liveObjects("GIFQVR"));
}

}  // namespace
}  // namespace objtest
