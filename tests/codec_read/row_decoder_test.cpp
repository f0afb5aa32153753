// The exported row decoder: after every call its record holds what the
// plain decoder's does, also once the data is used up, and the previous
// code that an end code one pixel short of the row keeps.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "codec/gif.h"
#include "support.h"

namespace {

using readtest::Bytes;
using readtest::CodeWriter;
using readtest::row_decoder_difference;

Bytes noise(size_t n, int root, unsigned seed) {
    Bytes out(n);
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        // Runs of repeats now and then, so that long strings occur.
        out[i] = (unsigned char)((seed >> 16) % 7 == 0 && i > 0 ? out[i - 1] : (seed >> 20) & ((1u << root) - 1));
    }
    return out;
}

std::vector<int> rows_of(int length, int count) { return std::vector<int>((size_t)count, length); }

// Rows that mostly repeat the row two above, a little shifted, so that
// strings stand in rows decoded long before.
Bytes repeating_rows(int width, int height, unsigned seed) {
    Bytes out = noise((size_t)width * 2, 6, seed);
    for (int r = 2; r < height; r++)
        for (int x = 0; x < width; x++) {
            seed = seed * 1103515245u + 12345u;
            size_t above = (size_t)(r - 2) * (size_t)width + (size_t)(x + (r % 3)) % (size_t)width;
            out.push_back((seed >> 16) % 97 == 0 ? (unsigned char)((seed >> 24) & 63) : out[above]);
        }
    return out;
}

TEST(RowDecoderRecord, AgreesAfterEveryCallOnWholeData) {
    for (int root : {2, 5, 8}) {
        Bytes pixels = noise(8000, root, (unsigned)root);
        for (bool defer : {false, true}) {
            Bytes data = readtest::lzw_image_data(pixels, root, defer);
            // Rows shorter and longer than the strings, and of varying size.
            EXPECT_EQ(row_decoder_difference(data, rows_of(3, 2667)), "") << root;
            EXPECT_EQ(row_decoder_difference(data, rows_of(250, 32)), "") << root;
            std::vector<int> mixed;
            for (int i = 0, at = 0; at < 8000; i++) at += (int)mixed.emplace_back(1 + (i * 37) % 301);
            EXPECT_EQ(row_decoder_difference(data, mixed), "") << root;
        }
    }
}

TEST(RowDecoderRecord, AgreesOverManyRowsOfEveryLength) {
    // Far more pixels than the decoder keeps of earlier rows (64 KB), in
    // rows from one pixel to longer than all it keeps; with the table kept
    // full, strings of the first rows stay in use to the end.
    Bytes pixels = repeating_rows(3000, 200, 5);
    for (bool defer : {false, true}) {
        Bytes data = readtest::lzw_image_data(pixels, 6, defer);
        std::vector<int> lengths;
        for (int i = 0, at = 0; at < 600000; i++) {
            int length = i % 50 == 7 ? 65535 + i % 3 : i % 97 == 5 ? 70000 : i % 11 == 3 ? 1 : 1 + (i * 7919) % 9000;
            at += (int)lengths.emplace_back(length);
        }
        EXPECT_EQ(row_decoder_difference(data, lengths), "") << defer;
        EXPECT_EQ(row_decoder_difference(data, rows_of(3000, 200)), "") << defer;
    }
}

