// Loading from host strings and folder items: what loads, what gives nil,
// and that nothing is left behind either way.
#include "tests/gifqvr_class/host_fixture.h"

#include <algorithm>
#include <filesystem>

namespace {

using namespace fixture;
using gifbytes::Gif;
using gifbytes::Palette;
using gifbytes::Pixels;

const Palette kGlobal = {0x000000, 0x00FF00, 0x0000FF, 0xFFFFFF};
const char kToGif[] = "GifStringToGifQVR(data as string) as GIFQVR";
const char kToPicture[] = "GifStringToPictureQVR(data as string) as Picture";

class LoadingTest : public HostTest {
protected:
    int32_t count(const Value &gif)
    {
        Snapshot before = host.snapshot();
        int32_t n = host.get(gif, "Count").asInteger();
        expectBalanced(before);
        return n;
    }
    std::string header(const Value &gif)
    {
        Snapshot before = host.snapshot();
        Value h = host.get(gif, "Header");
        std::string text = h.isNil() ? "<nil>" : host.text(h);
        if (!h.isNil()) {
            EXPECT_EQ(standin::kEncodingASCII, host.encoding(h));
        }
        h.release();
        expectBalanced(before);
        return text;
    }
    Value openFile(const std::string &path)
    {
        Value item = host.folderItem(path);
        Snapshot before = host.snapshot();
        Value gif = host.callFolderItem(item, "OpenAsGIFQVR");
        if (gif.isNil()) {
            expectBalanced(before);
        } else {
            EXPECT_EQ(1, host.references(gif.handle()));
        }
        return gif;
    }
};

TEST_F(LoadingTest, NilAndEmptyStringsGiveNil)
{
    for (const Value &arg : {Value::nil(), bytesString("")}) {
        Snapshot before = host.snapshot();
        EXPECT_TRUE(host.callGlobal(kToGif, {arg}).isNil());
        expectBalanced(before);
        EXPECT_TRUE(host.callGlobal(kToPicture, {arg}).isNil());
        expectBalanced(before);
    }
}

TEST_F(LoadingTest, OnlyTheThreeSignatureLettersAreChecked)
{
    // "GIF" alone: an object without blocks, and no picture.
    Value bare = load("GIF");
    ASSERT_FALSE(bare.isNil());
    EXPECT_EQ(0, count(bare));
    EXPECT_EQ("GIF", header(bare));
    EXPECT_TRUE(globalPicture("GIF").nil);

    const std::string body = Gif("").screen(1, 1, kGlobal).image(1, 1, {2}).trailer().bytes();
    for (const char *version : {"87a", "89a", "xyz", "\x01\x02\x03"}) {
        std::string signature = std::string("GIF") + version;
        Value gif = load(signature + body);
        ASSERT_FALSE(gif.isNil()) << signature;
        EXPECT_EQ(1, count(gif));
        EXPECT_EQ(signature, header(gif));
        EXPECT_EQ((std::vector<uint8_t>{0x00, 0x00, 0xFF}), globalPicture(signature + body).rgb);
    }
    for (const char *signature : {"gif89a", "Gif89a", "GIf89a", "GI", "G", " GIF89a"}) {
        EXPECT_TRUE(load(signature + body).isNil()) << signature;
        EXPECT_TRUE(globalPicture(signature + body).nil) << signature;
    }
}

TEST_F(LoadingTest, TruncatedInputStillLoads)
{
    Pixels pixels;
    for (int i = 0; i < 6 * 4; i++)
        pixels.push_back(static_cast<uint8_t>(1 + i % 3));
    const std::string full = Gif().screen(6, 4, kGlobal).transparency(2).image(6, 4, pixels).trailer().bytes();
    // Ends of the colour table and the extension; the image size is complete
    // once the low byte of its height is there.
    const size_t tableEnd = 13 + 12, imageStart = tableEnd + 8, imageSized = imageStart + 8;
    const std::vector<uint8_t> complete = gifbytes::rgb(pixels, kGlobal);

    for (size_t cut = 3; cut < full.size(); cut++) {
        const std::string part = full.substr(0, cut);
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Value gif = load(part);
        ASSERT_FALSE(gif.isNil());
        int32_t blocks = count(gif);
        EXPECT_EQ(cut <= tableEnd ? 0 : cut <= imageStart ? 1 : 2, blocks);
        gif.release();

        Shot shot = globalPicture(part);
        EXPECT_EQ(cut >= imageSized, !shot.nil);
        if (shot.nil)
            continue;
        ASSERT_EQ(complete.size(), shot.rgb.size());
        // Pixels whose codes are wholly present (two 3-bit codes each, from
        // byte 45 on) are the file's; the rest still come from the table.
        const size_t bits = cut > 45 ? (cut - 45) * 8 : 0;
        for (size_t i = 0; i < pixels.size(); i++) {
            std::vector<uint8_t> got(shot.rgb.begin() + 3 * i, shot.rgb.begin() + 3 * i + 3);
            if (6 * (i + 1) <= bits) {
                EXPECT_EQ(std::vector<uint8_t>(complete.begin() + 3 * i, complete.begin() + 3 * i + 3), got)
                    << "pixel " << i;
            } else {
                uint32_t colour = static_cast<uint32_t>(got[0] << 16 | got[1] << 8 | got[2]);
                EXPECT_NE(kGlobal.end(), std::find(kGlobal.begin(), kGlobal.end(), colour)) << "pixel " << i;
            }
        }
    }
    // A cut just before the trailer loses nothing.
    Shot whole = globalPicture(full.substr(0, full.size() - 1));
    EXPECT_EQ(complete, whole.rgb);
    EXPECT_EQ(gifbytes::maskRgb(pixels, 2), whole.mask);
}

TEST_F(LoadingTest, AFileWithoutImagesLoadsButHasNoPicture)
{
    const std::string bytes = Gif().screen(4, 4, kGlobal).extension(0xFE, {"only words"}).trailer().bytes();
    Value gif = load(bytes);
    ASSERT_FALSE(gif.isNil());
    EXPECT_EQ(1, count(gif));
    EXPECT_TRUE(pictureCall(gif, "MakeFirstPicture").nil);
    EXPECT_TRUE(pictureCall(gif, "MakeFirstMask").nil);
    EXPECT_TRUE(pictureCall(gif, "MakeFirstPictureWithMask").nil);
    EXPECT_TRUE(globalPicture(bytes).nil);
}

TEST_F(LoadingTest, FilesLoadFromFolderItems)
{
    const Pixels pixels = {0, 1, 2, 3, 3, 2};
    const std::string path = scratch("two.gif");
    gifbytes::writeFile(path, Gif("GIF87a").screen(2, 3, kGlobal).image(2, 3, pixels).trailer().bytes());
    Value gif = openFile(path);
    ASSERT_FALSE(gif.isNil());
    EXPECT_EQ(1, count(gif));
    EXPECT_EQ("GIF87a", header(gif));
    EXPECT_EQ(gifbytes::rgb(pixels, kGlobal), pictureCall(gif, "MakeFirstPicture").rgb);
    gif.release();

    // A file cut short still loads.
    const std::string shortPath = scratch("short.gif");
    gifbytes::writeFile(shortPath, "GIF89a\x02");
    gif = openFile(shortPath);
    ASSERT_FALSE(gif.isNil());
    EXPECT_EQ(0, count(gif));
    gif.release();

    // The file is closed after loading: it can be removed and replaced.
    EXPECT_TRUE(std::filesystem::remove(path));
}

TEST_F(LoadingTest, UnreadableFilesGiveNil)
{
    const std::string empty = scratch("empty.gif");
    gifbytes::writeFile(empty, "");
    const std::string lower = scratch("lower.gif");
    gifbytes::writeFile(lower, Gif("gif89a").screen(1, 1, kGlobal).image(1, 1, {0}).bytes());
    const std::string folder = scratch("folder.gif");
    std::filesystem::create_directory(folder);

    for (const std::string &path : {scratch("missing.gif"), empty, lower, folder,
                                    scratch("no/such/folder.gif")}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(openFile(path).isNil());
    }
}

TEST_F(LoadingTest, AHostThatCannotMakeTheObjectGetsNil)
{
    const std::string bytes = Gif().screen(1, 1, kGlobal).image(1, 1, {1}).trailer().bytes();
    const std::string path = scratch("one.gif");
    gifbytes::writeFile(path, bytes);
    refusedClasses().insert("GIFQVR");
    // The record made for the object is freed (the sanitizer would see it).
    EXPECT_TRUE(load(bytes).isNil());
    EXPECT_TRUE(openFile(path).isNil());
    // The picture entry makes no object and is unaffected.
    EXPECT_FALSE(globalPicture(bytes).nil);
}

} // namespace
