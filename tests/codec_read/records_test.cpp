// Records, their constructors and destructors, the heap wrappers and the
// byte source. Leaks show up under LeakSanitizer in the native build.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "codec/gif.h"
#include "support.h"

namespace {

using readtest::Bytes;

TEST(Records, NewGifIsAnEmptyGif87aFile) {
    Gif *gif = new_gif();
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(memcmp(gif->header, "GIF87a\0\0", 8), 0);
    EXPECT_EQ(gif->block_count, 0);
    EXPECT_EQ(gif->blocks, nullptr);
    ASSERT_NE(gif->screen, nullptr);
    ASSERT_NE(gif->screen->cmap, nullptr);
    EXPECT_EQ(gif->screen->cmap->length, 0);
    EXPECT_EQ(gif->screen->cmap->colours, nullptr);
    del_gif(gif);
}

TEST(Records, ConstructorsGiveZeroFilledRecords) {
    GifPicture *pic = new_gif_picture();
    ASSERT_NE(pic, nullptr);
    ASSERT_NE(pic->cmap, nullptr);
    EXPECT_EQ(pic->width | pic->height | pic->has_cmap | pic->cmap_depth | pic->cmap->length, 0);
    EXPECT_EQ(pic->rows, nullptr);
    del_gif_picture(pic);  // rows null: no rows freed

    GifData *data = new_gif_data(300);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->bytes, nullptr);
    EXPECT_EQ(data->length, 300);
    for (int i = 0; i < 300; i++) ASSERT_EQ(data->bytes[i], 0);
    del_gif_data(data);

    GifData *empty = new_gif_data(0);
    EXPECT_EQ(empty->length, 0);
    EXPECT_EQ(empty->bytes, nullptr);
    del_gif_data(empty);

    GifExtension *ext = new_gif_extension();
    EXPECT_EQ(ext->data_count, 0);
    del_gif_extension(ext);  // only the null array and the record

    GifDecoder *d = new_gif_decoder();
    EXPECT_EQ(d->root_size | d->next_code | d->pending, 0);
    del_gif_decoder(d);
    del_gif_encoder(new_gif_encoder());
    del_gif_block(new_gif_block());
}

TEST(Records, DestructorsFreeWholeSubtrees) {
    Gif *gif = new_gif();
    for (int i = 0; i < 3; i++) {
        GifBlock *block = new_gif_block();
        if (i == 1) {
            block->intro = 0x21;
            block->ext = new_gif_extension();
            block->ext->data = static_cast<GifData **>(gif_alloc(2 * (int32_t)sizeof(GifData *)));
            block->ext->data[0] = new_gif_data(4);
            block->ext->data[1] = new_gif_data(255);
            block->ext->data_count = 2;
        } else {
            block->intro = 0x2C;
            block->pic = new_gif_picture();
            block->pic->height = 3;
            block->pic->width = 5;
            block->pic->rows = static_cast<unsigned char **>(gif_alloc(3 * (int32_t)sizeof(unsigned char *)));
            for (int r = 0; r < 3; r++) block->pic->rows[r] = static_cast<unsigned char *>(gif_alloc(5));
            block->pic->cmap->length = 4;
            block->pic->cmap->colours = static_cast<Colour *>(gif_alloc(16));
        }
        gif->blocks = static_cast<GifBlock **>(app_realloc(gif->blocks, (i + 1) * (int32_t)sizeof(GifBlock *)));
        gif->blocks[gif->block_count++] = block;
    }
    del_gif(gif);
}

TEST(Records, DestructorsTakeWhatAnExhaustedHeapLeavesBehind) {
    del_gif(nullptr);
    del_gif_picture(nullptr);
    del_gif_data(nullptr);
    Gif *gif = new_gif();
    del_gif_screen(gif->screen);
    gif->screen = nullptr;
    del_gif(gif);
    GifPicture *pic = new_gif_picture();
    del_gif_palette(pic->cmap);
    pic->cmap = nullptr;
    del_gif_picture(pic);
}