TEST(RowDecoderRecord, GoesOnFromARecordCopiedFromAnotherDecoder) {
    // What a decoder keeps besides its record must not outlive the record:
    // given the record of a decoder halfway through another image, it goes
    // on with that image exactly as the other decoder does.
    Bytes first = repeating_rows(700, 120, 11), second = repeating_rows(700, 120, 12);
    Bytes first_data = readtest::lzw_image_data(first, 6), second_data = readtest::lzw_image_data(second, 6);
    GifStream s = {first_data.data(), (int32_t)first_data.size(), 0, nullptr};
    GifStream t = {second_data.data(), (int32_t)second_data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder(), *other = new_gif_decoder();
    init_gif_decoder(&s, d);
    init_gif_decoder(&t, other);
    Bytes row(700);
    for (int r = 0; r < 60; r++) {
        read_gif_line(&s, d, row.data(), 700);
        read_gif_line(&t, other, row.data(), 700);
    }
    memcpy(d, other, sizeof *d);
    GifStream u = t;
    for (int r = 60; r < 120; r++) {
        Bytes ours(700, 0), theirs(700, 0);
        read_gif_line(&u, d, ours.data(), 700);
        read_gif_line(&t, other, theirs.data(), 700);
        ASSERT_EQ(ours, theirs) << r;
        ASSERT_EQ(ours, Bytes(second.begin() + r * 700, second.begin() + (r + 1) * 700)) << r;
    }
    del_gif_decoder(other);
    del_gif_decoder(d);
}

TEST(RowDecoderRecord, AgreesOnceTheDataIsUsedUp) {
    // A few codes, then the data ends: the code counter goes on with zero
    // codes, the width grows to 12, the table fills with (0, 0) entries.
    CodeWriter w(2);
    for (int c : {4, 1, 2, 3, 6}) w.put(c);
    Bytes data = w.image_data();
    EXPECT_EQ(row_decoder_difference(data, rows_of(7, 900)), "");
    // Cut in the middle of a sub-block, and with the terminator missing.
    Bytes pixels = noise(3000, 4, 9);
    Bytes whole = readtest::lzw_image_data(pixels, 4);
    for (size_t keep : {whole.size() / 3, whole.size() - 1, (size_t)2})
        EXPECT_EQ(row_decoder_difference(Bytes(whole.begin(), whole.begin() + (long)keep), rows_of(11, 700)), "")
            << keep;
}

TEST(RowDecoderRecord, AgreesAcrossEndCodesAndDefects) {
    // End codes at every distance from the row's end, an undefined code, a
    // string that overruns the row, and a clear in the middle of a row.
    CodeWriter w(3);
    for (int c : {8, 1, 2, 9, 3, 10, 11, 4, 5, 9, 6, 8, 7, 7, 12, 13, 9, 0, 4000 & 0x7F, 1, 2, 3, 9})
        w.put(c);
    Bytes data = w.image_data(5);
    for (int length : {1, 2, 3, 4, 5}) EXPECT_EQ(row_decoder_difference(data, rows_of(length, 40)), "") << length;
}

TEST(RowDecoderRecord, EndCodeOnePixelShortKeepsThePreviousCode) {
    // Rows of 3 with root 2: clear, 1, 2, end leaves one pixel unfilled, so
    // the previous code 2 stays; the next row's 3 then defines entry 8 as
    // "2 3", which the code 8 after it names.
    CodeWriter w(2);
    for (int c : {4, 1, 2, 5, 3, 8, 5}) w.put(c);
    Bytes data = w.image_data();

    GifStream s = {data.data(), (int32_t)data.size(), 0, nullptr};
    GifDecoder *d = new_gif_decoder();
    init_gif_decoder(&s, d);
    unsigned char row[3] = {0, 0, 0};  // rows come zero-filled
    read_gif_line(&s, d, row, 3);
    EXPECT_EQ(Bytes(row, row + 3), (Bytes{1, 2, 0}));
    EXPECT_EQ(d->last_code, 2);
    memset(row, 0, sizeof row);
    read_gif_line(&s, d, row, 3);
    EXPECT_EQ(Bytes(row, row + 3), (Bytes{3, 2, 3}));
    EXPECT_EQ(d->prefix[8], 2);
    EXPECT_EQ(d->suffix[8], 3);
    del_gif_decoder(d);

    // The whole-image decoder follows the same rule.
    Bytes file = readtest::GifBytes().text("GIF89a").screen(3, 2, 0).image(0, 0, 3, 2, 0).raw(data).byte(0x3B).b;
    readtest::GifPtr gif = readtest::read_memory(file);
    ASSERT_EQ(gif->block_count, 1);
    EXPECT_EQ(readtest::pixels_of(gif->blocks[0]->pic), (Bytes{1, 2, 0, 3, 2, 3}));

    // Two pixels short: the previous code is not kept, 3 defines nothing,
    // and 9 is undefined: a defect that stops the row.
    CodeWriter v(2);
    for (int c : {4, 1, 5, 3, 9, 5}) v.put(c);
    Bytes short2 = v.image_data();
    GifStream t = {short2.data(), (int32_t)short2.size(), 0, nullptr};
    d = new_gif_decoder();
    init_gif_decoder(&t, d);
    memset(row, 0, sizeof row);
    read_gif_line(&t, d, row, 3);
    EXPECT_EQ(d->last_code, NO_CODE);
    memset(row, 0, sizeof row);
    read_gif_line(&t, d, row, 3);
    EXPECT_EQ(Bytes(row, row + 3), (Bytes{3, 0, 0}));
    del_gif_decoder(d);
}

}  // namespace

TEST(RowDecoderRecord, AgreesWithShortSubBlocks) {
    // The code reader reads ahead within a sub-block and gives the bytes
    // back after each call; sub-blocks shorter than its eight-byte reads,
    // and strings longer than eight pixels, must leave the record as the
    // plain rules do.
    Bytes pixels = noise(6000, 3, 17);
    for (int block : {1, 7, 8, 9, 23}) {
        Bytes data = readtest::lzw_image_data(pixels, 3, false, block);
        EXPECT_EQ(row_decoder_difference(data, rows_of(5, 1200)), "") << block;
        EXPECT_EQ(row_decoder_difference(data, rows_of(97, 62)), "") << block;
    }
}
