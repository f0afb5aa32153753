// Sizes, counts, indexes and lengths at the edges of 32 bits, as a script may
// hand them over. They matter most on the i386 build, where size_t is 32 bits
// wide: a built image of any size saves a file whose descriptor and image
// data agree, and reads back as saving promises.
#include "tests/object_classes/support.h"

#include <climits>

namespace objtest {
namespace {

std::string Bytes(size_t count)
{
    std::string bytes;
    for (size_t i = 0; i < count; i++)
        bytes += static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class Sizes : public HostTest {
protected:
    // One built image of the given size on a screen with a full table,
    // pixels from data when it is not empty; saved to name.
    std::string SaveImage(int32_t width, int32_t height, const std::string &data, const std::string &name)
    {
        Value palette = New("GifPaletteQVR");
        Set(palette, "Count", Value::integer(256));
        Value screen = New("GifScreenQVR");
        Set(screen, "Width", Value::integer(1));
        Set(screen, "Height", Value::integer(1));
        Set(screen, "ColorResolution", Value::integer(8));
        Set(screen, "PaletteDepth", Value::integer(8));
        Set(screen, "Palette", palette, 1);
        Value pic = New("GifPictureQVR");
        Set(pic, "Width", Value::integer(width));
        Set(pic, "Height", Value::integer(height));
        if (!data.empty())
            Set(pic, "Data", Memory(data), 1);
        Value block = New("GifBlockQVR");
        Set(block, "Intro", Value::integer(0x2C));
        Set(block, "Picture", pic, 1);
        Value gif = New("GIFQVR");
        Set(gif, "Screen", screen, 1);
        Call(gif, "Add", {block}, 1);
        std::string path = Path(name);
        EXPECT_TRUE(Save(gif, path));
        return path;
    }
};

// What saving promises: the low 16 bits of each size (0 for a negative one),
// pixel (x, y) from byte y x width + x of the data as far as it reaches, 0
// beyond.
struct Expected {
    int width, height;
    Pixels pixels;
};
Expected Promised(int32_t width, int32_t height, const std::string &data)
{
    Expected e{0, 0, {}};
    if (width < 0 || height < 0)
        return e;
    e.width = width & 0xFFFF;
    e.height = height & 0xFFFF;
    for (int64_t y = 0; y < e.height; y++)
        for (int64_t x = 0; x < e.width; x++) {
            int64_t at = y * width + x;
            e.pixels.push_back(at < static_cast<int64_t>(data.size()) ? static_cast<uint8_t>(data[at]) : 0);
        }
    return e;
}

TEST_F(Sizes, ABuiltImageOfAnySizeSavesWhatItsDescriptorSays)
{
    const struct {
        int32_t width, height;
        size_t dataBytes;
    } cases[] = {
        {1, 0x40000001, 1},              // its row array once wrapped to 4 bytes
        {0, 0x40000001, 0},
        {0x10003, 2, 2 * 0x10003},       // rows keep the object's width as stride
        {0x10001, 0x10001, 0x10001 + 5}, // a 1 x 1 descriptor: 1 pixel coded
        {65535, 1, 65535},
        {1 << 15, 2, 1 << 16},
        {3, 65535, 4},                   // a short block: the rest is index 0
        {1, INT32_MAX, 0},
        {INT32_MAX, 1, 70000},
        {1 << 30, 5, 0},                 // low bits 0: an empty image
        {5, 1 << 30, 7},
        {1 << 30, 1 << 30, 0},
        {-1, 5, 5},
        {5, INT32_MIN, 5},
        {INT32_MIN, INT32_MIN, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const std::string data = Bytes(c.dataBytes);
        const Expected want = Promised(c.width, c.height, data);
        const std::string path = SaveImage(c.width, c.height, data, "size.gif");
        // Image data that codes more pixels than the descriptor holds would
        // make the file far larger than its pixels.
        EXPECT_LT(readFile(path).size(), want.pixels.size() * 2 + 2000);

        Value again = LoadFile(path);
        ASSERT_EQ(1, Int(again, "Count"));
        Value pic = Get(Block(again, 0), "Picture", 2);
        EXPECT_EQ(want.width, Int(pic, "Width"));
        EXPECT_EQ(want.height, Int(pic, "Height"));
        Value pixels = Get(pic, "Data", want.pixels.empty() ? 0 : 1);
        EXPECT_EQ(std::string(want.pixels.begin(), want.pixels.end()),
                  pixels.isNil() ? std::string() : host.bytes(pixels));

        // giflib cannot step over an empty image; any other it reads alike.
        if (want.pixels.empty())
            continue;
        Decoded d = decodeWithGiflib(path);
        ASSERT_TRUE(d.ok) << d.error;
        ASSERT_EQ(1u, d.frames.size());
        EXPECT_EQ(want.width, d.frames[0].width);
        EXPECT_EQ(want.height, d.frames[0].height);
        EXPECT_TRUE(want.pixels == d.frames[0].pixels);
    }
}

TEST_F(Sizes, IndexesAtTheEdgesReadNothingOrWrapAsTheyShould)
{
    Image image;
    image.width = 2;
    image.height = 2;
    image.pixels = {1, 0, 0, 1};
    Value gif = Load(GifFile(2, 2, {0x000000, 0xFFFFFF}).image(image).bytes());
    Value pic = Get(Block(gif, 0), "Picture", 2);
    Value ext = New("GifExtensionQVR");
    Value palette = New("GifPaletteQVR");
    for (int32_t index : {INT32_MIN, -1, 2, 65535, 65536, 1 << 30, INT32_MAX}) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(Call(gif, "Block", {Value::integer(index)}).isNil());
        EXPECT_TRUE(Call(ext, "Data", {Value::integer(index)}).isNil());
        EXPECT_TRUE(Call(pic, "PixelData", {Value::integer(index)}).isNil());
        // Palette entries wrap to the index's low 8 bits.
        Assign(palette, "Value", {Value::integer(index)}, Value::color(0x123456));
        EXPECT_EQ(0x123456u, Call(palette, "Value", {Value::integer(index & 0xFF)}).asColor());
        Assign(palette, "Value", {Value::integer(index & 0xFF)}, Value::color(0));
    }
}

TEST_F(Sizes, DataOfAnyLengthSavesWhole)
{
    for (size_t length : {size_t(1), size_t(255), size_t(256), size_t(65535), size_t(65536), size_t(1) << 20}) {
        SCOPED_TRACE(length);
        const std::string bytes = Bytes(length);
        Value data = New("GifDataQVR");
        Set(data, "DataMemory", Memory(bytes), 1);
        EXPECT_EQ(static_cast<int32_t>(length), Int(data, "Length"));
        Value ext = New("GifExtensionQVR");
        Set(ext, "Marker", Value::integer(0xFE));
        Call(ext, "Add", {data}, 1);
        Value block = New("GifBlockQVR");
        Set(block, "Intro", Value::integer(0x21));
        Set(block, "Extension", ext, 1);
        Value gif = New("GIFQVR");
        Call(gif, "Add", {block}, 1);
        std::string path = Path("data.gif");
        ASSERT_TRUE(Save(gif, path));

        Decoded d = decodeWithGiflib(path);
        ASSERT_TRUE(d.ok) << d.error;
        ASSERT_EQ(1u, d.trailingExtensions.size());
        std::string joined;
        for (const std::string &sub : d.trailingExtensions[0].second) {
            EXPECT_GE(sub.size(), 1u);
            EXPECT_LE(sub.size(), 255u);
            joined += sub;
        }
        EXPECT_TRUE(bytes == joined);
    }
}

}  // namespace
}  // namespace objtest
