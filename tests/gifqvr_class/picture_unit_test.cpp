// The picture writer, the mask primitives and the GIF-to-picture operations
// called directly, with the host bridge compiled in and the stand-in host
// behind it; some host services can be made to fail.
#include "picture/picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "standin_host/standin_host.h"

void PluginEntry(void) {}

namespace {

using standin::Host;
using standin::Kind;
using standin::Snapshot;
using standin::Value;

bool gNoPicture, gNoMask, gNoGraphics, gNoMethod;
int gMethodAsks;
// Handles in the order the plug-in unlocked them, and the last mask and
// graphics the host gave it.
std::vector<void *> gUnlocked;
void *gLastMask, *gLastGraphics;

template <typename Proc>
Proc real(const char *name)
{
    return reinterpret_cast<Proc>(Host::instance().service(name));
}

REALpicture buildPicture(int32_t w, int32_t h, int32_t type, void *buffer, int32_t rowBytes)
{
    if (gNoPicture)
        return nullptr;
    return real<REALBuildPictureFromBufferProc>("REALBuildPictureFromBuffer")(w, h, type, buffer, rowBytes);
}

REALpicture getMask(REALpicture picture, RBBoolean create)
{
    REALpicture mask = gNoMask ? nullptr : real<REALGetPictureMaskProc>("REALGetPictureMask")(picture, create);
    gLastMask = mask;
    return mask;
}

REALgraphics getGraphics(REALpicture picture)
{
    REALgraphics graphics =
        gNoGraphics ? nullptr : real<pluginPictureGraphicsGetterProc>("pluginPictureGraphicsGetter")(picture);
    gLastGraphics = graphics;
    return graphics;
}

void unlockObject(REALobject object)
{
    gUnlocked.push_back(object);
    real<REALLockObjectProc>("REALUnlockObject")(object);
}

void *loadMethod(REALobject object, const char *declaration)
{
    gMethodAsks++;
    return gNoMethod ? nullptr : real<REALLoadObjectMethodProc>("REALLoadObjectMethod")(object, declaration);
}

std::vector<uint8_t> solid(size_t pixels, uint32_t rgb)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < pixels; i++) {
        out.push_back(static_cast<uint8_t>(rgb >> 16));
        out.push_back(static_cast<uint8_t>(rgb >> 8));
        out.push_back(static_cast<uint8_t>(rgb));
    }
    return out;
}

// Codec records built by hand, freed by the codec's destructors.
GifPalette *table(const std::vector<uint32_t> &colours)
{
    GifPalette *p = new_gif_palette();
    p->length = static_cast<int32_t>(colours.size());
    p->colours = static_cast<Colour *>(gif_alloc(static_cast<int32_t>(colours.size() * sizeof(Colour))));
    for (size_t i = 0; i < colours.size(); i++) {
        p->colours[i].alpha = 0x5A;
        p->colours[i].red = static_cast<unsigned char>(colours[i] >> 16);
        p->colours[i].green = static_cast<unsigned char>(colours[i] >> 8);
        p->colours[i].blue = static_cast<unsigned char>(colours[i]);
    }
    return p;
}

GifPicture *image(int32_t width, int32_t height, const std::vector<uint8_t> &pixels,
                  const std::vector<uint32_t> &local = {})
{
    GifPicture *pic = new_gif_picture();
    pic->width = width;
    pic->height = height;
    if (!local.empty()) {
        del_gif_palette(pic->cmap);
        pic->cmap = table(local);
        pic->has_cmap = 1;
    }
    pic->rows = static_cast<unsigned char **>(gif_alloc(height * static_cast<int32_t>(sizeof(unsigned char *))));
    for (int32_t r = 0; r < height; r++) {
        pic->rows[r] = static_cast<unsigned char *>(gif_alloc(width));
        memcpy(pic->rows[r], pixels.data() + r * width, static_cast<size_t>(width));
    }
    return pic;
}

GifExtension *extension(const std::vector<std::string> &subBlocks)
{
    GifExtension *ext = new_gif_extension();
    ext->marker = 0xF9;
    ext->data_count = static_cast<int32_t>(subBlocks.size());
    ext->data = static_cast<GifData **>(gif_alloc(ext->data_count * static_cast<int32_t>(sizeof(GifData *))));
    for (size_t i = 0; i < subBlocks.size(); i++) {
        ext->data[i] = new_gif_data(static_cast<int32_t>(subBlocks[i].size()));
        memcpy(ext->data[i]->bytes, subBlocks[i].data(), subBlocks[i].size());
    }
    return ext;
}

