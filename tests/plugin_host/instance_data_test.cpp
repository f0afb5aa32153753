// Where each class's members keep their values, as the host sees them.
#include "tests/plugin_host/class_table.h"

namespace {

// Each class keeps its values in its own instance data: a value set through
// the host is found at the class's own offset, in the listed field.
class InstanceData : public Loaded {
protected:
    static void SetUpTestSuite() { LoadFreshCopy(); }
    template <typename Layout>
    static Layout *Fields(const Value &object)
    {
        return static_cast<Layout *>(host().instanceData(object));
    }
};

TEST_F(InstanceData, GifQvrFields)
{
    Value gif = host().newInstance("GIFQVR");
    Value header = host().string("GIF89a", standin::kEncodingASCII);
    Value screen = host().newInstance("GifScreenQVR");
    host().set(gif, "Header", header);
    host().set(gif, "Screen", screen);
    EXPECT_EQ(header.handle(), Fields<GifLayout>(gif)->header);
    EXPECT_EQ(screen.handle(), Fields<GifLayout>(gif)->screen);
    EXPECT_EQ(nullptr, Fields<GifLayout>(gif)->gif);
    EXPECT_EQ("GIF89a", host().text(host().get(gif, "Header")));
}

TEST_F(InstanceData, ScreenFields)
{
    Value screen = host().newInstance("GifScreenQVR");
    host().set(screen, "Width", Value::integer(321));
    host().set(screen, "Height", Value::integer(-7));
    host().set(screen, "ColorResolution", Value::integer(5));
    host().set(screen, "Sorted", Value::boolean(true));
    host().set(screen, "PaletteDepth", Value::integer(3));
    host().set(screen, "BackgroundColor", Value::integer(200));
    host().set(screen, "Aspect", Value::integer(49));
    ScreenLayout *f = Fields<ScreenLayout>(screen);
    EXPECT_EQ(321, f->width);
    EXPECT_EQ(-7, f->height);
    EXPECT_EQ(5, f->colorResolution);
    EXPECT_EQ(1, f->sorted);
    EXPECT_EQ(3, f->paletteDepth);
    EXPECT_EQ(200, f->backgroundColor);
    EXPECT_EQ(49, f->aspect);
    EXPECT_EQ(321, host().get(screen, "Width").asInteger());
}

TEST_F(InstanceData, PaletteFields)
{
    Value palette = host().newInstance("GifPaletteQVR");
    host().set(palette, "Count", Value::integer(77));
    host().assign(palette, "Value(index as integer) as color", {Value::integer(5)}, Value::color(0x102030));
    PaletteLayout *f = Fields<PaletteLayout>(palette);
    EXPECT_EQ(77, f->count);
    EXPECT_EQ(0x10, f->colours[5][1]);
    EXPECT_EQ(0x20, f->colours[5][2]);
    EXPECT_EQ(0x30, f->colours[5][3]);
    EXPECT_EQ(77, host().get(palette, "Count").asInteger());
}

TEST_F(InstanceData, BlockExtensionAndDataFields)
{
    Value block = host().newInstance("GifBlockQVR");
    Value extension = host().newInstance("GifExtensionQVR");
    Value picture = host().newInstance("GifPictureQVR");
    Value data = host().newInstance("GifDataQVR");
    Value bytes = host().string(std::string("\x01\x02\x03", 3), standin::kEncodingRaw);
    host().set(block, "Intro", Value::integer(0x21));
    host().set(block, "Extension", extension);
    host().set(block, "Picture", picture);
    host().set(extension, "Marker", Value::integer(0xF9));
    host().set(data, "DataString", bytes);
    host().call(extension, "Add(data as GifDataQVR)", {data});

    BlockLayout *b = Fields<BlockLayout>(block);
    EXPECT_EQ(0x21, b->intro);
    EXPECT_EQ(extension.handle(), b->extension);
    EXPECT_EQ(picture.handle(), b->picture);
    ExtensionLayout *e = Fields<ExtensionLayout>(extension);
    EXPECT_EQ(0xF9, e->marker);
    EXPECT_NE(nullptr, e->data);
    EXPECT_EQ(bytes.handle(), Fields<DataLayout>(data)->string);
    EXPECT_EQ(1, host().get(extension, "Count").asInteger());
    EXPECT_EQ(3, host().get(data, "Length").asInteger());
}

TEST_F(InstanceData, PictureFields)
{
    Value picture = host().newInstance("GifPictureQVR");
    Value palette = host().newInstance("GifPaletteQVR");
    Value pixels = host().memoryBlock(std::string(6, '\x01'));
    host().set(picture, "Left", Value::integer(11));
    host().set(picture, "Top", Value::integer(12));
    host().set(picture, "Width", Value::integer(3));
    host().set(picture, "Height", Value::integer(2));
    host().set(picture, "Sorted", Value::boolean(true));
    host().set(picture, "PaletteDepth", Value::integer(4));
    host().set(picture, "Interlace", Value::boolean(true));
    host().set(picture, "Palette", palette);
    host().set(picture, "Data", pixels);
    PictureLayout *f = Fields<PictureLayout>(picture);
    EXPECT_EQ(11, f->left);
    EXPECT_EQ(12, f->top);
    EXPECT_EQ(3, f->width);
    EXPECT_EQ(2, f->height);
    EXPECT_EQ(1, f->sorted);
    EXPECT_EQ(4, f->paletteDepth);
    EXPECT_EQ(1, f->interlace);
    EXPECT_EQ(palette.handle(), f->palette);
    EXPECT_EQ(pixels.handle(), f->data);
    EXPECT_EQ(11, host().get(picture, "Left").asInteger());
}

} // namespace
