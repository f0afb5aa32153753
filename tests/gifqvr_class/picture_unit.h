// The fixture and helpers of the picture unit tests: the picture writer,
// the mask primitives and the GIF-to-picture operations called directly,
// with the host bridge compiled in and the stand-in host behind it; some
// host services can be made to fail.
#ifndef GIFQVR_TESTS_GIFQVR_CLASS_PICTURE_UNIT_H
#define GIFQVR_TESTS_GIFQVR_CLASS_PICTURE_UNIT_H

#include "picture/picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin_host/standin_host.h"

namespace picture_unit {

using standin::Host;
using standin::Kind;
using standin::Snapshot;
using standin::Value;

// Set to make the host service of that name fail.
extern bool gNoPicture, gNoMask, gNoGraphics, gNoMethod;
extern int gMethodAsks;
// Handles in the order the plug-in unlocked them, and the last mask and
// graphics the host gave it.
extern std::vector<void *> gUnlocked;
extern void *gLastMask, *gLastGraphics;

// Puts the failing services in place and starts the plug-in, once.
void startHost();

// `pixels` RGB triples of one colour.
std::vector<uint8_t> solid(size_t pixels, uint32_t rgb);

// Codec records built by hand, freed by the codec's destructors.
GifPalette *table(const std::vector<uint32_t> &colours);
GifPicture *image(int32_t width, int32_t height, const std::vector<uint8_t> &pixels,
                  const std::vector<uint32_t> &local = {});
GifExtension *extension(const std::vector<std::string> &subBlocks);

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
    static void SetUpTestSuite() { startHost(); }
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

} // namespace picture_unit

#endif
