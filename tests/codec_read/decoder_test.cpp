// The image reader and LZW decoder: codes and their widths, strings, rows,
// interlace, defects and their limits.
#include <gtest/gtest.h>
#include <string.h>

#include "codec/gif.h"
#include "support.h"

namespace {

using readtest::Bytes;
using readtest::CodeWriter;
using readtest::GifBytes;
using readtest::GifPtr;
using readtest::read_memory;

// A file with one image of the given size whose data is `data`, followed by
// a comment extension that must be read as the second block.
Bytes one_image(int width, int height, const Bytes &data, int packed = 0) {
    return GifBytes()
        .text("GIF89a")
        .screen(width, height, 0)
        .image(0, 0, width, height, packed)
        .raw(data)
        .extension(0xFE, {{'o', 'k'}})
        .byte(0x3B)
        .b;
}

Bytes codes(int root, std::initializer_list<int> list, int block = 255) {
    CodeWriter w(root);
    for (int c : list) w.put(c);
    return w.image_data(block);
}

// Pixels of the only image, checking that the block after it was found.
Bytes decode(const Bytes &file) {
    GifPtr gif = read_memory(file);
    EXPECT_EQ(gif->block_count, 2);
    if (gif->block_count != 2) return Bytes();
    EXPECT_EQ(gif->blocks[1]->ext->marker, 0xFE);
    return readtest::pixels_of(gif->blocks[0]->pic);
}

TEST(ImageData, SinglePixelExample) {
    const Bytes one = {0x02, 0x02, 0x4C, 0x01, 0x00};
    GifPicture *pic = new_gif_picture();
    Bytes bytes = GifBytes().word(0).word(0).word(1).word(1).byte(0).raw(one).b;
    GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, nullptr};
    read_gif_picture(&s, pic);
    ASSERT_NE(pic->rows, nullptr);
    EXPECT_EQ(pic->rows[0][0], 1);
    EXPECT_EQ(s.stream_pos, (int)bytes.size());  // after the terminator
    del_gif_picture(pic);

    EXPECT_EQ(decode(one_image(1, 1, {0x02, 0x02, 0x44, 0x01, 0x00})), Bytes{0});
}

