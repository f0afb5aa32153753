// The GIFQVR class: views and who keeps whom alive, blocks added by the
// script, stored screen and header, the destructor, and "Print".
#include "tests/gifqvr_class/host_fixture.h"

#include "codec/gif.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace {

using namespace fixture;
using GifFile = gifbytes::Gif;
using gifbytes::Palette;

const Palette kGlobal = {0x000000, 0xFF0000, 0x00FF00, 0xFFFFFF};
const char kPrint[] = "Print(file as folderitem) as boolean";

// Four blocks: extension, image, extension, image.
std::string fourBlocks()
{
    return GifFile()
        .screen(3, 2, kGlobal)
        .transparency(1)
        .image(3, 2, {0, 1, 2, 3, 2, 1}, {0x010203, 0x040506})
        .extension(0xFE, {"hello", std::string("\x01\x00\xFFz", 4)})
        .image(1, 1, {3}, {}, 2, 1)
        .trailer()
        .bytes();
}

class GifqvrTest : public HostTest {
protected:
    // Reads a property (no args) or calls a method. In all, the call may add
    // only `delta` references: 0 for nil, 1 for a stored object handed out,
    // 2 for a new view (the view itself and its lock on the owner).
    Value read(const Value &object, const std::string &what, const Args *args, int64_t delta)
    {
        const int64_t before = host.liveReferences();
        Value result = args ? host.call(object, what, *args) : host.get(object, what);
        EXPECT_EQ(before + delta, host.liveReferences()) << what;
        EXPECT_TRUE(host.takeErrors().empty()) << what;
        return result;
    }
    Value screenOf(const Value &gif, int64_t delta) { return read(gif, "Screen", nullptr, delta); }
    Value block(const Value &gif, int32_t index, int64_t delta)
    {
        Args args{Value::integer(index)};
        return read(gif, "Block", &args, delta);
    }
    int32_t count(const Value &gif)
    {
        Snapshot before = host.snapshot();
        int32_t n = host.get(gif, "Count").asInteger();
        expectBalanced(before);
        return n;
    }
    void add(const Value &gif, const Value &item)
    {
        const int32_t refs = item.isNil() ? 0 : host.references(item.handle());
        host.call(gif, "Add", {item});
        if (!item.isNil()) {
            EXPECT_EQ(refs + 1, host.references(item.handle()));
        }
        EXPECT_TRUE(host.takeErrors().empty());
    }
    bool print(const Value &gif, const Value &item)
    {
        Snapshot before = host.snapshot();
        bool ok = host.call(gif, kPrint, {item}).asBoolean();
        expectBalanced(before);
        return ok;
    }
    // What the plug-in's own text dump prints for the bytes.
    std::string dumpOf(const std::string &bytes)
    {
        auto newGif = reinterpret_cast<::Gif *(*)()>(pluginSymbol<void>("new_gif"));
        auto readGif = reinterpret_cast<void (*)(GifStream *, ::Gif *)>(pluginSymbol<void>("read_gif"));
        auto printGif = reinterpret_cast<void (*)(FILE *, ::Gif *)>(pluginSymbol<void>("print_gif"));
        auto delGif = reinterpret_cast<void (*)(::Gif *)>(pluginSymbol<void>("del_gif"));
        EXPECT_TRUE(newGif && readGif && printGif && delGif);
        ::Gif *record = newGif();
        GifStream stream{reinterpret_cast<const unsigned char *>(bytes.data()),
                         static_cast<int32_t>(bytes.size()), 0, nullptr};
        readGif(&stream, record);
        const std::string path = scratch("oracle.txt");
        FILE *f = fopen(path.c_str(), "wb");
        printGif(f, record);
        fclose(f);
        delGif(record);
        return gifbytes::readFile(path);
    }
};

