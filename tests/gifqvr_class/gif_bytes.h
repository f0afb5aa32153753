// GIF files assembled byte by byte for the tests, independent of the
// plug-in's own writer, so that odd layouts can be made on purpose.
#ifndef GIFQVR_TESTS_GIFQVR_CLASS_GIF_BYTES_H
#define GIFQVR_TESTS_GIFQVR_CLASS_GIF_BYTES_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/expected_pixels.h"

namespace gifbytes {

using Palette = std::vector<uint32_t>; // 0xRRGGBB entries; size a power of 2, 2..256
using Pixels = std::vector<uint8_t>;   // colour indexes, rows back to back

class Gif {
public:
    explicit Gif(const std::string &signature = "GIF89a");
    // An empty palette writes no global table.
    Gif &screen(int width, int height, const Palette &global = {});
    Gif &extension(int label, const std::vector<std::string> &subBlocks);
    // The graphic control extension real encoders write before an image.
    Gif &transparency(int index);
    // An empty palette writes no local table. The data is LZW coded with a
    // clear code before every pixel, which every decoder must accept.
    Gif &image(int width, int height, const Pixels &pixels, const Palette &local = {},
               int left = 0, int top = 0);
    Gif &trailer();
    const std::string &bytes() const { return bytes_; }

private:
    void palette(const Palette &colours);
    std::string bytes_;
};

using expected_pixels::maskRgb;
using expected_pixels::rgb;

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);

} // namespace gifbytes

#endif
