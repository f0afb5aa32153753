// The container reader: signature, screen and image descriptors, colour
// tables, extensions, block list, early ends.
#include <gtest/gtest.h>
#include <string.h>

#include "codec/gif.h"
#include "support.h"

namespace {

using readtest::Bytes;
using readtest::GifBytes;
using readtest::GifPtr;
using readtest::read_memory;

// A 2x2 image, all pixels 1: clear, 1, 6, end with root size 2.
Bytes tiny_image_data() {
    readtest::CodeWriter w(2);
    for (int code : {4, 1, 6, 1, 5}) w.put(code);
    return w.image_data();
}

TEST(Signature, OnlyTheThreeLettersAreChecked) {
    GifPtr gif = read_memory(GifBytes().text("GIF89a").b);
    EXPECT_EQ(memcmp(gif->header, "GIF89a\0\0", 8), 0);
    EXPECT_EQ(gif->screen->cmap_depth, 1);  // packed byte 0 still gives depth 1
    EXPECT_EQ(gif->screen->color_res, 1);
    EXPECT_EQ(gif->screen->width, 0);
    EXPECT_EQ(gif->block_count, 0);

    GifPtr odd_version = read_memory(GifBytes().text("GIF?!x").screen(5, 6, 0).b);
    EXPECT_EQ(odd_version->screen->width, 5);

    for (const char *bad : {"gif89a", "GIf89a", "XIF89a", "GI", ""}) {
        Bytes bytes = GifBytes().text(bad).screen(5, 6, 0x80).table(2).b;
        GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, nullptr};
        GifPtr bad_gif(new_gif());
        read_gif(&s, bad_gif.get());
        EXPECT_EQ(s.stream_pos, bytes.size() < 6 ? (int)bytes.size() : 6) << bad;
        EXPECT_EQ(bad_gif->screen->width, 0) << bad;
        EXPECT_EQ(bad_gif->screen->cmap_depth, 0) << bad;
    }
}

TEST(Screen, PackedByteAndGlobalTable) {
    Bytes bytes = GifBytes().text("GIF87a").screen(0x1234, 0xFFFF, 0xF7, 9, 49).table(256, 3).byte(0x3B).b;
    GifPtr gif = read_memory(bytes);
    const GifScreen *s = gif->screen;
    EXPECT_EQ(s->width, 0x1234);
    EXPECT_EQ(s->height, 0xFFFF);
    EXPECT_EQ(s->has_cmap, 1);
    EXPECT_EQ(s->color_res, 8);
    EXPECT_EQ(s->sorted, 0);
    EXPECT_EQ(s->cmap_depth, 8);
    EXPECT_EQ(s->bgcolour, 9);
    EXPECT_EQ(s->aspect, 49);
    ASSERT_EQ(s->cmap->length, 256);
    for (int i = 0; i < 256; i++) {
        const unsigned char *entry = &bytes[13 + 3 * i];
        const Colour &c = s->cmap->colours[i];
        ASSERT_EQ(c.alpha, 0);
        ASSERT_EQ(c.red, entry[0]);
        ASSERT_EQ(c.green, entry[1]);
        ASSERT_EQ(c.blue, entry[2]);
    }
    EXPECT_EQ(gif->block_count, 0);

    GifPtr plain = read_memory(GifBytes().text("GIF87a").screen(1, 1, 0x2A).b);
    EXPECT_EQ(plain->screen->has_cmap, 0);
    EXPECT_EQ(plain->screen->color_res, 3);
    EXPECT_EQ(plain->screen->sorted, 1);
    EXPECT_EQ(plain->screen->cmap_depth, 3);
    EXPECT_EQ(plain->screen->cmap->length, 0);
}

TEST(Screen, FileCutInsideTheGlobalTable) {
    Bytes bytes = GifBytes().text("GIF87a").screen(4, 4, 0x81).table(4, 5).b;
    bytes.resize(13 + 5);  // one entry and two bytes of the next
    GifPtr gif = read_memory(bytes);
    ASSERT_EQ(gif->screen->cmap->length, 4);
    const Colour *c = gif->screen->cmap->colours;
    EXPECT_EQ(c[1].red, bytes[16]);
    EXPECT_EQ(c[1].green, bytes[17]);
    EXPECT_EQ(c[1].blue, 0);
    EXPECT_EQ(c[3].red | c[3].green | c[3].blue, 0);
    EXPECT_EQ(gif->block_count, 0);
}

