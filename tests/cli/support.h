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
    // A graphic control block: transparent index (or -1 for none), delay.
    GifSpec &control(int transparent, int delay = 0);
};
void writeGif(const std::string &path, const GifSpec &spec);

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