// A record whose blocks hold the given images and extensions in order.
struct Record {
    Gif *gif = new_gif();
    ~Record() { del_gif(gif); }
    Record &add(GifPicture *pic, GifExtension *ext = nullptr)
    {
        GifBlock *block = new_gif_block();
        block->intro = pic ? 0x2C : 0x21;
        block->pic = pic;
        block->ext = ext;
        gif->blocks = static_cast<GifBlock **>(
            app_realloc(gif->blocks, (gif->block_count + 1) * static_cast<int32_t>(sizeof(GifBlock *))));
        gif->blocks[gif->block_count++] = block;
        return *this;
    }
    Record &global(const std::vector<uint32_t> &colours)
    {
        del_gif_palette(gif->screen->cmap);
        gif->screen->cmap = table(colours);
        gif->screen->has_cmap = 1;
        return *this;
    }
};

class PictureUnitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static bool started = false;
        if (started)
            return;
        Host &host = Host::instance();
        host.replace("REALBuildPictureFromBuffer", reinterpret_cast<void *>(&buildPicture));
        host.replace("REALGetPictureMask", reinterpret_cast<void *>(&getMask));
        host.replace("pluginPictureGraphicsGetter", reinterpret_cast<void *>(&getGraphics));
        host.replace("REALLoadObjectMethod", reinterpret_cast<void *>(&loadMethod));
        host.replace("REALUnlockObject", reinterpret_cast<void *>(&unlockObject));
        host.start(&REALPluginMain);
        started = true;
    }
    void SetUp() override
    {
        gNoPicture = gNoMask = gNoGraphics = gNoMethod = false;
        gUnlocked.clear();
        host.takeErrors();
        start = host.snapshot();
    }
    void TearDown() override { EXPECT_EQ("", host.audit(start)); }

    // The arguments of the last picture the plug-in asked the host for.
    std::vector<int64_t> lastBuild() const
    {
        const auto &journal = host.journal();
        for (auto it = journal.rbegin(); it != journal.rend(); ++it)
            if (it->type == standin::JournalEntry::Call && it->name == "REALBuildPictureFromBuffer")
                return it->numbers;
        return {};
    }
    Value adopt(REALpicture picture) { return Value::adopt(Kind::Picture, picture); }

    Host &host = Host::instance();
    Snapshot start;
};

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

TEST_F(PictureUnitTest, GetPaletteFillsAtMost256Entries)
{
    std::vector<int32_t> red(256, -7), green(256, -7), blue(256, -7);
    EXPECT_EQ(0, GetPalette(nullptr, red.data(), green.data(), blue.data()));
    GifPalette *empty = new_gif_palette();
    EXPECT_EQ(0, GetPalette(empty, red.data(), green.data(), blue.data()));
    del_gif_palette(empty);
    EXPECT_EQ(std::vector<int32_t>(256, -7), red);

    GifPalette *two = table({0xFF8001, 0x0A0B0C});
    EXPECT_EQ(1, GetPalette(two, red.data(), green.data(), blue.data()));
    del_gif_palette(two);
    EXPECT_EQ(0xFF, red[0]);
    EXPECT_EQ(0x80, green[0]);
    EXPECT_EQ(0x01, blue[0]);
    EXPECT_EQ(0x0C, blue[1]);
    EXPECT_EQ(-7, red[2]);

    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 300; i++)
        many.push_back((i & 0xFF) << 16 | (255 - (i & 0xFF)) << 8 | 0x42);
    GifPalette *big = table(many);
    // The arrays are exactly 256 long; the sanitizer sees any write past them.
    EXPECT_EQ(1, GetPalette(big, red.data(), green.data(), blue.data()));
    del_gif_palette(big);
    for (int32_t i = 0; i < 256; i++) {
        EXPECT_EQ(i, red[i]);
        EXPECT_EQ(255 - i, green[i]);
        EXPECT_EQ(0x42, blue[i]);
    }
}