TEST(ImageDescriptor, PackedByteFields) {
    struct Case {
        int packed, has_cmap, interlace, sorted, reserved, depth;
    } cases[] = {{0x00, 0, 0, 0, 0, 0}, {0x07, 0, 0, 0, 0, 0}, {0x18, 0, 0, 0, 3, 0},
                 {0x40, 0, 1, 0, 0, 0}, {0xA2, 1, 0, 1, 0, 3}, {0xFF, 1, 1, 1, 3, 8}};
    for (const Case &c : cases) {
        GifBytes b;
        b.text("GIF89a").screen(9, 9, 0).image(3, 0x102, 2, 2, c.packed);
        if (c.has_cmap) b.table(1 << c.depth, 7);
        GifPtr gif = read_memory(b.raw(tiny_image_data()).byte(0x3B).b);
        ASSERT_EQ(gif->block_count, 1);
        const GifPicture *p = gif->blocks[0]->pic;
        EXPECT_EQ(gif->blocks[0]->intro, 0x2C);
        EXPECT_EQ(p->left, 3);
        EXPECT_EQ(p->top, 0x102);
        EXPECT_EQ(p->has_cmap, c.has_cmap) << c.packed;
        EXPECT_EQ(p->interlace, c.interlace) << c.packed;
        EXPECT_EQ(p->sorted, c.sorted) << c.packed;
        EXPECT_EQ(p->reserved, c.reserved) << c.packed;
        EXPECT_EQ(p->cmap_depth, c.depth) << c.packed;
        EXPECT_EQ(p->cmap->length, c.has_cmap ? 1 << c.depth : 0);
        EXPECT_EQ(readtest::pixels_of(p), Bytes(4, 1)) << c.packed;
    }
}

TEST(Extensions, LabelAndSubBlocksInOrder) {
    GifPtr gif = read_memory(GifBytes()
                                 .text("GIF89a")
                                 .screen(1, 1, 0)
                                 .extension(0xF9, {{1, 2, 3, 4}})
                                 .extension(0xFE, {})
                                 .extension(0x00, {Bytes(255, 'a'), {'b'}, Bytes(17, 'c')})
                                 .byte(0x3B)
                                 .b);
    ASSERT_EQ(gif->block_count, 3);
    const GifExtension *gce = gif->blocks[0]->ext;
    EXPECT_EQ(gif->blocks[0]->intro, 0x21);
    EXPECT_EQ(gif->blocks[0]->pic, nullptr);
    EXPECT_EQ(gce->marker, 0xF9);
    ASSERT_EQ(gce->data_count, 1);
    EXPECT_EQ(gce->data[0]->length, 4);
    EXPECT_EQ(memcmp(gce->data[0]->bytes, "\1\2\3\4", 4), 0);

    EXPECT_EQ(gif->blocks[1]->ext->data_count, 0);
    EXPECT_EQ(gif->blocks[1]->ext->data, nullptr);

    const GifExtension *three = gif->blocks[2]->ext;
    EXPECT_EQ(three->marker, 0);
    ASSERT_EQ(three->data_count, 3);
    EXPECT_EQ(three->data[0]->length, 255);
    EXPECT_EQ(three->data[1]->bytes[0], 'b');
    EXPECT_EQ(three->data[2]->length, 17);
}

TEST(BlockList, TrailerAndOtherIntroducersEndTheList) {
    Bytes two = GifBytes().text("GIF89a").screen(2, 2, 0).extension(0xFE, {{'x'}}).image(0, 0, 2, 2, 0).raw(tiny_image_data()).b;

    Bytes with_trailer = GifBytes{two}.byte(0x3B).text("GIF89a junk").b;
    GifStream s = {with_trailer.data(), (int32_t)with_trailer.size(), 0, nullptr};
    GifPtr gif(new_gif());
    read_gif(&s, gif.get());
    EXPECT_EQ(gif->block_count, 2);  // the trailer is not stored
    EXPECT_EQ(s.stream_pos, (int)two.size() + 1);  // nothing after it is read

    EXPECT_EQ(read_memory(two)->block_count, 2);  // no trailer at all
    GifPtr stray = read_memory(GifBytes{two}.byte(0x2B).raw(GifBytes().extension(1, {{'y'}}).b).b);
    EXPECT_EQ(stray->block_count, 2);
}

