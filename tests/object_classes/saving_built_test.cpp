// "SaveAsGIFQVR" through the host: files built from a script's own
// objects, each read again by giflib.
#include "tests/object_classes/saving.h"

namespace objtest {
namespace {

TEST_F(Saving, AnimationBuiltFromFreeStandingObjectsDecodesAsSet)
{
    const Table global = Colours(8, 1);
    const std::vector<Frame> frames = {
        {0, 0, 40, 30, false, true, Colours(4, 2), Pattern(1200, 4, 3), 1},
        {5, 7, 17, 13, true, false, {}, Pattern(17 * 13, 8, 5), 6},
        {39, 29, 1, 1, false, false, Colours(16, 3), {15}, 0},
        {2, 3, 30, 20, true, false, Colours(256, 4), Pattern(600, 256, 11), 200},
    };
    const std::string comment = "made by a host program";
    const std::vector<std::string> looping = {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)};

    Value gif = New("GIFQVR");
    Value screen = Screen(40, 30, global, 3);
    Set(screen, "BackgroundColor", Value::integer(2));
    Set(screen, "Sorted", Value::boolean(true));
    Set(gif, "Screen", screen, 1);
    Set(gif, "Header", host.string("GIF89a", standin::kEncodingASCII), 1);
    Add(gif, ExtensionBlock(0xFE, {comment}));
    Add(gif, ExtensionBlock(0xFF, looping));
    for (const Frame &f : frames) {
        std::string control = {0x05, 0x0A, 0x00, static_cast<char>(f.transparent)};
        Add(gif, ExtensionBlock(0xF9, {control}));
        Add(gif, ImageBlock(f));
    }
    EXPECT_EQ(10, Int(gif, "Count"));

    Decoded d = SaveAndDecode(gif, "built.gif");
    ASSERT_TRUE(d.ok);
    EXPECT_EQ("GIF89a", d.header);
    EXPECT_EQ(40, d.width);
    EXPECT_EQ(30, d.height);
    EXPECT_EQ(8, d.colorResolution);
    EXPECT_EQ(2, d.background);
    EXPECT_TRUE(d.sorted);
    EXPECT_EQ(global, d.global);
    ASSERT_EQ(frames.size(), d.frames.size());
    for (size_t i = 0; i < frames.size(); i++) {
        const Frame &want = frames[i];
        const Decoded::Frame &got = d.frames[i];
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(want.left, got.left);
        EXPECT_EQ(want.top, got.top);
        EXPECT_EQ(want.width, got.width);
        EXPECT_EQ(want.height, got.height);
        EXPECT_EQ(want.interlace, got.interlace);
        EXPECT_EQ(want.local, got.local);
        EXPECT_EQ(want.pixels, got.pixels);
        Extensions before;
        if (i == 0) {
            before.push_back({0xFE, {comment}});
            before.push_back({0xFF, looping});
        }
        before.push_back({0xF9, {std::string{0x05, 0x0A, 0x00, static_cast<char>(want.transparent)}}});
        EXPECT_EQ(before, got.extensions);
    }
    EXPECT_TRUE(d.trailingExtensions.empty());