TEST(Heap, SizesBeyondTheHeapAreRefusedNotWrapped) {
    // Negative sizes (a product that overflowed) and counts whose bytes
    // exceed 32 bits never reach the heap as a wrapped, smaller size.
    EXPECT_EQ(gif_alloc(-1), nullptr);
    EXPECT_EQ(gif_alloc(INT32_MIN), nullptr);
    EXPECT_EQ(app_realloc(nullptr, -4), nullptr);
    GifData *d = new_gif_data(-7);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->length, 0);
    EXPECT_EQ(d->bytes, nullptr);
    del_gif_data(d);

    const unsigned char rgb[6] = {1, 2, 3, 4, 5, 6};
    for (int32_t length : {INT32_MAX / 4 + 1, INT32_MAX}) {
        GifPalette *p = new_gif_palette();
        p->length = length;
        GifStream s = {rgb, 6, 0, nullptr};
        read_gif_palette(&s, p);
        EXPECT_EQ(p->length, 0) << length;
        EXPECT_EQ(p->colours, nullptr) << length;
        EXPECT_EQ(s.stream_pos, 0) << length;
        del_gif_palette(p);
    }
}

TEST(Heap, AllocZeroFillsAndReallocKeepsContent) {
    unsigned char *p = static_cast<unsigned char *>(gif_alloc(1000));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 1000; i++) ASSERT_EQ(p[i], 0);
    memset(p, 7, 1000);
    p = static_cast<unsigned char *>(app_realloc(p, 5000));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 1000; i++) ASSERT_EQ(p[i], 7);
    free(p);

    // Null only ever means exhaustion: zero bytes are a block too.
    void *none = gif_alloc(0);
    EXPECT_NE(none, nullptr);
    none = app_realloc(none, 0);
    EXPECT_NE(none, nullptr);
    free(none);
    EXPECT_EQ(gif_alloc(-1), nullptr);
}

TEST(ByteSource, MemoryStreamReadsZerosAtItsEnd) {
    const unsigned char bytes[] = {0x34, 0x12, 0xFF};
    GifStream s = {bytes, 3, 0, nullptr};
    EXPECT_EQ(read_gif_int(&s), 0x1234);
    EXPECT_EQ(read_gif_int(&s), 0x00FF);  // high byte past the end
    EXPECT_EQ(s.stream_pos, 3);
    EXPECT_EQ(read_gif_int(&s), 0);
    EXPECT_EQ(s.stream_pos, 3);

    GifStream nothing = {nullptr, 0, 0, nullptr};
    EXPECT_EQ(read_gif_int(&nothing), 0);
    EXPECT_EQ(nothing.stream_pos, 0);

    // A position outside the buffer is its end, not a read out of bounds.
    GifStream past = {bytes, 3, 5, nullptr};
    EXPECT_EQ(read_gif_int(&past), 0);
    EXPECT_EQ(past.stream_pos, 5);
    GifStream before = {bytes, 3, -2, nullptr};
    EXPECT_EQ(read_gif_int(&before), 0);
}

TEST(ByteSource, FileTakesPrecedenceAndReadsZerosAtItsEnd) {
    FILE *f = tmpfile();
    ASSERT_NE(f, nullptr);
    fputc(0x01, f);
    fputc(0x02, f);
    fputc(0x03, f);
    rewind(f);
    const unsigned char bytes[] = {0xAA, 0xBB};
    GifStream s = {bytes, 2, 0, f};
    EXPECT_EQ(read_gif_int(&s), 0x0201);
    EXPECT_EQ(read_gif_int(&s), 0x0003);
    EXPECT_EQ(read_gif_int(&s), 0);
    EXPECT_EQ(s.stream_pos, 0);
    fclose(f);
}

TEST(ByteSource, SubBlocksAtTheEndOfTheInputAreZeroPadded) {
    // A data sub-block that claims more bytes than the input holds.
    const unsigned char cut[] = {5, 'a', 'b'};
    GifStream s = {cut, 3, 0, nullptr};
    GifData *d = read_gif_data(&s);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->length, 5);
    EXPECT_EQ(memcmp(d->bytes, "ab\0\0\0", 5), 0);
    del_gif_data(d);
    EXPECT_EQ(read_gif_data(&s), nullptr);
}

}  // namespace
