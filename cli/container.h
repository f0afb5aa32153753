// Input files: read and checked before the plug-in sees them. The plug-in
// never refuses a file that starts with "GIF": missing bytes read as zeros
// and it stops quietly at a byte it does not expect. The tool walks the
// container itself so that it can say what is wrong instead.
#ifndef GIFQVR_CLI_CONTAINER_H
#define GIFQVR_CLI_CONTAINER_H

#include <cstdint>
#include <string>

namespace cli {

// The largest image the tool lets the plug-in decode, in pixels; the
// picture, its mask and the PNG take several bytes per pixel each.
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 25;

struct ContainerCheck {
    bool truncated = false;
    bool tooLarge = false;  // an image beyond kMaxImagePixels
    std::string problem;  // empty: the container is whole
};

// Walks the blocks of a file that starts with "GIF", without decoding image
// data. Says where the data ends early or what cannot be read.
ContainerCheck checkContainer(const std::string &bytes);

// The bytes of an input GIF. Fails with a message naming the file when it
// cannot be read, is not a GIF, is damaged (unless lenient; then a warning
// goes to stderr) or holds an image too large to decode.
std::string readInput(const std::string &path, bool lenient);

// Fails when writing to the path would replace the input file.
void refuseToOverwrite(const std::string &input, const std::string &output);

// Why a file cannot be opened for writing, as far as the tool can tell.
std::string whyNotWritable(const std::string &path);

uint64_t fileSize(const std::string &path);

}  // namespace cli

#endif
