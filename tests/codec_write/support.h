// Helpers for the write-side tests: capturing what a writer emits, building
// small record trees, and taking LZW image data apart again.
#ifndef GIFQVR_TESTS_CODEC_WRITE_SUPPORT_H
#define GIFQVR_TESTS_CODEC_WRITE_SUPPORT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/gif.h"

using Bytes = std::vector<unsigned char>;

// Everything `write` puts into a stream whose file is a memory stream.
Bytes Capture(const std::function<void(GifStream *)> &write);
std::string CaptureText(const std::function<void(FILE *)> &print);

Bytes Cat(std::initializer_list<Bytes> parts);

// Record builders; everything is allocated as the codec allocates, so that
// del_gif and friends release it.
GifPalette *MakePalette(int32_t length, unsigned seed);
GifPicture *MakePicture(int32_t width, int32_t height,
                        const std::vector<unsigned char> &pixels);
GifData *MakeData(const std::string &bytes);
GifExtension *MakeExtension(int32_t marker, std::initializer_list<GifData *> data);
void AddBlock(Gif *gif, int32_t intro, GifPicture *pic, GifExtension *ext);

// Pixels of a picture, rows back to back; empty when it has no rows.
std::vector<unsigned char> PixelsOf(const GifPicture *pic);

// Image data after the descriptor: code size byte, sub-blocks, terminator.
struct ImageData {
    int root_size = 0;
    std::vector<int> block_lengths;  // of every sub-block but the terminator
    std::vector<int> codes;          // up to and including the end code
    std::vector<int> widths;         // bits each code was read with
    size_t end = 0;                  // offset just past the terminator
    bool terminated = false;
    bool ended = false;  // an end code was seen
};
// Reads codes as a GIF decoder must: a code is one bit wider once the
// table it may refer to has reached the present width's limit.
ImageData ParseImageData(const Bytes &bytes, size_t offset);

// Plain string-table LZW decoding of parsed codes into pixels.
std::vector<unsigned char> DecodeCodes(const ImageData &data);

// A sequence of `n` pixel values below 256 in which no two adjacent pairs
// repeat: every pixel after the first ends a string the table lacks.
std::vector<unsigned char> DistinctPairs(size_t n);

std::string TempPath(const std::string &name);
void WriteFile(const std::string &path, const Bytes &bytes);

#endif
