// Shared by the object class tests: the plug-in loaded into the stand-in
// host, calls that check the host's reference balance one by one, GIF files
// assembled byte by byte, and giflib's reading of a file.
#ifndef GIFQVR_TESTS_OBJECT_CLASSES_SUPPORT_H
#define GIFQVR_TESTS_OBJECT_CLASSES_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standin_host/standin_host.h"

namespace objtest {

using standin::Args;
using standin::Host;
using standin::Kind;
using standin::Value;

using Table = std::vector<uint32_t>;  // 0xRRGGBB entries
using Pixels = std::vector<uint8_t>;  // colour indexes, rows back to back

// One image of a hand-made file.
struct Image {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    Table local;  // empty: no local table; else a power of 2 entries
    Pixels pixels;
};

// GIF bytes assembled here, independent of the plug-in's writer. Image data
// is LZW coded with a clear code often enough that the code width never grows.
class GifFile {
public:
    explicit GifFile(int width, int height, const Table &global = {}, const char *signature = "GIF89a");
    GifFile &image(const Image &image);
    GifFile &extension(int label, const std::vector<std::string> &subBlocks);
    std::string bytes() const { return bytes_ + ";"; }

private:
    static std::string table(const Table &colours);
    std::string bytes_;
};

// Row order in the file for an interlaced image of the given height.
std::vector<int> interlacedOrder(int height);

// What giflib reads from a file, in a canonical form.
struct Decoded {
    bool ok = false;
    std::string error;
    std::string header;
    int width = 0, height = 0, colorResolution = 0, background = 0, aspect = 0;
    bool sorted = false;  // of the global table
    Table global;  // empty when there is none
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
        bool interlace = false, sorted = false;
        Table local;
        Pixels pixels;  // display order
        // Extension blocks just before this image: label, then sub-blocks.
        std::vector<std::pair<int, std::vector<std::string>>> extensions;
    };
    std::vector<Frame> frames;
    std::vector<std::pair<int, std::vector<std::string>>> trailingExtensions;
};
Decoded decodeWithGiflib(const std::string &path);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);

// Base of every test here. Every call made through it is checked at once:
// the host records no fault and the live references grow by exactly what the
// caller was handed or the object now keeps. At the end everything the test
// made is gone.
class HostTest : public ::testing::Test {
protected:
    Host &host = Host::instance();

    void SetUp() override;
    void TearDown() override;

    Value Get(const Value &object, const std::string &property, int64_t refs = 0);
    void Set(const Value &object, const std::string &property, const Value &value, int64_t refs = 0);
    Value Call(const Value &object, const std::string &method, const Args &args = {}, int64_t refs = 0);
    void Assign(const Value &object, const std::string &method, const Args &args, const Value &value);
    Value CallFolderItem(const Value &item, const std::string &method, const Args &args = {},
                         int64_t refs = 0);
    Value CallGlobal(const std::string &method, const Args &args = {}, int64_t refs = 0);
    // A free-standing object, as a host program makes it with New.
    Value New(const std::string &className);

    int32_t Int(const Value &object, const std::string &property);
    bool Bool(const Value &object, const std::string &property);

    // A GIFQVR object loaded from bytes, and a view it hands out.
    Value Load(const std::string &bytes);
    Value Block(const Value &gif, int index);  // a view: +2 references
    Value LoadFile(const std::string &path);

    // Makes the host refuse (or make again) every new object.
    void RefuseInstances(bool refuse);

    // A file name in this test's own directory.
    std::string Path(const std::string &name);
    bool Save(const Value &gif, const std::string &path);
    // Files made by real encoders, generated into this test's directory.
    std::vector<std::string> Corpus();

    // Memory block of bytes, and bytes of a memory block.
    Value Memory(const std::string &bytes) { return host.memoryBlock(bytes); }
    Value String(const std::string &bytes) { return host.string(bytes, standin::kEncodingRaw); }
    // Changes one byte of a memory block the way a script would.
    void Poke(const Value &block, size_t at, char byte);

private:
    void Begin();
    void End(int64_t refs, const std::string &what);
    int64_t mark_ = 0;
    standin::Snapshot start_;
    std::string dir_;
};

}  // namespace objtest

#endif