TEST(CodeWidth, WidensAfterEntry511AndNarrowsAfterAClear) {
    // Root 8, straight after initialisation (as after a clear code): the
    // 255 codes up to the one defining entry 511 are 9 bits, the next 10.
    CodeWriter bits(8);
    for (int k = 1; k <= 255; k++) bits.put_bits(k % 200, 9);
    bits.put_bits(1000, 10);
    bits.put_bits(256, 10);
    Bytes data = bits.image_data();
    GifStream s = {data.data(), (int32_t)data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder();
    init_gif_decoder(&s, d);
    EXPECT_EQ(d->clear_code, 256);
    EXPECT_EQ(d->code_width, 9);
    for (int k = 1; k <= 255; k++) ASSERT_EQ(read_gif_code(&s, d), k % 200) << k;
    EXPECT_EQ(d->code_width, 10);
    EXPECT_EQ(read_gif_code(&s, d), 1000);
    EXPECT_EQ(read_gif_code(&s, d), 256);
    del_gif_decoder(d);

    // Through read_gif_line, which resets the width on the clear code.
    CodeWriter w(8);
    w.put(256);
    for (int k = 1; k <= 256; k++) w.put(k % 256);
    w.put(256);
    for (int k = 0; k < 3; k++) w.put(255 - k);
    w.put(257);
    Bytes expect;
    for (int k = 1; k <= 256; k++) expect.push_back((unsigned char)(k % 256));
    for (int k = 0; k < 3; k++) expect.push_back((unsigned char)(255 - k));
    EXPECT_EQ(decode(one_image(259, 1, w.image_data())), expect);
}

TEST(CodeWidth, RootTwoWidensAtTheFourthCode) {
    // After initialisation: three 3-bit codes, then 4-bit ones.
    const unsigned bits = 1 | 2 << 3 | 3 << 6 | 0xBu << 9;
    Bytes data = {2, 2, (unsigned char)bits, (unsigned char)(bits >> 8), 0};
    GifStream s = {data.data(), (int32_t)data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder();
    init_gif_decoder(&s, d);
    for (int want : {1, 2, 3}) EXPECT_EQ(read_gif_code(&s, d), want);
    EXPECT_EQ(d->code_width, 4);
    EXPECT_EQ(read_gif_code(&s, d), 0xB);
    EXPECT_EQ(read_gif_code(&s, d), 0);  // past the terminator: zero bits
    EXPECT_EQ(d->blocks_done, 1);
    del_gif_decoder(d);

    // Through rows, where a clear code starts the count again.
    EXPECT_EQ(decode(one_image(6, 1, codes(2, {4, 1, 2, 3, 4, 3, 2, 1, 5}))), (Bytes{1, 2, 3, 3, 2, 1}));
}

TEST(Strings, KwKwK) {
    EXPECT_EQ(decode(one_image(3, 1, codes(2, {4, 0, 6, 5}))), (Bytes{0, 0, 0}));
    // A longer one: 1, 2, then 6 = "1 2", then 8 = "1 2" + its own first pixel.
    EXPECT_EQ(decode(one_image(8, 1, codes(2, {4, 1, 2, 6, 8, 5}))), (Bytes{1, 2, 1, 2, 1, 2, 1, 0}));
}

TEST(Strings, PixelCodesAbove255KeepTheirLow8Bits) {
    // Root 9: 300 and 301 are pixels 44 and 45; 514 is "300 301".
    EXPECT_EQ(decode(one_image(7, 1, codes(9, {512, 300, 301, 514, 300, 1, 513}))),
              (Bytes{44, 45, 44, 45, 44, 1, 0}));
    EXPECT_EQ(decode(one_image(3, 1, codes(11, {2048, 2047, 2050, 2049}))), (Bytes{255, 255, 255}));
}

TEST(Strings, SurplusPixelsStartTheNextRow) {
    // Rows of 3: 1, 2, then "1 2" across the row end, then 3, 0.
    Bytes data = codes(2, {4, 1, 2, 6, 3, 0, 5});
    EXPECT_EQ(decode(one_image(3, 2, data)), (Bytes{1, 2, 1, 2, 3, 0}));

    // Row by row: the pixel that did not fit waits on the stack.
    GifStream s = {data.data(), (int32_t)data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder();
    init_gif_decoder(&s, d);
    unsigned char row[3];
    read_gif_line(&s, d, row, 3);
    EXPECT_EQ(d->pending, 1);
    EXPECT_EQ(Bytes(row, row + 3), (Bytes{1, 2, 1}));
    read_gif_line(&s, d, row, 1);  // a row of just the waiting pixel
    EXPECT_EQ(row[0], 2);
    EXPECT_EQ(d->pending, 0);
    del_gif_decoder(d);

    // A string longer than several rows.
    EXPECT_EQ(decode(one_image(3, 13, readtest::lzw_image_data(Bytes(39, 3), 2))), Bytes(39, 3));
}

TEST(Interlace, RowsComeInPassOrder) {
    // Row k of the data is all k: the display rows show the order.
    const int height = 10, width = 3;
    Bytes in_data_order;
    for (int k = 0; k < height; k++) in_data_order.insert(in_data_order.end(), width, (unsigned char)k);
    Bytes px = decode(one_image(width, height, readtest::lzw_image_data(in_data_order, 4), 0x40));
    const int order[height] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};  // display row read k-th
    ASSERT_EQ(px.size(), (size_t)(width * height));
    for (int k = 0; k < height; k++) EXPECT_EQ(px[(size_t)order[k] * width], k) << "data row " << k;

    EXPECT_EQ(decode(one_image(2, 1, codes(2, {4, 3, 2, 5}), 0x40)), (Bytes{3, 2}));
}

TEST(EndCode, EarlyEndLeavesTheRestZero) {
    // 4x4, root 2: rows 0 and 1 as single pixels, then the end code, zero
    // bits to the end of the sub-block, the terminator.
    CodeWriter w(2);
    w.put(4);
    for (int p : {1, 2, 3, 1, 2, 3, 1, 2}) w.put(p);
    w.put(5);
    w.put_bits(0, 16);
    Bytes file = one_image(4, 4, w.image_data());
    GifStream s = {file.data(), (int32_t)file.size(), 0, nullptr};
    GifPtr gif(new_gif());
    read_one_gif_picture(&s, gif.get());
    Bytes want = {1, 2, 3, 1, 2, 3, 1, 2};
    want.resize(16, 0);
    EXPECT_EQ(readtest::pixels_of(gif->blocks[0]->pic), want);
    EXPECT_EQ(file[(size_t)s.stream_pos], 0x21);  // after the terminator
}

TEST(DataSubBlocks, SurplusSubBlocksAreSkipped) {
    Bytes data = codes(2, {4, 1, 1, 5});
    data.pop_back();  // the terminator
    for (int k = 0; k < 3; k++) data.insert(data.end(), {4, 0x2C, 0x21, 0x3B, 0x00});
    data.push_back(0);
    EXPECT_EQ(decode(one_image(2, 1, data)), (Bytes{1, 1}));
    // Codes that span sub-blocks of one byte each.
    EXPECT_EQ(decode(one_image(8, 1, codes(2, {4, 1, 2, 6, 8, 5}, 1))), (Bytes{1, 2, 1, 2, 1, 2, 1, 0}));
}

TEST(Defects, UndefinedCodeStopsTheRowOnly) {
    // clear, 1, 7 (undefined and not the entry being defined): row 0 stops
    // after one pixel; row 1 reads on.
    EXPECT_EQ(decode(one_image(4, 2, codes(2, {4, 1, 7, 2, 3, 2, 3, 5}))), (Bytes{1, 0, 0, 0, 2, 3, 2, 3}));
}

TEST(Defects, EntryBeingDefinedWithoutAPreviousCode) {
    // After the stop in row 0 there is no previous code; row 1 starts with
    // the code of the entry being defined, which has no string: it stops.
    // A clear code after a clear code clears again; row 2 decodes.
    Bytes px = decode(one_image(2, 3, codes(2, {4, 7, 6, 4, 4, 1, 6, 5})));
    EXPECT_EQ(px, (Bytes{0, 0, 0, 0, 1, 1}));
}

TEST(Defects, StoppedRowDoesNotReplayItsPixels) {
    // Row 0 ends inside "1 2"; row 1 gets the waiting 2, then hits an
    // undefined code. Row 2 must not see the waiting pixel again.
    Bytes file = one_image(3, 3, codes(2, {4, 1, 2, 6, 11, 3, 3, 3, 5}));
    EXPECT_EQ(decode(file), (Bytes{1, 2, 1, 2, 0, 0, 3, 3, 3}));
    EXPECT_EQ(readtest::gif_difference(read_memory(file).get(), readtest::reference_read(file).get()), "");
}

TEST(Defects, MinimumCodeSizeAbove11CountsAsEmptyData) {
    for (int root : {12, 13, 200, 255}) {
        Bytes data = {(unsigned char)root, 3, 0xFF, 0xFF, 0xFF, 2, 0x2C, 0x3B, 0};
        EXPECT_EQ(decode(one_image(5, 2, data)), Bytes(10, 0)) << root;
    }
    // The exported decoder reads zeros from such data.
    Bytes data = {12, 1, 0xFF, 0};
    GifStream s = {data.data(), (int32_t)data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder();
    init_gif_decoder(&s, d);
    EXPECT_EQ(s.stream_pos, (int)data.size());
    unsigned char row[4] = {9, 9, 9, 9};
    read_gif_line(&s, d, row, 4);
    EXPECT_EQ(Bytes(row, row + 4), Bytes(4, 0));
    EXPECT_EQ(read_gif_code(&s, d), 0);
    del_gif_decoder(d);
}

TEST(Defects, ImagesWithoutPixelsSkipTheirData) {
    Bytes data = codes(2, {4, 1, 1, 1, 5});
    data.insert(data.end() - 1, {3, 0x2C, 0x21, 0x3B});  // would read as blocks
    for (auto size : {std::make_pair(0, 3), std::make_pair(3, 0), std::make_pair(0, 0)}) {
        GifPtr gif = read_memory(one_image(size.first, size.second, data));
        ASSERT_EQ(gif->block_count, 2);
        EXPECT_EQ(gif->blocks[0]->pic->height, size.second);
        EXPECT_EQ(gif->blocks[1]->ext->marker, 0xFE);
        if (size.second == 0) {
            EXPECT_EQ(gif->blocks[0]->pic->rows, nullptr);
        }
    }
}

TEST(Defects, ExportedDecoderRefusesAnUnusableRecord) {
    Bytes data = codes(2, {4, 1, 5});
    GifStream s = {data.data(), (int32_t)data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder();  // never initialised
    unsigned char row[2] = {7, 7};
    read_gif_line(&s, d, row, 2);
    EXPECT_EQ(Bytes(row, row + 2), Bytes(2, 0));
    init_gif_decoder(&s, d);
    d->pending = 5000;
    read_gif_line(&s, d, row, 2);
    d->pending = 0;
    d->code_width = 13;
    EXPECT_EQ(read_gif_code(&s, d), 0);
    del_gif_decoder(d);
}

// Random images of every root size and shape, encoded with clear codes on a
// full table and with the table kept full instead (valid GIF: a decoder
// goes on without new entries), must come back unchanged.
TEST(RoundTrip, RandomImagesWithAndWithoutDeferredClear) {
    uint32_t seed = 12345;
    auto rnd = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int root = 2; root <= 8; root++) {
        for (int shape = 0; shape < 4; shape++) {
            int width = 1 + (int)(rnd() % 150), height = 1 + (int)(rnd() % 90);
            bool interlace = shape & 1;
            Bytes px((size_t)width * (size_t)height);
            int run = 1 + (int)(rnd() % 12);
            for (size_t i = 0; i < px.size(); i++)
                px[i] = (unsigned char)(i % (size_t)run == 0 || rnd() % 4 == 0 ? rnd() % (1u << root) : px[i - 1]);
            Bytes in_data_order;
            for (int r : readtest::file_row_order(height, interlace))
                in_data_order.insert(in_data_order.end(), px.begin() + (long)r * width, px.begin() + (long)(r + 1) * width);
            for (bool defer : {false, true}) {
                int block = shape >= 2 ? 1 + (int)(rnd() % 255) : 255;
                Bytes file = one_image(width, height, readtest::lzw_image_data(in_data_order, root, defer, block),
                                       interlace ? 0x40 : 0);
                ASSERT_EQ(decode(file), px) << root << " " << width << "x" << height << " defer " << defer;
                GifPtr ours = read_memory(file);
                EXPECT_EQ(readtest::gif_difference(ours.get(), readtest::read_row_by_row(file).get()), "");
                EXPECT_EQ(readtest::gif_difference(ours.get(), readtest::read_through_file(file).get()), "");
            }
        }
    }
}

// Deferred clear that keeps the table full for long: a 256-colour noise
// image fills 4096 entries after a few thousand pixels.
TEST(RoundTrip, LongRunWithAFullTable) {
    Bytes px(200 * 150);
    uint32_t x = 7;
    for (auto &p : px) p = (unsigned char)((x = x * 1664525u + 1013904223u) >> 24);
    EXPECT_EQ(decode(one_image(200, 150, readtest::lzw_image_data(px, 8, true))), px);
    EXPECT_EQ(decode(one_image(200, 150, readtest::lzw_image_data(px, 8, false))), px);
}

TEST(UsedUpData, HugeImageFromATinyFileReadsAsDecodingOnWould) {
    // 60000 x 40 from a handful of codes: the rest is zeros. A table that
    // fills up on the zero codes must not change that.
    Bytes file = one_image(60000, 40, codes(2, {4, 1, 2, 3, 6, 7}));
    GifPtr gif = read_memory(file);
    ASSERT_EQ(gif->block_count, 2);
    Bytes px = readtest::pixels_of(gif->blocks[0]->pic);
    EXPECT_EQ(Bytes(px.begin(), px.begin() + 8), (Bytes{1, 2, 3, 1, 2, 2, 3, 0}));
    EXPECT_EQ(readtest::gif_difference(gif.get(), readtest::reference_read(file).get()), "");

    // Data cut off with bits still set: those still decode.
    Bytes cut = one_image(300, 30, readtest::lzw_image_data(Bytes(9000, 1), 2));
    cut.resize(40);
    EXPECT_EQ(readtest::gif_difference(read_memory(cut).get(), readtest::reference_read(cut).get()), "");
}

}  // namespace