TEST_F(PictureUnitTest, FindPaletteChoosesALocalTableWithEntriesWhateverItsFlag)
{
    std::vector<int32_t> red(256, -1), green(256, -1), blue(256, -1);
    EXPECT_EQ(0, FindPalette(nullptr, nullptr, red.data(), green.data(), blue.data()));

    Record file;
    file.global({0x111111, 0x222222});
    GifPicture *local = image(1, 1, {0}, {0xABCDEF, 0x000001});
    local->has_cmap = 0;
    file.add(local);
    EXPECT_EQ(1, FindPalette(local, file.gif, red.data(), green.data(), blue.data()));
    EXPECT_EQ(0xAB, red[0]);

    GifPicture *plain = image(1, 1, {0});
    plain->has_cmap = 1; // flag without entries: the global table is used
    file.add(plain);
    file.gif->screen->has_cmap = 0;
    EXPECT_EQ(1, FindPalette(plain, file.gif, red.data(), green.data(), blue.data()));
    EXPECT_EQ(0x11, red[0]);
    EXPECT_EQ(0x22, red[1]);

    red.assign(256, -1);
    EXPECT_EQ(0, FindPalette(plain, nullptr, red.data(), green.data(), blue.data()));
    Record bare;
    EXPECT_EQ(0, FindPalette(plain, bare.gif, red.data(), green.data(), blue.data()));
    EXPECT_EQ(std::vector<int32_t>(256, -1), red);
}

TEST_F(PictureUnitTest, APictureIsColouredThroughTheTableAndRecordsItsSize)
{
    Record file;
    GifPicture *pic = image(2, 1, {0, 1}, {0xFF0000, 0x0000FF});
    file.add(pic);
    Value picture = adopt(MakePictureFromGifPicture(file.gif, pic));
    ASSERT_FALSE(picture.isNil());
    EXPECT_EQ((std::vector<int64_t>{2, 1, 1, 6}), lastBuild());
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0, 0, 0, 0, 0xFF}), host.pixels(picture));
    EXPECT_EQ(2, LastWidth);
    EXPECT_EQ(1, LastHeight);

    // No table: nothing built, the recorded size stays.
    Record bare;
    GifPicture *plain = image(4, 3, std::vector<uint8_t>(12, 0));
    bare.add(plain);
    EXPECT_EQ(nullptr, MakePictureFromGifPicture(bare.gif, plain));
    EXPECT_EQ(nullptr, MakePictureFromGifPicture(file.gif, nullptr));
    EXPECT_EQ(2, LastWidth);
    EXPECT_EQ(1, LastHeight);
}

TEST_F(PictureUnitTest, AnImageWithoutRowsConvertsToNothing)
{
    Record file;
    file.global({0xFFFFFF, 0x000000});
    GifPicture *pic = new_gif_picture();
    pic->width = 3;
    pic->height = 2;
    file.add(pic);
    LastWidth = 77;
    EXPECT_EQ(nullptr, MakeMaskFromGifPicture(pic, 0));
    EXPECT_EQ(77, LastWidth);
    EXPECT_EQ(nullptr, MakePictureFromGifPicture(file.gif, pic));
    EXPECT_EQ(nullptr, MakePictureWithMask(file.gif, pic));
    const int32_t rgb[256] = {};
    EXPECT_EQ(nullptr, MakePictureFromGifPictureAndGifPalette(pic, rgb, rgb, rgb));
    // Its size is recorded all the same.
    EXPECT_EQ(3, LastWidth);
    EXPECT_EQ(2, LastHeight);

    // A single missing row stays black; the others are converted.
    GifPicture *holed = image(2, 2, {1, 0, 0, 1});
    free(holed->rows[0]);
    holed->rows[0] = nullptr;
    file.add(holed);
    Value picture = adopt(MakePictureFromGifPicture(file.gif, holed));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0}), host.pixels(picture));
}

