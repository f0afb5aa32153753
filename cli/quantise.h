// One RGBA frame as GIF colour indexes and a table of at most 256 colours.
// Every pixel with alpha below 128 is one transparent colour; the others
// count by their colour alone. A frame of at most 256 colours is stored
// exactly; one with more is reduced by median cut, optionally with
// Floyd-Steinberg dithering.
#ifndef GIFQVR_CLI_QUANTISE_H
#define GIFQVR_CLI_QUANTISE_H

#include "cli/building.h"
#include "cli/session.h"

#include <string>

namespace cli {

struct Indexed {
    Table table;           // at most 256 entries
    int transparent = -1;  // its index, -1 when no pixel is transparent
    std::string pixels;    // one index per pixel, rows top to bottom
    size_t colours = 0;    // distinct colours in the frame, transparency as one
    bool reduced = false;  // more than 256: median cut
    double meanError = 0;  // mean of |chosen - given| per channel over opaque pixels
};

Indexed indexColours(const Rgba &frame, bool dither);

}  // namespace cli

#endif
