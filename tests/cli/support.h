// Shared by the tool's tests: running the tool, GIF files written and read
// by giflib, PNG files read by libpng, and the RGBA a GIF image should give.
#ifndef GIFQVR_TESTS_CLI_SUPPORT_H
#define GIFQVR_TESTS_CLI_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace clitest {

using Table = std::vector<uint32_t>;  // 0xRRGGBB
using Bytes = std::vector<uint8_t>;

struct ToolRun {
    int status = -1;  // exit status; -1 if killed by a signal
    int signal = 0;
    std::string out, err;
};

// Runs a program (argv[0] a path) in cwd with extra environment variables
// ("" value: unset), collecting its output.
ToolRun runProgram(const std::vector<std::string> &argv, const std::string &cwd = "",
                   const std::map<std::string, std::string> &env = {});

// Runs the built tool with the arguments, in cwd (empty: the test's
// directory), with extra environment variables ("" value: unset).
ToolRun runTool(const std::vector<std::string> &args, const std::string &cwd = "",
            const std::map<std::string, std::string> &env = {});

// The run ended by itself and no sanitizer spoke.
::testing::AssertionResult exitedCleanly(const ToolRun &run);

// A GIF to write with giflib.
struct Image {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    Table local;  // empty: none
    Bytes pixels; // display order
};
struct Extension {
    int label = 0;
    std::vector<std::string> subBlocks;
};
struct Block {
    bool isImage = false;
    Image image;
    Extension extension;
};
struct GifSpec {
    GifSpec(int w, int h, Table table = {}) : width(w), height(h), global(std::move(table)) {}
    int width = 0, height = 0;
    Table global;  // empty: none
    int background = 0;
    std::vector<Block> blocks;

    GifSpec &add(const Image &image);
    GifSpec &add(const Extension &extension);
    // A graphic control block: transparent index (or -1 for none), delay,
    // disposal.
    GifSpec &control(int transparent, int delay = 0, int disposal = 2);
};
void writeGif(const std::string &path, const GifSpec &spec);

// count colours drawn from the seed.
Table colours(int count, uint32_t seed);
// An image of the size and place whose pixels run through 0 to modulo - 1
// in a pattern set by the seed.
Image image(int left, int top, int width, int height, int modulo, int seed, bool interlace = false,
            Table local = {});

// giflib's reading of a file.
struct Decoded {
    bool ok = false;
    std::string error;
    int width = 0, height = 0, background = 0;
    Table global;
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
        bool interlace = false;
        Table local;
        Bytes pixels;  // display order
        // Extension sub-blocks before the image: (label, bytes); a label
        // of 0 continues the extension before it.
        std::vector<std::pair<int, std::string>> extensions;
        int transparent = -1;  // from its graphic control block
    };
    std::vector<Frame> frames;
};
Decoded decodeGif(const std::string &path);

// An image as RGBA through its table, alpha 0 at the transparent index.
Bytes expectedRgba(const Decoded::Frame &frame, const Table &global);

struct Png {
    bool ok = false;
    std::string error;
    bool rgba = false;  // stored with colour and alpha
    int width = 0, height = 0;
    Bytes pixels;  // RGBA
};
Png readPng(const std::string &path);

// Writes 8-bit pixels with libpng in one of its simplified formats; for a
// colour-mapped format, pixels are indexes into the RGBA colormap.
void writePng(const std::string &path, int width, int height, unsigned format, const Bytes &pixels,
              const Bytes &colormap = {});

// Two RGBA pictures show the same: same size, same alpha, and the same
// colour wherever alpha is not 0.
::testing::AssertionResult sameVisible(const Png &want, const Png &got);

// Frame n of a directory of frames: DIR/frame-NNN.png.
std::string frameFile(const std::string &dir, size_t n);

// The codec's own text dump of a file.
std::string codecDump(const std::string &path);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
bool exists(const std::string &path);

// Each test gets a fresh directory, removed when it passes.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    ToolRun tool(const std::vector<std::string> &args) { return runTool(args, dir_); }

    std::string dir_;
};

}  // namespace clitest

#endif
