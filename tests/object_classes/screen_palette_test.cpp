// GifScreenQVR and GifPaletteQVR through the host: free-standing objects
// keep what the script sets; views read their record, fall back to the own
// table only beyond it, and never let a setter change what they show.
#include "tests/object_classes/support.h"

namespace objtest {
namespace {

class ScreenPalette : public HostTest {
protected:
    uint32_t Colour(const Value &palette, int index)
    {
        return Call(palette, "Value", {Value::integer(index)}).asColor();
    }
    int32_t Channel(const Value &palette, const char *channel, int index)
    {
        return Call(palette, channel, {Value::integer(index)}).asInteger();
    }
    void SetColour(const Value &palette, int index, uint32_t rgb)
    {
        Assign(palette, "Value", {Value::integer(index)}, Value::color(rgb));
    }
};

const Table kFour = {0x102030, 0x405060, 0x708090, 0xA0B0C0};

TEST_F(ScreenPalette, FreeStandingScreenReadsBackEveryProperty)
{
    Value screen = New("GifScreenQVR");
    const struct {
        const char *name;
        int32_t value;
    } numbers[] = {{"Width", 300}, {"Height", -2}, {"ColorResolution", 9},
                   {"PaletteDepth", 3}, {"BackgroundColor", 260}, {"Aspect", 49}};
    for (const auto &n : numbers)
        Set(screen, n.name, Value::integer(n.value));
    for (const auto &n : numbers)
        EXPECT_EQ(n.value, Int(screen, n.name)) << n.name;

    EXPECT_FALSE(Bool(screen, "Sorted"));
    Set(screen, "Sorted", Value::boolean(true));
    EXPECT_TRUE(Bool(screen, "Sorted"));

    // No palette until one is set; the screen then keeps one reference.
    EXPECT_TRUE(Get(screen, "Palette").isNil());
    Value palette = New("GifPaletteQVR");
    Set(screen, "Palette", palette, 1);
    Value got = Get(screen, "Palette", 1);
    EXPECT_EQ(palette.handle(), got.handle());
    Set(screen, "Palette", palette, 0);  // the same object again
    EXPECT_EQ(3, host.references(palette.handle()));
    Set(screen, "Palette", Value::nil(), -1);
    EXPECT_TRUE(Get(screen, "Palette").isNil());
}

TEST_F(ScreenPalette, ScreenDestructorReleasesItsPalette)
{
    Value palette = New("GifPaletteQVR");
    {
        Value screen = New("GifScreenQVR");
        Set(screen, "Palette", palette, 1);
    }
    EXPECT_EQ(1, host.references(palette.handle()));
}

TEST_F(ScreenPalette, CountTakesOnlyZeroTo256)
{
    Value palette = New("GifPaletteQVR");
    EXPECT_EQ(0, Int(palette, "Count"));
    Set(palette, "Count", Value::integer(5));
    EXPECT_EQ(5, Int(palette, "Count"));
    for (int refused : {257, -1, 65536, INT32_MIN}) {
        Set(palette, "Count", Value::integer(refused));
        EXPECT_EQ(5, Int(palette, "Count")) << refused;
    }
    Set(palette, "Count", Value::integer(256));
    EXPECT_EQ(256, Int(palette, "Count"));
    Set(palette, "Count", Value::integer(0));
    EXPECT_EQ(0, Int(palette, "Count"));
}

TEST_F(ScreenPalette, FreeStandingEntriesWrapToEightBitsAndIgnoreCount)
{
    Value palette = New("GifPaletteQVR");
    // Fresh entries are black.
    EXPECT_EQ(0u, Colour(palette, 0));
    EXPECT_EQ(0u, Colour(palette, 255));

    SetColour(palette, 300, 0x123456);
    EXPECT_EQ(0x123456u, Colour(palette, 44));
    EXPECT_EQ(0x123456u, Colour(palette, 300));
    SetColour(palette, -1, 0xABCDEF);
    EXPECT_EQ(0xABCDEFu, Colour(palette, 255));
    EXPECT_EQ(0xABCDEFu, Colour(palette, -1));

    // Value splits into channels and bits 24 to 31 play no part.
    SetColour(palette, 5, 1 * 65536 + 2 * 256 + 3);
    EXPECT_EQ(1, Channel(palette, "Red", 5));
    EXPECT_EQ(2, Channel(palette, "Green", 5));
    EXPECT_EQ(3, Channel(palette, "Blue", 5));
    EXPECT_EQ(0x010203u, Colour(palette, 5));
    SetColour(palette, 6, 0xFF010203u);
    EXPECT_EQ(0x010203u, Colour(palette, 6));

    // Channels store their low 8 bits and leave the others alone.
    Assign(palette, "Red", {Value::integer(7)}, Value::integer(0x1FF));
    Assign(palette, "Green", {Value::integer(7)}, Value::integer(-2));
    Assign(palette, "Blue", {Value::integer(263)}, Value::integer(0x42));
    EXPECT_EQ(0xFFFE42u, Colour(palette, 7));
    Assign(palette, "Green", {Value::integer(7)}, Value::integer(0));
    EXPECT_EQ(0xFF0042u, Colour(palette, 7));

    // The count limits nothing: all 256 entries stay reachable.
    EXPECT_EQ(0, Int(palette, "Count"));
    SetColour(palette, 200, 0x00FF00);
    EXPECT_EQ(0x00FF00u, Colour(palette, 200));
}

TEST_F(ScreenPalette, ViewOfScreenReadsTheRecordAndSettersChangeNothingShown)
{
    GifFile file(321, 123, kFour);
    Value gif = Load(file.bytes());
    Value screen = Get(gif, "Screen", 2);
    EXPECT_EQ(321, Int(screen, "Width"));
    EXPECT_EQ(123, Int(screen, "Height"));
    EXPECT_EQ(8, Int(screen, "ColorResolution"));
    EXPECT_EQ(2, Int(screen, "PaletteDepth"));
    EXPECT_EQ(0, Int(screen, "BackgroundColor"));
    EXPECT_EQ(0, Int(screen, "Aspect"));
    EXPECT_FALSE(Bool(screen, "Sorted"));

    Set(screen, "Width", Value::integer(5));
    Set(screen, "Sorted", Value::boolean(true));
    Set(screen, "PaletteDepth", Value::integer(7));
    EXPECT_EQ(321, Int(screen, "Width"));
    EXPECT_FALSE(Bool(screen, "Sorted"));
    EXPECT_EQ(2, Int(screen, "PaletteDepth"));

    // A palette set on a view of a screen with a table stays hidden.
    Value own = New("GifPaletteQVR");
    Set(screen, "Palette", own, 1);
    Value shown = Get(screen, "Palette", 2);
    EXPECT_NE(own.handle(), shown.handle());
    EXPECT_EQ(4, Int(shown, "Count"));
}

TEST_F(ScreenPalette, SortedFlagAndBackgroundOfALoadedScreen)
{
    std::string bytes = GifFile(2, 2, kFour).bytes();
    bytes[10] = static_cast<char>(bytes[10] | 0x08);  // sorted
    bytes[11] = 3;                                    // background index
    bytes[12] = 49;                                   // aspect
    Value gif = Load(bytes);
    Value screen = Get(gif, "Screen", 2);
    EXPECT_TRUE(Bool(screen, "Sorted"));
    EXPECT_EQ(1, Get(screen, "Sorted").raw() & 0xFF);
    EXPECT_EQ(3, Int(screen, "BackgroundColor"));
    EXPECT_EQ(49, Int(screen, "Aspect"));
}

TEST_F(ScreenPalette, ViewOfTableReadsRecordWithinLengthAndOwnTableBeyond)
{
    Value gif = Load(GifFile(1, 1, kFour).bytes());
    Value screen = Get(gif, "Screen", 2);
    Value palette = Get(screen, "Palette", 2);
    EXPECT_EQ(4, Int(palette, "Count"));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(kFour[i], Colour(palette, i)) << i;
    EXPECT_EQ(0xA0, Channel(palette, "Red", 3));
    EXPECT_EQ(0xB0, Channel(palette, "Green", 3));
    EXPECT_EQ(0xC0, Channel(palette, "Blue", 3));

    // Beyond the record: the own table, black until set.
    EXPECT_EQ(0u, Colour(palette, 4));
    SetColour(palette, 4, 0x0A0B0C);
    EXPECT_EQ(0x0A0B0Cu, Colour(palette, 4));
    // Index 260 is own entry 4, not beyond-the-record entry 260.
    EXPECT_EQ(0x0A0B0Cu, Colour(palette, 260));
    // -1 is outside the record, so own entry 255.
    SetColour(palette, 255, 0x111111);
    EXPECT_EQ(0x111111u, Colour(palette, -1));

    // Setting inside the record's range writes the own entry only.
    SetColour(palette, 2, 0xFFFFFF);
    Assign(palette, "Red", {Value::integer(1)}, Value::integer(0));
    EXPECT_EQ(kFour[2], Colour(palette, 2));
    EXPECT_EQ(kFour[1], Colour(palette, 1));
    // The own entry is what index 258 (own entry 2) reads.
    EXPECT_EQ(0xFFFFFFu, Colour(palette, 258));

    // Count set on a view is kept but not shown.
    Set(palette, "Count", Value::integer(9));
    EXPECT_EQ(4, Int(palette, "Count"));
}

TEST_F(ScreenPalette, ScreenWithoutGlobalTableGivesAnEmptyPaletteView)
{
    Image image;
    image.width = image.height = 1;
    image.local = {0xFF0000, 0x00FF00};
    image.pixels = {1};
    Value gif = Load(GifFile(1, 1).image(image).bytes());
    Value screen = Get(gif, "Screen", 2);
    Value palette = Get(screen, "Palette", 2);
    ASSERT_FALSE(palette.isNil());
    EXPECT_EQ(0, Int(palette, "Count"));
    // Every index falls back to the own table.
    SetColour(palette, 0, 0x123456);
    EXPECT_EQ(0x123456u, Colour(palette, 0));
}

TEST_F(ScreenPalette, EveryReadMakesAFreshViewThatKeepsTheRecordAlive)
{
    Value palette, again;
    {
        Value gif = Load(GifFile(1, 1, kFour).bytes());
        Value screen = Get(gif, "Screen", 2);
        Value other = Get(gif, "Screen", 2);
        EXPECT_NE(screen.handle(), other.handle());
        palette = Get(screen, "Palette", 2);
        again = Get(screen, "Palette", 2);
        EXPECT_NE(palette.handle(), again.handle());
        // Owner: the script's reference plus one per view (two screens, two palettes).
        EXPECT_EQ(5, host.references(gif.handle()));
    }
    // The script dropped the file and its screens; the palettes still read it.
    EXPECT_EQ(1u, host.liveObjects("GIFQVR"));
    EXPECT_EQ(kFour[1], Colour(palette, 1));
    EXPECT_EQ(kFour[3], Colour(again, 3));
    palette.release();
    EXPECT_EQ(1u, host.liveObjects("GIFQVR"));
    again.release();
    EXPECT_EQ(0u, host.liveObjects("GIFQVR"));
}

TEST_F(ScreenPalette, HostThatCannotMakeAViewGivesTheStoredPalette)
{
    Value gif = Load(GifFile(1, 1, kFour).bytes());
    Value screen = Get(gif, "Screen", 2);
    Value own = New("GifPaletteQVR");
    Set(screen, "Palette", own, 1);
    RefuseInstances(true);
    Value got = Get(screen, "Palette", 1);
    RefuseInstances(false);
    EXPECT_EQ(own.handle(), got.handle());
}

}  // namespace
}  // namespace objtest
