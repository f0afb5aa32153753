// "SaveAsGIFQVR" through the host: loaded files written back, each read
// again by giflib.
#include "tests/object_classes/saving.h"

#include <filesystem>

namespace objtest {
namespace {

// Every real-encoder file that giflib reads completely comes back from a
// load and a save with the same header, screen, tables, extensions and
// pixels.
TEST_F(Saving, LoadedFilesWriteBackWhatGiflibReadFromTheOriginal)
{
    std::vector<std::string> files = Corpus();
    ASSERT_FALSE(files.empty());

    int compared = 0;
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        Decoded original = decodeWithGiflib(file);
        if (!original.ok)
            continue;  // truncated or damaged on purpose
        Value gif = LoadFile(file);
        std::string path = Path("again.gif");
        ASSERT_TRUE(Save(gif, path));
        Decoded again = decodeWithGiflib(path);
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(original.header, again.header);
        EXPECT_EQ(original.width, again.width);
        EXPECT_EQ(original.height, again.height);
        EXPECT_EQ(original.colorResolution, again.colorResolution);
        EXPECT_EQ(original.background, again.background);
        EXPECT_EQ(original.aspect, again.aspect);
        EXPECT_EQ(original.global, again.global);
        ASSERT_EQ(original.frames.size(), again.frames.size());
        for (size_t i = 0; i < original.frames.size(); i++) {
            const Decoded::Frame &a = original.frames[i], &b = again.frames[i];
            EXPECT_EQ(a.left, b.left) << i;
            EXPECT_EQ(a.top, b.top) << i;
            EXPECT_EQ(a.width, b.width) << i;
            EXPECT_EQ(a.height, b.height) << i;
            EXPECT_EQ(a.interlace, b.interlace) << i;
            EXPECT_EQ(a.local, b.local) << i;
            EXPECT_TRUE(a.pixels == b.pixels) << "pixels of frame " << i;
            EXPECT_EQ(a.extensions, b.extensions) << i;
        }
        EXPECT_EQ(original.trailingExtensions, again.trailingExtensions);
        compared++;
    }
    EXPECT_GE(compared, 5);
}

TEST_F(Saving, LoadedObjectWritesItsRecordAndIgnoresWhatWasSetOnIt)
{
    Image image;
    image.width = 5;
    image.height = 4;
    image.interlace = true;
    image.local = Colours(8, 2);
    image.pixels = Pattern(20, 8, 3);
    std::string bytes = GifFile(6, 6, Colours(2, 1))
                            .extension(0xF9, {std::string("\x01\x00\x00\x02", 4)})
                            .image(image)
                            .extension(0xFE, {"note"})
                            .bytes();
    Value gif = Load(bytes);
    std::string plain = Path("plain.gif");
    ASSERT_TRUE(Save(gif, plain));

    Set(gif, "Screen", Screen(99, 99, Colours(4, 4), 2), 1);
    Set(gif, "Header", String("GIF89z"), 1);
    Add(gif, ExtensionBlock(0xFE, {"added"}));
    std::string changed = Path("changed.gif");
    ASSERT_TRUE(Save(gif, changed));
    EXPECT_EQ(readFile(plain), readFile(changed));

    std::string source = Path("source.gif");
    writeFile(source, bytes);
    Decoded want = decodeWithGiflib(source), got = decodeWithGiflib(changed);
    ASSERT_TRUE(got.ok) << got.error;
    ASSERT_EQ(1u, got.frames.size());
    EXPECT_EQ(want.global, got.global);
    EXPECT_EQ(image.local, got.frames[0].local);
    EXPECT_TRUE(got.frames[0].interlace);
    EXPECT_EQ(image.pixels, got.frames[0].pixels);
    EXPECT_EQ(want.frames[0].extensions, got.frames[0].extensions);
    EXPECT_EQ((Extensions{{0xFE, {"note"}}}), got.trailingExtensions);
}

TEST_F(Saving, FailuresGiveFalse)
{
    Value gif = New("GIFQVR");
    Add(gif, ExtensionBlock(0xFE, {"x"}));
    Value loaded = Load(GifFile(1, 1, Colours(2, 1)).bytes());

    // No such directory: nothing can be opened.
    std::string missing = Path("no/such/dir.gif");
    EXPECT_FALSE(Save(gif, missing));
    EXPECT_FALSE(Save(loaded, missing));
    EXPECT_FALSE(std::filesystem::exists(missing));

    // Opened, but the writing fails.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(Save(gif, "/dev/full"));
        EXPECT_FALSE(Save(loaded, "/dev/full"));
    }

    // No object to save.
    Value item = host.folderItem(Path("nil.gif"));
    EXPECT_FALSE(CallFolderItem(item, "SaveAsGIFQVR", {Value::nil()}).asBoolean());
    EXPECT_FALSE(std::filesystem::exists(Path("nil.gif")));
}

}  // namespace
}  // namespace objtest