TEST_F(GifqvrTest, ALoadedObjectShowsItsRecord)
{
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    // Four blocks: the trailer is not one.
    EXPECT_EQ(4, count(gif));

    Snapshot before = host.snapshot();
    Value header = host.get(gif, "Header");
    ASSERT_FALSE(header.isNil());
    EXPECT_EQ("GIF89a", host.text(header));
    EXPECT_EQ(standin::kEncodingASCII, host.encoding(header));
    EXPECT_EQ(1, host.references(header.handle()));
    header.release();
    expectBalanced(before);

    Value screen = screenOf(gif, 2);
    ASSERT_FALSE(screen.isNil());
    EXPECT_EQ("GifScreenQVR", host.className(screen));
    EXPECT_EQ(gif.object(), view(screen).owner);
    EXPECT_NE(nullptr, view(screen).record);
    screen.release();
    expectBalanced(before);

    const int intros[] = {0x21, 0x2C, 0x21, 0x2C};
    for (int32_t i = 0; i < 4; i++) {
        Value b = block(gif, i, 2);
        ASSERT_FALSE(b.isNil());
        EXPECT_EQ("GifBlockQVR", host.className(b));
        EXPECT_EQ(gif.object(), view(b).owner);
        EXPECT_EQ(intros[i], host.get(b, "Intro").asInteger());
        b.release();
        expectBalanced(before);
    }
    for (int32_t outside : {4, 5, -1, INT32_MIN}) {
        EXPECT_TRUE(host.call(gif, "Block", {Value::integer(outside)}).isNil());
        expectBalanced(before);
    }
}

TEST_F(GifqvrTest, EveryReadMakesAFreshView)
{
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    const int32_t alone = host.references(gif.handle());

    Value a = block(gif, 1, 2);
    Value b = block(gif, 1, 2);
    ASSERT_FALSE(a.isNil());
    ASSERT_FALSE(b.isNil());
    EXPECT_NE(a.handle(), b.handle());
    EXPECT_EQ(view(a).record, view(b).record);
    EXPECT_NE(view(a).record, view(block(gif, 3, 2)).record);

    Value s1 = screenOf(gif, 2);
    Value s2 = screenOf(gif, 2);
    EXPECT_NE(s1.handle(), s2.handle());
    EXPECT_EQ(view(s1).record, view(s2).record);
    EXPECT_EQ(alone + 4, host.references(gif.handle()));
    a.release();
    s1.release();
    EXPECT_EQ(alone + 2, host.references(gif.handle()));
}

TEST_F(GifqvrTest, AViewKeepsTheRecordAliveAfterTheScriptDropsTheObject)
{
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    void *handle = gif.handle();
    Value b = block(gif, 3, 2);
    Value s = screenOf(gif, 2);
    const size_t destroyedBefore = host.destroyed("GIFQVR");

    gif.release();
    EXPECT_TRUE(host.alive(handle));
    EXPECT_EQ(2, host.references(handle));
    // The record is still there to read (the sanitizer watches the reads).
    Snapshot before = host.snapshot();
    EXPECT_EQ(0x2C, host.get(b, "Intro").asInteger());
    EXPECT_EQ(3, host.get(s, "Width").asInteger());
    expectBalanced(before);

    b.release();
    EXPECT_TRUE(host.alive(handle));
    s.release();
    EXPECT_FALSE(host.alive(handle));
    EXPECT_EQ(destroyedBefore + 1, host.destroyed("GIFQVR"));
}

TEST_F(GifqvrTest, AddedBlocksOfALoadedObjectLieAtIndexesPastTheRecord)
{
    Value gif = load(GifFile().screen(1, 1, kGlobal).transparency(0).image(1, 1, {1}).bytes());
    ASSERT_FALSE(gif.isNil());
    Value added[3] = {host.newInstance("GifBlockQVR"), host.newInstance("GifBlockQVR"),
                      host.newInstance("GifBlockQVR")};
    for (const Value &b : added)
        add(gif, b);
    EXPECT_EQ(2, count(gif));

    for (int32_t i = 0; i < 2; i++) {
        Value b = block(gif, i, 2);
        ASSERT_FALSE(b.isNil());
        EXPECT_EQ(gif.object(), view(b).owner);
    }
    // Index 2 reads the list at that same index: the third added block.
    Value third = block(gif, 2, 1);
    EXPECT_EQ(added[2].handle(), third.handle());
    EXPECT_EQ(3, host.references(third.handle()));
    EXPECT_TRUE(block(gif, 3, 0).isNil());
    EXPECT_TRUE(block(gif, -1, 0).isNil());
}

