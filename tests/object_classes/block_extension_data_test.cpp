// GifBlockQVR, GifExtensionQVR and GifDataQVR through the host: walking a
// loaded file's blocks, extensions and sub-blocks, and building them as a
// script does.
#include "tests/object_classes/support.h"

namespace objtest {
namespace {

class BlockExtensionData : public HostTest {
protected:
    // [comment with three sub-blocks, image, application extension, image]
    std::string File()
    {
        Image image;
        image.width = 2;
        image.height = 1;
        image.pixels = {0, 1};
        return GifFile(2, 1, {0x000000, 0xFFFFFF})
            .extension(0xFE, {"ab", std::string("\0x\0", 3), "last"})
            .image(image)
            .extension(0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)})
            .image(image)
            .bytes();
    }
    Value Data(const Value &extension, int index, int64_t refs)
    {
        return Call(extension, "Data", {Value::integer(index)}, refs);
    }
};

TEST_F(BlockExtensionData, LoadedBlocksShowTheirIntroAndOnlyTheirOwnKindOfContent)
{
    Value gif = Load(File());
    ASSERT_EQ(4, Int(gif, "Count"));
    const int intros[] = {0x21, 0x2C, 0x21, 0x2C};
    for (int i = 0; i < 4; i++) {
        Value block = Block(gif, i);
        EXPECT_EQ(intros[i], Int(block, "Intro")) << i;
        bool image = intros[i] == 0x2C;
        Value ext = Get(block, "Extension", image ? 0 : 2);
        Value pic = Get(block, "Picture", image ? 2 : 0);
        EXPECT_EQ(image, ext.isNil()) << i;
        EXPECT_EQ(!image, pic.isNil()) << i;
    }
}

TEST_F(BlockExtensionData, BlockViewFallsBackToStoredObjectsOnlyWhereTheRecordHasNone)
{
    Value gif = Load(File());
    Value imageBlock = Block(gif, 1);

    // Setting Intro and Picture on a view changes nothing shown.
    Set(imageBlock, "Intro", Value::integer(0x21));
    EXPECT_EQ(0x2C, Int(imageBlock, "Intro"));
    Value ownPicture = New("GifPictureQVR");
    Set(imageBlock, "Picture", ownPicture, 1);
    Value shown = Get(imageBlock, "Picture", 2);
    EXPECT_NE(ownPicture.handle(), shown.handle());
    EXPECT_EQ(2, Int(shown, "Width"));

    // The record has no extension here, so the stored one reads back.
    Value ownExtension = New("GifExtensionQVR");
    Set(imageBlock, "Extension", ownExtension, 1);
    Value back = Get(imageBlock, "Extension", 1);
    EXPECT_EQ(ownExtension.handle(), back.handle());

    // Two reads of Picture: two objects viewing the same image.
    Value again = Get(imageBlock, "Picture", 2);
    EXPECT_NE(shown.handle(), again.handle());
    Value pixels = Get(again, "Data", 1);
    EXPECT_EQ(std::string("\0\1", 2), host.bytes(pixels));
}

TEST_F(BlockExtensionData, FreeStandingBlockKeepsAndReleasesItsObjects)
{
    Value picture = New("GifPictureQVR");
    Value extension = New("GifExtensionQVR");
    Value other = New("GifExtensionQVR");
    {
        Value block = New("GifBlockQVR");
        EXPECT_EQ(0, Int(block, "Intro"));
        Set(block, "Intro", Value::integer(0x2C));
        EXPECT_EQ(0x2C, Int(block, "Intro"));
        EXPECT_TRUE(Get(block, "Picture").isNil());
        EXPECT_TRUE(Get(block, "Extension").isNil());

        Set(block, "Picture", picture, 1);
        Set(block, "Extension", extension, 1);
        EXPECT_EQ(picture.handle(), Get(block, "Picture", 1).handle());
        Set(block, "Extension", other, 0);  // replaces: old one let go
        EXPECT_EQ(1, host.references(extension.handle()));
        EXPECT_EQ(other.handle(), Get(block, "Extension", 1).handle());
        EXPECT_EQ(2, host.references(picture.handle()));
    }
    // The destructor let go of both.
    EXPECT_EQ(1, host.references(picture.handle()));
    EXPECT_EQ(1, host.references(other.handle()));
}

TEST_F(BlockExtensionData, ExtensionViewCountsTheRecordAndReachesAddedDataOnlyBeyondIt)
{
    Value gif = Load(File());
    Value block = Block(gif, 0);
    Value ext = Get(block, "Extension", 2);
    EXPECT_EQ(0xFE, Int(ext, "Marker"));
    EXPECT_EQ(3, Int(ext, "Count"));
    Set(ext, "Marker", Value::integer(0x01));
    EXPECT_EQ(0xFE, Int(ext, "Marker"));

    EXPECT_TRUE(Data(ext, 3, 0).isNil());
    EXPECT_TRUE(Data(ext, -1, 0).isNil());
    EXPECT_TRUE(Data(ext, INT32_MIN, 0).isNil());

    // Added objects: Count stays the record's; index 3 reads the fourth added.
    Value added[4];
    for (Value &a : added) {
        a = New("GifDataQVR");
        Call(ext, "Add", {a}, 1);
    }
    EXPECT_EQ(3, Int(ext, "Count"));
    EXPECT_EQ(added[3].handle(), Data(ext, 3, 1).handle());
    EXPECT_TRUE(Data(ext, 4, 0).isNil());
    // Below the record's count the record wins.
    Value first = Data(ext, 0, 2);
    EXPECT_NE(added[0].handle(), first.handle());
    EXPECT_EQ("ab", host.text(Get(first, "DataString", 1)));
}

