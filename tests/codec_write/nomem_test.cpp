// Image writing when the encoder state cannot be allocated. calloc is
// wrapped at link time for this program only, so that the codec's own
// allocation of the encoder can be made to fail.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/codec_write/support.h"

namespace {
bool fail_encoder_alloc = false;
}

extern "C" void *__real_calloc(size_t count, size_t size);
extern "C" void *__wrap_calloc(size_t count, size_t size) {
    if (fail_encoder_alloc && count * size == sizeof(GifEncoder)) return nullptr;
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

}  // namespace