TEST_F(GifqvrTest, BlocksOfAFreeStandingObjectAreTheAddedOnes)
{
    Value gif = host.newInstance("GIFQVR");
    EXPECT_EQ(0, count(gif));
    EXPECT_TRUE(block(gif, 0, 0).isNil());

    Value b1 = host.newInstance("GifBlockQVR");
    Value b2 = host.newInstance("GifBlockQVR");
    add(gif, b1);
    add(gif, b2);
    add(gif, b1); // twice: two entries, two references
    add(gif, Value::nil());
    EXPECT_EQ(3, count(gif));
    EXPECT_EQ(3, host.references(b1.handle()));

    EXPECT_EQ(b1.handle(), block(gif, 0, 1).handle());
    EXPECT_EQ(b2.handle(), block(gif, 1, 1).handle());
    EXPECT_EQ(b1.handle(), block(gif, 2, 1).handle());
    EXPECT_TRUE(block(gif, 3, 0).isNil());
    EXPECT_TRUE(block(gif, -1, 0).isNil());

    EXPECT_TRUE(pictureCall(gif, "MakeFirstPicture").nil);
    EXPECT_TRUE(pictureCall(gif, "MakeFirstMask").nil);
    EXPECT_TRUE(pictureCall(gif, "MakeFirstPictureWithMask").nil);
}

TEST_F(GifqvrTest, AFreeStandingObjectKeepsTheScreenAndHeaderItIsGiven)
{
    Value gif = host.newInstance("GIFQVR");
    EXPECT_TRUE(screenOf(gif, 0).isNil());
    EXPECT_TRUE(host.get(gif, "Header").isNil());

    Value s1 = host.newInstance("GifScreenQVR");
    Value s2 = host.newInstance("GifScreenQVR");
    host.set(gif, "Screen", s1);
    EXPECT_EQ(2, host.references(s1.handle()));
    {
        Value got = host.get(gif, "Screen");
        EXPECT_EQ(s1.handle(), got.handle());
        EXPECT_EQ(3, host.references(s1.handle()));
    }
    host.set(gif, "Screen", s2);
    EXPECT_EQ(1, host.references(s1.handle()));
    EXPECT_EQ(2, host.references(s2.handle()));
    // Setting the held object again must not lose it.
    host.set(gif, "Screen", s2);
    EXPECT_EQ(2, host.references(s2.handle()));
    EXPECT_EQ(s2.handle(), host.get(gif, "Screen").handle());
    host.set(gif, "Screen", Value::nil());
    EXPECT_EQ(1, host.references(s2.handle()));
    EXPECT_TRUE(host.get(gif, "Screen").isNil());

    Value h1 = host.string("GIF87a", standin::kEncodingASCII);
    Value h2 = host.string("anything", standin::kEncodingUTF8);
    host.set(gif, "Header", h1);
    host.set(gif, "Header", h2);
    EXPECT_EQ(1, host.references(h1.handle()));
    EXPECT_EQ(2, host.references(h2.handle()));
    host.set(gif, "Header", h2);
    {
        Value got = host.get(gif, "Header");
        EXPECT_EQ(h2.handle(), got.handle());
        EXPECT_EQ("anything", host.text(got));
        EXPECT_EQ(3, host.references(h2.handle()));
    }
    host.set(gif, "Header", Value::nil());
    EXPECT_EQ(1, host.references(h2.handle()));
    EXPECT_TRUE(host.get(gif, "Header").isNil());
    EXPECT_TRUE(host.takeErrors().empty());
}

TEST_F(GifqvrTest, SettersOnALoadedObjectChangeNothingVisible)
{
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    Value screen = host.newInstance("GifScreenQVR");
    host.set(gif, "Screen", screen);
    host.set(gif, "Header", host.string("XYZ", standin::kEncodingASCII));
    {
        Value got = screenOf(gif, 2);
        EXPECT_NE(screen.handle(), got.handle());
        EXPECT_EQ(gif.object(), view(got).owner);
        Value header = host.get(gif, "Header");
        EXPECT_EQ("GIF89a", host.text(header));
    }
    EXPECT_EQ(4, count(gif));
    // The stored screen is still held, and the destructor lets it go.
    EXPECT_EQ(2, host.references(screen.handle()));
    gif.release();
    EXPECT_EQ(1, host.references(screen.handle()));
}

