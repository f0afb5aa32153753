// Helpers for the reader's tests: building GIF bytes by hand, an LZW writer
// with the decoder's width rules, a plain stack-based decoder that the fast
// one must agree with, and comparison of record trees.
#ifndef GIFQVR_TESTS_CODEC_READ_SUPPORT_H
#define GIFQVR_TESTS_CODEC_READ_SUPPORT_H

#include <memory>
#include <string>
#include <vector>

#include "codec/gif.h"

namespace readtest {

using Bytes = std::vector<unsigned char>;

struct GifDeleter {
    void operator()(Gif *gif) const { del_gif(gif); }
};
using GifPtr = std::unique_ptr<Gif, GifDeleter>;

// Codes packed lowest bit first, each with the width the decoder will use
// for it: root + 1 at the start and after a clear code, one more once the
// code counter passes the width's limit, at most 12.
class CodeWriter {
public:
    explicit CodeWriter(int root);
    int clear() const { return clear_; }
    int end() const { return clear_ + 1; }
    int width() const { return width_; }
    void put(int code);
    void put_bits(int value, int width);  // raw bits, no width bookkeeping
    // Code size byte, the bits in sub-blocks of `block` bytes, terminator.
    Bytes image_data(int block = 255) const;
    Bytes bits() const;

private:
    int root_, clear_, next_, width_, limit_;
    Bytes out_;
    unsigned acc_ = 0;
    int count_ = 0;
};

// Pixels (each below 2^root) in the order the data stores them, as LZW image
// data. On a full table a clear code follows, unless `defer_clear`.
Bytes lzw_image_data(const Bytes &pixels, int root, bool defer_clear = false, int block = 255);

Bytes sub_blocks(const Bytes &payload, int block = 255);

// A GIF file put together field by field.
struct GifBytes {
    Bytes b;
    GifBytes &text(const std::string &s);
    GifBytes &byte(int v);
    GifBytes &word(int v);  // 16 bits, low byte first
    GifBytes &raw(const Bytes &more);
    GifBytes &screen(int width, int height, int packed, int bg = 0, int aspect = 0);
    GifBytes &table(int entries, int seed = 1);  // rgb = f(seed, index)
    GifBytes &image(int left, int top, int width, int height, int packed);
    GifBytes &extension(int label, const std::vector<Bytes> &blocks);
};

// Display-order rows of a picture as one buffer (empty if it has none).
Bytes pixels_of(const GifPicture *pic);
// The rows a picture's data holds, in that order: display rows, or the four
// interlace passes.
std::vector<int> file_row_order(int height, bool interlaced);

GifPtr read_memory(const Bytes &bytes, bool first_picture_only = false);
GifPtr read_through_file(const Bytes &bytes);
// Every picture decoded again with the exported decoder calls, row by row
// in file order, into rows of exactly their width.
GifPtr read_row_by_row(const Bytes &bytes);

// The reading rules applied literally, pixels through the stack.
GifPtr reference_read(const Bytes &bytes);

// The exported row decoder against the plain one on the same image data
// (code size byte first), one call per entry of `lengths`: empty when after
// every call the pixels and the whole decoder record agree, else the first
// difference.
std::string row_decoder_difference(const Bytes &data, const std::vector<int> &lengths);

// Empty when the trees hold the same values, else where they first differ.
std::string gif_difference(const Gif *a, const Gif *b);

Bytes file_bytes(const std::string &path);

}  // namespace readtest

#endif
