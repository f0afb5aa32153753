#include "tests/object_classes/support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace objtest {

namespace {

// The host's "PluginNewInstance" behind a switch, so that a test can make the
// host refuse to make objects.
bool gRefuseInstances = false;

REALobject SwitchedNewInstance(const char *className)
{
    if (gRefuseInstances)
        return nullptr;
    auto real = reinterpret_cast<standin::PluginNewInstanceProc>(Host::instance().service("PluginNewInstance"));
    return real(className);
}

void LoadPluginOnce()
{
    static bool loaded = false;
    if (loaded)
        return;
    Host &host = Host::instance();
    // Before loading, so the plug-in's cached service is the switch.
    host.replace("PluginNewInstance", reinterpret_cast<void *>(&SwitchedNewInstance));
    host.loadPlugin(GIFQVR_PLUGIN_FILE);
    loaded = true;
}

void PutWord(std::string &out, int value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

int DepthOf(size_t entries)
{
    int depth = 1;
    while ((size_t(1) << depth) < entries)
        depth++;
    return depth;
}

// LZW data for the pixels, with a clear code before the table would make
// the code width grow.
std::string LzwData(const Pixels &pixels, int depth)
{
    int rootSize = depth < 2 ? 2 : depth;
    int clear = 1 << rootSize;
    int width = rootSize + 1;
    std::string packed;
    uint32_t buffer = 0;
    int bits = 0;
    auto code = [&](int value) {
        buffer |= static_cast<uint32_t>(value) << bits;
        bits += width;
        while (bits >= 8) {
            packed += static_cast<char>(buffer & 0xFF);
            buffer >>= 8;
            bits -= 8;
        }
    };
    code(clear);
    int run = 0;
    for (uint8_t pixel : pixels) {
        if (run == clear - 2) {
            code(clear);
            run = 0;
        }
        code(pixel);
        run++;
    }
    code(clear + 1);
    if (bits > 0)
        packed += static_cast<char>(buffer & 0xFF);

    std::string out(1, static_cast<char>(rootSize));
    for (size_t at = 0; at < packed.size(); at += 255) {
        size_t n = std::min<size_t>(255, packed.size() - at);
        out += static_cast<char>(n);
        out += packed.substr(at, n);
    }
    out += '\0';
    return out;
}

}  // namespace

std::vector<int> interlacedOrder(int height)
{
    std::vector<int> order;
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++)
        for (int row = starts[pass]; row < height; row += steps[pass])
            order.push_back(row);
    return order;
}

GifFile::GifFile(int width, int height, const Table &global, const char *signature)
{
    bytes_ = signature;
    PutWord(bytes_, width);
    PutWord(bytes_, height);
    int packed = 0x70;  // colour resolution 8
    if (!global.empty())
        packed |= 0x80 | (DepthOf(global.size()) - 1);
    bytes_ += static_cast<char>(packed);
    bytes_ += '\0';  // background
    bytes_ += '\0';  // aspect
    bytes_ += table(global);
}

