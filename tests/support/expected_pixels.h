// What a host picture should hold for colour indexes: shared by the test
// folders that compare pictures made by the plug-in.
#ifndef GIFQVR_TESTS_SUPPORT_EXPECTED_PIXELS_H
#define GIFQVR_TESTS_SUPPORT_EXPECTED_PIXELS_H

#include <cstdint>
#include <vector>

namespace expected_pixels {

// 3 bytes per pixel through the table (0xRRGGBB entries); indexes the table
// does not cover are black.
inline std::vector<uint8_t> rgb(const std::vector<uint8_t> &pixels,
                                const std::vector<uint32_t> &table)
{
    std::vector<uint8_t> out;
    for (uint8_t p : pixels) {
        uint32_t c = p < table.size() ? table[p] : 0;
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
    }
    return out;
}

// White where the pixel is the given index, black elsewhere.
inline std::vector<uint8_t> maskRgb(const std::vector<uint8_t> &pixels, int index)
{
    std::vector<uint8_t> out;
    for (uint8_t p : pixels)
        out.insert(out.end(), 3, p == index ? 0xFF : 0x00);
    return out;
}

} // namespace expected_pixels

#endif