TEST_F(GifqvrTest, TheDestructorReleasesEverythingTheObjectHolds)
{
    const size_t screensBefore = host.destroyed("GifScreenQVR");
    const size_t blocksBefore = host.destroyed("GifBlockQVR");
    {
        Value gif = host.newInstance("GIFQVR");
        host.set(gif, "Screen", host.newInstance("GifScreenQVR"));
        host.set(gif, "Header", host.string("GIF89a", standin::kEncodingASCII));
        Value b = host.newInstance("GifBlockQVR");
        add(gif, b);
        add(gif, b);
        add(gif, host.newInstance("GifBlockQVR"));
        b.release();
        EXPECT_EQ(3, count(gif));
    }
    // Only the dropped object held them; TearDown checks that no count moved.
    EXPECT_EQ(screensBefore + 1, host.destroyed("GifScreenQVR"));
    EXPECT_EQ(blocksBefore + 2, host.destroyed("GifBlockQVR"));

    // A loaded object with views made and given back, and added blocks.
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    add(gif, host.newInstance("GifBlockQVR"));
    block(gif, 0, 2).release();
    gif.release();
    EXPECT_EQ(blocksBefore + 4, host.destroyed("GifBlockQVR"));
}

TEST_F(GifqvrTest, AHostThatCannotMakeViewsGetsTheStoredValues)
{
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    refusedClasses() = {"GifBlockQVR", "GifScreenQVR"};
    EXPECT_TRUE(block(gif, 0, 0).isNil());
    EXPECT_TRUE(screenOf(gif, 0).isNil());

    refusedClasses().clear();
    Value added = host.newInstance("GifBlockQVR");
    Value screen = host.newInstance("GifScreenQVR");
    add(gif, added);
    host.set(gif, "Screen", screen);
    refusedClasses() = {"GifBlockQVR", "GifScreenQVR"};
    EXPECT_EQ(added.handle(), block(gif, 0, 1).handle());
    EXPECT_EQ(screen.handle(), screenOf(gif, 1).handle());
    EXPECT_EQ(4, count(gif));
}

TEST_F(GifqvrTest, PrintWritesTheTextDumpOfTheRecord)
{
    const std::string bytes = fourBlocks();
    Value gif = load(bytes);
    ASSERT_FALSE(gif.isNil());
    const std::string path = scratch("dump.txt");
    // An existing longer file is replaced, not overwritten in part.
    gifbytes::writeFile(path, std::string(10000, 'x'));
    Value item = host.folderItem(path);
    EXPECT_TRUE(print(gif, item));
    const std::string written = gifbytes::readFile(path);
    EXPECT_EQ(dumpOf(bytes), written);
    EXPECT_NE(std::string::npos, written.find("GifPicture")) << written;

    // The same for a file cut short inside its image.
    const std::string part = bytes.substr(0, 60);
    Value cut = load(part);
    ASSERT_FALSE(cut.isNil());
    EXPECT_TRUE(print(cut, item));
    EXPECT_EQ(dumpOf(part), gifbytes::readFile(path));
}

TEST_F(GifqvrTest, PrintFailuresReturnFalse)
{
    Value gif = load(fourBlocks());
    ASSERT_FALSE(gif.isNil());
    EXPECT_FALSE(print(gif, Value::nil()));
    EXPECT_FALSE(print(gif, host.folderItem(scratch("no/such/folder/dump.txt"))));
    EXPECT_FALSE(std::filesystem::exists(scratch("no")));
    // A device that takes no bytes: the write or the close fails.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(print(gif, host.folderItem("/dev/full")));
    }

    // Without a record there is nothing to print, and the file is left alone.
    Value bare = host.newInstance("GIFQVR");
    const std::string keep = scratch("keep.txt");
    gifbytes::writeFile(keep, "precious");
    EXPECT_FALSE(print(bare, host.folderItem(keep)));
    EXPECT_EQ("precious", gifbytes::readFile(keep));
    const std::string absent = scratch("absent.txt");
    EXPECT_FALSE(print(bare, host.folderItem(absent)));
    EXPECT_FALSE(std::filesystem::exists(absent));
}

} // namespace
