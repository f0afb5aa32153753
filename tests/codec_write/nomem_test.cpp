// Image writing when the encoder state cannot be allocated. calloc is
// wrapped at link time for this program only, so that the codec's own
// allocation of the encoder can be made to fail.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/codec_write/support.h"

#include "tests/codec_write/reference_encoder.h"

namespace {
bool fail_encoder_alloc = false;
bool fail_large_alloc = false;  // anything larger than the encoder record
}

extern "C" void *__real_calloc(size_t count, size_t size);
extern "C" void *__wrap_calloc(size_t count, size_t size) {
    if (fail_encoder_alloc && count * size == sizeof(GifEncoder)) return nullptr;
    if (fail_large_alloc && count * size > sizeof(GifEncoder)) return nullptr;
    return __real_calloc(count, size);
}

namespace {

TEST(WriteGifPicture, NoEncoderStillGivesReadableImageData) {
    GifPicture *pic = MakePicture(4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    pic->cmap_depth = 4;
    fail_encoder_alloc = true;
    ASSERT_EQ(new_gif_encoder(), nullptr);
    Bytes b = Capture([&](GifStream *s) { write_gif_picture(s, pic); });
    fail_encoder_alloc = false;

    // Descriptor, then code size 2, one sub-block holding clear and end at
    // 3 bits each, and the terminator.
    ASSERT_EQ(b.size(), 13u);
    EXPECT_EQ(b[4], 4);
    EXPECT_EQ(b[6], 3);
    EXPECT_EQ(Bytes(b.begin() + 9, b.end()), (Bytes{0x02, 0x01, 0x2C, 0x00}));
    ImageData d = ParseImageData(b, 9);
    EXPECT_EQ(d.codes, (std::vector<int>{4, 5}));

    // With memory again the same picture is encoded in full.
    Bytes full = Capture([&](GifStream *s) { write_gif_picture(s, pic); });
    EXPECT_EQ(DecodeCodes(ParseImageData(full, 9)), PixelsOf(pic));
    del_gif_picture(pic);
}

GifPicture *NoisePicture() {
    std::vector<unsigned char> px(300 * 250);
    unsigned seed = 7;
    for (auto &p : px) {
        seed = seed * 1103515245u + 12345u;
        p = (unsigned char)(seed >> 16);
    }
    GifPicture *pic = MakePicture(300, 250, px);
    pic->cmap_depth = 8;
    return pic;
}

// Without room for the picture encoder's table the row encoder takes
// over: the same bytes.
TEST(WriteGifPicture, NoTableStillGivesTheSameBytes) {
    GifPicture *pic = NoisePicture();
    Bytes want = Capture([&](GifStream *s) { reference::write_gif_picture(s, pic); });
    fail_large_alloc = true;
    Bytes got = Capture([&](GifStream *s) { write_gif_picture(s, pic); });
    fail_large_alloc = false;
    EXPECT_EQ(got, want);
    EXPECT_EQ(Capture([&](GifStream *s) { write_gif_picture(s, pic); }), want);
    del_gif_picture(pic);
}

// A picture coded with its own table needs no row encoder: short of room
// for one, it is still coded in full.
TEST(WriteGifPicture, WithATableNoEncoderIsNeeded) {
    GifPicture *pic = NoisePicture();
    Bytes want = Capture([&](GifStream *s) { reference::write_gif_picture(s, pic); });
    fail_encoder_alloc = true;
    Bytes got = Capture([&](GifStream *s) { write_gif_picture(s, pic); });
    fail_encoder_alloc = false;
    EXPECT_EQ(got, want);
    del_gif_picture(pic);
}

}  // namespace