    // giflib does not report a local table's sort flag; the plug-in does.
    Value again = LoadFile(Path("built.gif"));
    for (size_t i = 0; i < frames.size(); i++) {
        Value pic = Get(Block(again, 3 + 2 * static_cast<int>(i)), "Picture", 2);
        EXPECT_EQ(frames[i].sorted, Bool(pic, "Sorted")) << i;
    }
}

TEST_F(Saving, EmptyFreeStandingObjectWritesTheDefaults)
{
    Value gif = New("GIFQVR");
    std::string path = Path("empty.gif");
    EXPECT_TRUE(Save(gif, path));
    // Signature, an all-zero screen without a table, and the trailer.
    EXPECT_EQ(std::string("GIF87a\0\0\0\0\0\0\0;", 14), readFile(path));
    Decoded d = decodeWithGiflib(path);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_TRUE(d.global.empty());
    EXPECT_TRUE(d.frames.empty());
}

TEST_F(Saving, ScreenTableFollowsThePaletteCount)
{
    const Table colours = {0x111111, 0x222222, 0x333333, 0x444444};
    for (int count : {0, 3, 4, 300}) {
        SCOPED_TRACE(count);
        Value gif = New("GIFQVR");
        Value screen = Screen(2, 2, {}, 2);
        Set(screen, "Palette", Palette(colours, count), 1);
        Set(gif, "Screen", screen, 1);
        Decoded d = SaveAndDecode(gif, "screen.gif");
        Table want;
        if (count == 3)
            want = {0x111111, 0x222222, 0x333333, 0};  // padded with black
        else if (count == 4)
            want = colours;
        // 0 and (refused) 300 leave the count 0: no table.
        EXPECT_EQ(want, d.global);
    }
}

TEST_F(Saving, HeaderStringReplacesTheSignatureUpToEightBytes)
{
    const struct {
        std::string header, written;
    } cases[] = {
        {"GIF89a", "GIF89a"},
        {"GIF89aXYZ", "GIF89aXY"},
        {std::string("GI\0F89a", 7), "GI"},
    };
    for (const auto &c : cases) {
        Value gif = New("GIFQVR");
        Value screen = Screen(0x0201, 5, {}, 1);
        Set(gif, "Screen", screen, 1);
        Set(gif, "Header", String(c.header), 1);
        std::string path = Path("header.gif");
        EXPECT_TRUE(Save(gif, path));
        std::string bytes = readFile(path);
        ASSERT_GT(bytes.size(), c.written.size() + 2);
        EXPECT_EQ(c.written, bytes.substr(0, c.written.size()));
        // The screen's width follows at once.
        EXPECT_EQ("\x01\x02", bytes.substr(c.written.size(), 2));
    }
}

TEST_F(Saving, PixelsFromTheDataBlockAsFarAsItReachesAndZeroBeyond)
{
    const Table global = Colours(4, 7);
    const struct {
        int width, height;
        std::string data;
        Pixels want;
    } cases[] = {
        {3, 2, "\x01\x02\x03\x03\x02\x01", {1, 2, 3, 3, 2, 1}},  // exact
        {3, 2, "", {0, 0, 0, 0, 0, 0}},                          // no block
        {3, 2, "\x03\x01\x02\x01", {3, 1, 2, 1, 0, 0}},          // short block
        {2, 2, "\x01\x02\x03\x01\x02\x03", {1, 2, 3, 1}},        // longer: cut
    };
    for (const auto &c : cases) {
        Value gif = New("GIFQVR");
        Set(gif, "Screen", Screen(4, 4, global, 2), 1);
        Frame f{0, 0, c.width, c.height, false, false, {}, Pixels(c.data.begin(), c.data.end()), 0};
        Add(gif, ImageBlock(f));
        Decoded d = SaveAndDecode(gif, "pixels.gif");
        ASSERT_EQ(1u, d.frames.size());
        EXPECT_EQ(c.want, d.frames[0].pixels) << c.data.size() << " bytes";
    }
}

TEST_F(Saving, NegativeSizeMakesAnEmptyImage)
{
    for (int negative : {0, 1}) {
        SCOPED_TRACE(negative ? "negative width" : "negative height");
        Value gif = New("GIFQVR");
        Set(gif, "Screen", Screen(4, 4, Colours(2, 1), 1), 1);
        Frame f{1, 2, negative ? -3 : 3, negative ? 2 : -2, false, false, {}, {1, 1, 1, 1, 1, 1}, 0};
        Add(gif, ImageBlock(f));
        Add(gif, ExtensionBlock(0xFE, {"after"}));
        std::string path = Path("negative.gif");
        ASSERT_TRUE(Save(gif, path));
        // Descriptor: left 1, top 2, width 0, height 0, no table.
        std::string bytes = readFile(path);
        EXPECT_EQ(std::string(",\x01\x00\x02\x00\x00\x00\x00\x00\x00", 10), bytes.substr(13 + 6, 10));

        // giflib cannot step over an empty image's data; the plug-in reads
        // the file back whole, the block after it intact.
        Value again = LoadFile(path);
        ASSERT_EQ(2, Int(again, "Count"));
        Value pic = Get(Block(again, 0), "Picture", 2);
        EXPECT_EQ(0, Int(pic, "Width"));
        EXPECT_EQ(0, Int(pic, "Height"));
        Value ext = Get(Block(again, 1), "Extension", 2);
        EXPECT_EQ(0xFE, Int(ext, "Marker"));
        Value data = Call(ext, "Data", {Value::integer(0)}, 2);
        EXPECT_EQ("after", host.text(Get(data, "DataString", 1)));
    }
}

TEST_F(Saving, DataOfNoBytesOrMoreThan255StillMakesAValidFile)
{
    const std::string long300(300, 'L'), exact255(255, 'E'), over256(256, 'O');
    Value gif = New("GIFQVR");
    Set(gif, "Screen", Screen(1, 1, Colours(2, 1), 1), 1);
    Add(gif, ExtensionBlock(0xFE, {"", long300, exact255, "", over256}));
    Frame f{0, 0, 1, 1, false, false, {}, {1}, 0};
    Add(gif, ImageBlock(f));
    Decoded d = SaveAndDecode(gif, "data.gif");
    ASSERT_EQ(1u, d.frames.size());
    // Nothing cut: the bytes arrive in order, in sub-blocks of at most 255.
    ASSERT_EQ(1u, d.frames[0].extensions.size());
    std::string joined;
    for (const std::string &sub : d.frames[0].extensions[0].second) {
        EXPECT_GE(sub.size(), 1u);
        EXPECT_LE(sub.size(), 255u);
        joined += sub;
    }
    EXPECT_EQ(long300 + exact255 + over256, joined);
    EXPECT_EQ(Pixels{1}, d.frames[0].pixels);
}

TEST_F(Saving, ObjectsThatAreViewsContributeTheirOwnFieldsOnly)
{
    Image image;
    image.width = 2;
    image.height = 1;
    image.local = {0xFF0000, 0x00FF00};
    image.pixels = {1, 0};
    Value loaded = Load(GifFile(9, 9, Colours(4, 5)).image(image).bytes());

    Value gif = New("GIFQVR");
    // A viewed screen: its record (9 x 9, 4 colours) is not copied.
    Value screenView = Get(loaded, "Screen", 2);
    Set(screenView, "Width", Value::integer(3));
    Set(screenView, "Height", Value::integer(1));
    Set(screenView, "ColorResolution", Value::integer(8));
    Set(gif, "Screen", screenView, 1);
    // A viewed block whose own intro and picture stay unset: intro byte 0 only.
    Value blockView = Block(loaded, 0);
    Add(gif, blockView);
    std::string path = Path("views.gif");
    EXPECT_TRUE(Save(gif, path));
    std::string bytes = readFile(path);
    EXPECT_EQ(std::string("GIF87a\x03\x00\x01\x00\x70\x00\x00\x00;", 15), bytes);

    // Once set, the block's own intro and picture are what is written; the
    // picture is itself a view, so only its own fields count.
    Set(blockView, "Intro", Value::integer(0x2C));
    Value picView = Get(blockView, "Picture", 2);
    Set(picView, "Width", Value::integer(3));
    Set(picView, "Height", Value::integer(1));
    Set(picView, "Data", Memory("\x01\x01\x00"), 1);
    Set(blockView, "Picture", picView, 1);
    Value palette = Get(screenView, "Palette", 2);  // a view of the 4 colours
    Set(palette, "Count", Value::integer(2));
    Assign(palette, "Value", {Value::integer(1)}, Value::color(0xABCDEF));
    Set(screenView, "Palette", palette, 1);
    Set(screenView, "PaletteDepth", Value::integer(1));
    Decoded d = SaveAndDecode(gif, "views2.gif");
    ASSERT_EQ(1u, d.frames.size());
    EXPECT_EQ((Table{0x000000, 0xABCDEF}), d.global);
    EXPECT_EQ(3, d.frames[0].width);
    EXPECT_TRUE(d.frames[0].local.empty());
    EXPECT_EQ((Pixels{1, 1, 0}), d.frames[0].pixels);
}

TEST_F(Saving, PictureTableCountOutsideOneTo256GivesNoLocalTable)
{
    Value gif = New("GIFQVR");
    Set(gif, "Screen", Screen(2, 1, Colours(2, 9), 1), 1);
    Frame f{0, 0, 2, 1, false, false, {}, {1, 0}, 0};
    Value pic = Picture(f);
    Set(pic, "PaletteDepth", Value::integer(1));
    Set(pic, "Palette", Palette(Colours(2, 3), 0), 1);
    Value block = New("GifBlockQVR");
    Set(block, "Intro", Value::integer(0x2C));
    Set(block, "Picture", pic, 1);
    Add(gif, block);
    Decoded d = SaveAndDecode(gif, "nolocal.gif");
    ASSERT_EQ(1u, d.frames.size());
    EXPECT_TRUE(d.frames[0].local.empty());
    EXPECT_EQ((Pixels{1, 0}), d.frames[0].pixels);
}

}  // namespace
}  // namespace objtest