// Every pixel of every row takes its three bytes, the row's last one too,
// and a missing row after a coloured one stays black: nothing spills over
// from one row into the next. Colour values keep their low byte.
TEST_F(PictureUnitTest, ColouringWritesExactlyEachPixelsThreeBytes)
{
    int32_t red[256], green[256], blue[256];
    for (int32_t i = 0; i < 256; i++) {
        red[i] = 0x100 + i;
        green[i] = 255 - i;
        blue[i] = (i * 37) & 0xFF;
    }
    for (int32_t width : {1, 2, 5, 33}) {
        const int32_t height = 4;
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height));
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = static_cast<uint8_t>(i * 97 + 11);
        GifPicture *pic = image(width, height, pixels);
        free(pic->rows[2]);
        pic->rows[2] = nullptr;
        std::vector<uint8_t> want;
        for (int32_t r = 0; r < height; r++)
            for (int32_t x = 0; x < width; x++) {
                const uint8_t i = pixels[static_cast<size_t>(r * width + x)];
                want.push_back(r == 2 ? 0 : static_cast<uint8_t>(red[i]));
                want.push_back(r == 2 ? 0 : static_cast<uint8_t>(green[i]));
                want.push_back(r == 2 ? 0 : static_cast<uint8_t>(blue[i]));
            }
        Value picture = adopt(MakePictureFromGifPictureAndGifPalette(pic, red, green, blue));
        EXPECT_EQ(want, host.pixels(picture)) << width;
        del_gif_picture(pic);
    }
}

TEST_F(PictureUnitTest, TheSizeIsRecordedBeforeTheWriterIsAskedForABuffer)
{
    const int32_t rgb[256] = {};
    // Height 0, as the reader leaves it: no rows at all.
    GifPicture *flat = new_gif_picture();
    flat->width = 5;
    LastWidth = LastHeight = 77;
    EXPECT_EQ(nullptr, MakePictureFromGifPictureAndGifPalette(flat, rgb, rgb, rgb));
    EXPECT_EQ(5, LastWidth);
    EXPECT_EQ(0, LastHeight);
    del_gif_picture(flat);

    // Rows present, but a buffer the writer refuses (beyond 32 bits).
    GifPicture *huge = new_gif_picture();
    huge->width = 65535;
    huge->height = 65535;
    huge->rows = static_cast<unsigned char **>(gif_alloc(65535 * static_cast<int32_t>(sizeof(unsigned char *))));
    ASSERT_NE(nullptr, huge->rows);
    EXPECT_EQ(nullptr, MakePictureFromGifPictureAndGifPalette(huge, rgb, rgb, rgb));
    EXPECT_EQ(65535, LastWidth);
    EXPECT_EQ(65535, LastHeight);
    del_gif_picture(huge);
}

// Which extension counts is tested through the host; here what no file shows.
TEST_F(PictureUnitTest, FindBGColorComparesImagesByIdentityAndSkipsHollowSubBlocks)
{
    const std::string gce("\x01\x00\x00\x05", 4);
    GifPicture *loose = image(1, 1, {5});
    EXPECT_EQ(-1, FindBGColor(nullptr, loose));
    Record file;
    file.add(nullptr, extension({gce}));
    EXPECT_EQ(-1, FindBGColor(file.gif, nullptr));
    file.add(image(1, 1, {5}));
    // Same content, different record.
    EXPECT_EQ(-1, FindBGColor(file.gif, loose));
    EXPECT_EQ(5, FindBGColor(file.gif, file.gif->blocks[1]->pic));
    del_gif_picture(loose);

    GifExtension *hollow = extension({gce, std::string("\x01\x00\x00\x06", 4)});
    free(hollow->data[0]->bytes);
    hollow->data[0]->bytes = nullptr;
    GifPicture *next = image(1, 1, {0});
    file.add(nullptr, hollow).add(next);
    EXPECT_EQ(6, FindBGColor(file.gif, next));
}

TEST_F(PictureUnitTest, MasksAreWhiteExactlyAtTheIndex)
{
    GifPicture *pic = image(3, 2, {5, 0, 5, 255, 5, 1});
    LastWidth = 11;
    for (int32_t index : {5, 255, 0, 300, -1, 256 + 5}) {
        Value mask = adopt(MakeMaskFromGifPicture(pic, index));
        ASSERT_FALSE(mask.isNil());
        EXPECT_EQ(3, host.width(mask));
        EXPECT_EQ(2, host.height(mask));
        std::vector<uint8_t> expected;
        for (int i = 0; i < 6; i++)
            expected.insert(expected.end(), 3, pic->rows[i / 3][i % 3] == index ? 0xFF : 0x00);
        EXPECT_EQ(expected, host.pixels(mask)) << index;
    }
    EXPECT_EQ(11, LastWidth);
    EXPECT_EQ(nullptr, MakeMaskFromGifPicture(nullptr, 0));
    del_gif_picture(pic);
}

} // namespace