std::string GifFile::table(const Table &colours)
{
    std::string out;
    for (uint32_t c : colours) {
        out += static_cast<char>((c >> 16) & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

GifFile &GifFile::image(const Image &image)
{
    bytes_ += ',';
    PutWord(bytes_, image.left);
    PutWord(bytes_, image.top);
    PutWord(bytes_, image.width);
    PutWord(bytes_, image.height);
    int packed = image.interlace ? 0x40 : 0;
    int depth = 8;
    if (!image.local.empty()) {
        depth = DepthOf(image.local.size());
        packed |= 0x80 | (depth - 1);
    }
    bytes_ += static_cast<char>(packed);
    bytes_ += table(image.local);

    // Pixels in file order.
    Pixels stored;
    std::vector<int> order;
    if (image.interlace) {
        order = interlacedOrder(image.height);
    } else {
        for (int row = 0; row < image.height; row++)
            order.push_back(row);
    }
    for (int row : order)
        stored.insert(stored.end(), image.pixels.begin() + row * image.width,
                      image.pixels.begin() + (row + 1) * image.width);
    int needed = 1;
    for (uint8_t p : stored)
        while ((1 << needed) <= p)
            needed++;
    bytes_ += LzwData(stored, image.local.empty() ? needed : std::max(depth, needed));
    return *this;
}

GifFile &GifFile::extension(int label, const std::vector<std::string> &subBlocks)
{
    bytes_ += '!';
    bytes_ += static_cast<char>(label);
    for (const std::string &block : subBlocks) {
        bytes_ += static_cast<char>(block.size());
        bytes_ += block;
    }
    bytes_ += '\0';
    return *this;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

void HostTest::SetUp()
{
    LoadPluginOnce();
    gRefuseInstances = false;
    ASSERT_EQ(std::vector<std::string>(), host.takeErrors());
    start_ = host.snapshot();
}

void HostTest::TearDown()
{
    gRefuseInstances = false;
    EXPECT_EQ("", host.audit(start_));
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

void HostTest::RefuseInstances(bool refuse)
{
    gRefuseInstances = refuse;
}

void HostTest::Begin()
{
    mark_ = host.liveReferences();
}

void HostTest::End(int64_t refs, const std::string &what)
{
    host.verify();
    EXPECT_EQ(std::vector<std::string>(), host.takeErrors()) << what;
    EXPECT_EQ(refs, host.liveReferences() - mark_) << "references left by " << what;
}

Value HostTest::Get(const Value &object, const std::string &property, int64_t refs)
{
    Begin();
    Value v = host.get(object, property);
    End(refs, "get " + property);
    return v;
}

void HostTest::Set(const Value &object, const std::string &property, const Value &value, int64_t refs)
{
    Begin();
    host.set(object, property, value);
    End(refs, "set " + property);
}

Value HostTest::Call(const Value &object, const std::string &method, const Args &args, int64_t refs)
{
    Begin();
    Value v = host.call(object, method, args);
    End(refs, "call " + method);
    return v;
}

void HostTest::Assign(const Value &object, const std::string &method, const Args &args, const Value &value)
{
    Begin();
    host.assign(object, method, args, value);
    End(0, "assign " + method);
}

Value HostTest::CallFolderItem(const Value &item, const std::string &method, const Args &args, int64_t refs)
{
    Begin();
    Value v = host.callFolderItem(item, method, args);
    End(refs, "folder item " + method);
    return v;
}

Value HostTest::CallGlobal(const std::string &method, const Args &args, int64_t refs)
{
    Begin();
    Value v = host.callGlobal(method, args);
    End(refs, "global " + method);
    return v;
}

Value HostTest::New(const std::string &className)
{
    Begin();
    Value v = host.newInstance(className);
    End(1, "new " + className);
    return v;
}

int32_t HostTest::Int(const Value &object, const std::string &property)
{
    return Get(object, property).asInteger();
}

bool HostTest::Bool(const Value &object, const std::string &property)
{
    return Get(object, property).asBoolean();
}

Value HostTest::Load(const std::string &bytes)
{
    Value data = String(bytes);
    Value gif = CallGlobal("GifStringToGifQVR", {data}, 1);
    EXPECT_FALSE(gif.isNil());
    return gif;
}

Value HostTest::LoadFile(const std::string &path)
{
    Value item = host.folderItem(path);
    Value gif = CallFolderItem(item, "OpenAsGIFQVR", {}, 1);
    EXPECT_FALSE(gif.isNil()) << path;
    return gif;
}

Value HostTest::Block(const Value &gif, int index)
{
    return Call(gif, "Block", {Value::integer(index)}, 2);
}

void HostTest::Poke(const Value &block, size_t at, char byte)
{
    auto getPtr = reinterpret_cast<standin::memoryBlockGetPtrProc>(host.service("memoryBlockGetPtr"));
    static_cast<char *>(getPtr(block.memoryBlock()))[at] = byte;
}

std::string HostTest::Path(const std::string &name)
{
    if (dir_.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "object_classes_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "no scratch directory";
        dir_ = pattern;
    }
    return dir_ + "/" + name;
}

std::vector<std::string> HostTest::Corpus()
{
    std::string dir = Path("corpus");
    std::string command = "'" + std::string(GIFQVR_TOOLS_DIR) + "/tools/gif_corpus' conformance '" + dir + "'";
    std::vector<std::string> files;
    if (system(command.c_str()) != 0) {
        ADD_FAILURE() << "corpus generation failed: " << command;
        return files;
    }
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().extension() == ".gif")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

bool HostTest::Save(const Value &gif, const std::string &path)
{
    Value item = host.folderItem(path);
    return CallFolderItem(item, "SaveAsGIFQVR", {gif}).asBoolean();
}

}  // namespace objtest