TEST_F(BlockExtensionData, DataViewsCopyTheRecordBytesZerosIncluded)
{
    Value gif = Load(File());
    Value ext = Get(Block(gif, 0), "Extension", 2);
    Value middle = Data(ext, 1, 2);
    EXPECT_EQ(3, Int(middle, "Length"));
    Value one = Get(middle, "DataString", 1);
    Value two = Get(middle, "DataString", 1);
    EXPECT_NE(one.handle(), two.handle());
    EXPECT_EQ(std::string("\0x\0", 3), host.text(one));
    EXPECT_EQ(host.text(one), host.text(two));
    EXPECT_EQ(standin::kEncodingRaw, host.encoding(one));
    Value memory = Get(middle, "DataMemory", 1);
    EXPECT_EQ(std::string("\0x\0", 3), host.bytes(memory));

    // Two reads of Data: distinct objects over the same bytes.
    Value again = Data(ext, 1, 2);
    EXPECT_NE(middle.handle(), again.handle());
    EXPECT_EQ(3, Int(again, "Length"));

    // Setting the string of a view changes nothing it shows.
    Set(middle, "DataString", String("zzzz"), 1);
    EXPECT_EQ(3, Int(middle, "Length"));
    EXPECT_EQ(std::string("\0x\0", 3), host.text(Get(middle, "DataString", 1)));
}

TEST_F(BlockExtensionData, FreeStandingDataTakesACopyOfAMemoryBlock)
{
    Value data = New("GifDataQVR");
    EXPECT_EQ(0, Int(data, "Length"));
    EXPECT_TRUE(Get(data, "DataString").isNil());
    EXPECT_TRUE(Get(data, "DataMemory").isNil());

    Value block = Memory(std::string("\x01\x00\xFE\x7F", 4));
    Set(data, "DataMemory", block, 1);  // a new string, kept
    EXPECT_EQ(1, host.references(block.handle()));  // the block is not kept
    EXPECT_EQ(4, Int(data, "Length"));
    Value text = Get(data, "DataString", 1);
    EXPECT_EQ(std::string("\x01\x00\xFE\x7F", 4), host.text(text));
    EXPECT_EQ(standin::kEncodingRaw, host.encoding(text));

    // Later changes to the block do not reach the object.
    Poke(block, 0, 9);
    Value copy = Get(data, "DataMemory", 1);
    EXPECT_NE(block.handle(), copy.handle());
    EXPECT_EQ(std::string("\x01\x00\xFE\x7F", 4), host.bytes(copy));

    // An empty block leaves no string.
    Set(data, "DataMemory", Memory(""), -1);
    EXPECT_EQ(0, Int(data, "Length"));
    EXPECT_TRUE(Get(data, "DataString").isNil());

    // DataString stores the string itself; DataMemory then copies it out.
    Value hello = String("hello");
    Set(data, "DataString", hello, 1);
    EXPECT_EQ(5, Int(data, "Length"));
    EXPECT_EQ(hello.handle(), Get(data, "DataString", 1).handle());
    EXPECT_EQ("hello", host.bytes(Get(data, "DataMemory", 1)));
    Set(data, "DataString", String("hi"), 0);
    EXPECT_EQ(1, host.references(hello.handle()));
    EXPECT_EQ(2, Int(data, "Length"));
    // A nil block clears the string.
    Set(data, "DataMemory", Value::nil(), -1);
    EXPECT_EQ(0, Int(data, "Length"));
}

TEST_F(BlockExtensionData, FreeStandingExtensionListsWhatWasAdded)
{
    Value data = New("GifDataQVR");
    {
        Value ext = New("GifExtensionQVR");
        EXPECT_EQ(0, Int(ext, "Count"));
        Set(ext, "Marker", Value::integer(0xF9));
        EXPECT_EQ(0xF9, Int(ext, "Marker"));
        Call(ext, "Add", {Value::nil()}, 0);
        EXPECT_EQ(0, Int(ext, "Count"));
        Call(ext, "Add", {data}, 1);
        Call(ext, "Add", {data}, 1);  // the same object twice: two entries
        EXPECT_EQ(2, Int(ext, "Count"));
        EXPECT_EQ(data.handle(), Data(ext, 1, 1).handle());
        EXPECT_TRUE(Data(ext, 2, 0).isNil());
        EXPECT_TRUE(Data(ext, -1, 0).isNil());
        EXPECT_EQ(3, host.references(data.handle()));
    }
    EXPECT_EQ(1, host.references(data.handle()));
}

}  // namespace
}  // namespace objtest