TEST(BlockList, OnePictureStopsAfterTheFirstImage) {
    Bytes first = GifBytes()
                      .text("GIF89a")
                      .screen(2, 2, 0)
                      .extension(0xF9, {{0, 0, 0, 0}})
                      .image(0, 0, 2, 2, 0)
                      .raw(tiny_image_data())
                      .b;
    Bytes all = GifBytes{first}.image(0, 0, 2, 2, 0).raw(tiny_image_data()).byte(0x3B).b;
    GifStream s = {all.data(), (int32_t)all.size(), 0, nullptr};
    GifPtr gif(new_gif());
    read_one_gif_picture(&s, gif.get());
    ASSERT_EQ(gif->block_count, 2);
    EXPECT_EQ(gif->blocks[0]->intro, 0x21);
    EXPECT_EQ(gif->blocks[1]->intro, 0x2C);
    EXPECT_EQ(s.stream_pos, (int)first.size());
    EXPECT_EQ(read_memory(all)->block_count, 3);

    // A trailer before any image ends it as well.
    EXPECT_EQ(read_memory(GifBytes().text("GIF89a").screen(1, 1, 0).byte(0x3B).b, true)->block_count, 0);
}

TEST(SingleStructures, ReadOnTheirOwn) {
    Bytes bytes = GifBytes().screen(3, 4, 0x91, 2, 0).table(4).extension(0x42, {{'h', 'i'}}).b;
    GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, nullptr};
    GifScreen *screen = new_gif_screen();
    read_gif_screen(&s, screen);
    EXPECT_EQ(screen->height, 4);
    EXPECT_EQ(screen->cmap->length, 4);
    EXPECT_EQ(s.stream_pos, 7 + 12);
    GifBlock *block = new_gif_block();
    read_gif_block(&s, block);
    ASSERT_NE(block->ext, nullptr);
    EXPECT_EQ(block->ext->marker, 0x42);
    EXPECT_EQ(block->ext->data_count, 1);
    EXPECT_EQ(s.stream_pos, (int)bytes.size());
    del_gif_block(block);
    del_gif_screen(screen);

    GifPalette *none = new_gif_palette();
    read_gif_palette(&s, none);  // length 0: nothing read, nothing made
    EXPECT_EQ(none->colours, nullptr);
    del_gif_palette(none);
}

// Every cut of a file with a global table, an extension, two images (one
// interlaced, one with a local table) must read like the plain reader's
// reading of it, from memory and through a file alike.
TEST(Truncation, EveryCutOfAFile) {
    Bytes pixels(7 * 9);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (unsigned char)(i * 5 % 7);
    Bytes full = GifBytes()
                     .text("GIF89a")
                     .screen(10, 10, 0xF2)
                     .table(8)
                     .extension(0xFE, {Bytes(20, 'c'), Bytes(3, 'd')})
                     .image(1, 1, 7, 9, 0x40)
                     .raw(readtest::lzw_image_data(pixels, 3, false, 7))
                     .image(0, 0, 9, 7, 0x81)
                     .table(4, 9)
                     .raw(readtest::lzw_image_data(Bytes(63, 3), 2))
                     .byte(0x3B)
                     .b;
    for (size_t n = 0; n <= full.size(); n++) {
        Bytes cut(full.begin(), full.begin() + (long)n);
        GifPtr ours = read_memory(cut);
        GifPtr plain = readtest::reference_read(cut);
        ASSERT_EQ(readtest::gif_difference(ours.get(), plain.get()), "") << "cut at " << n;
        ASSERT_EQ(readtest::gif_difference(ours.get(), readtest::read_through_file(cut).get()), "") << n;
    }
    EXPECT_EQ(read_memory(full)->block_count, 3);
}

}  // namespace
