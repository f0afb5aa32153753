// Damage in input GIFs. The plug-in never refuses a file that starts with
// "GIF": missing bytes read as zeros and it stops quietly at a byte it does
// not expect. The tool walks the container itself, before the plug-in reads
// it, so that it can say where a file is damaged and what the plug-in will
// make of it.
#ifndef GIFQVR_CLI_DAMAGE_H
#define GIFQVR_CLI_DAMAGE_H

#include <cstdint>
#include <string>

namespace cli {

// The largest image the tool lets the plug-in decode, in pixels; the
// picture, its mask and the PNG take several bytes per pixel each.
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 25;

struct ContainerCheck {
    enum Kind {
        kWhole,
        kNoTrailer,       // every block whole, only the trailer missing
        kTruncated,       // the data ends inside a part of the file
        kUnexpectedByte,  // where a block or the trailer should start
        kAfterTrailer,    // bytes follow the trailer
        kTooLarge,        // an image beyond kMaxImagePixels
    } kind = kWhole;
    uint64_t offset = 0;  // where it goes wrong
    std::string what;     // what is wrong there, and what the plug-in does
};

// Walks the blocks of a file that starts with "GIF", without decoding image
// data, up to the first thing that is wrong.
ContainerCheck checkContainer(const std::string &bytes);

// The bytes of an input GIF. Fails naming the file when it cannot be read,
// is not a GIF or holds an image too large to decode. Damage is a warning
// on standard error (a note when only the trailer is missing), or with
// strict a failure.
std::string readInput(const std::string &path, bool strict);

}  // namespace cli

#endif
