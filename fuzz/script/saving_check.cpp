// Saving a GIFQVR object and checking the file: a GIF signature, and every
// built image read back with the size and pixels saving promises: each size
// keeps its low 16 bits (a negative one makes an empty image), row y takes
// its pixels from byte y x Width of Data, and what Data does not hold is
// index 0.
#include <cstdio>

#include "fuzz/script/session.h"

namespace script {

namespace {

int64_t savedSide(const Own &p, int32_t side) { return p.width < 0 || p.height < 0 ? 0 : side & 0xFFFF; }

// The signature as written: the header string up to a zero byte, at most 8.
std::string writtenHeader(Host &host, const Own &gif)
{
    if (!gif.headerSet)
        return "GIF87a";
    std::string text = host.text(Value::borrow(Kind::String, gif.header));
    text = text.substr(0, text.find('\0'));
    return text.substr(0, 8);
}

}  // namespace

uint64_t Session::savedPixels(const Own &gif)
{
    if (gif.loaded)
        return 0;  // its record, no larger than the load allowed
    uint64_t total = 0;
    for (void *block : gif.blocks) {
        const Own &b = own_[block];
        if (!b.picture)
            continue;
        const Own &p = own_[b.picture];
        total += static_cast<uint64_t>(savedSide(p, p.width) * savedSide(p, p.height)) + 1;
    }
    return total;
}

void Session::save(Input &in)
{
    Value gif = object(in, "GIFQVR");
    const Own *model = gif.isNil() ? nullptr : &own_[gif.handle()];
    if (model && savedPixels(*model) > kMaxSavePixels)
        return;
    std::string path = dir_ + "/saved.gif";
    std::remove(path.c_str());
    Value item = host_.folderItem(path);
    Value written = host_.callFolderItem(item, "SaveAsGIFQVR(data as GIFQVR) as boolean", {gif});
    expectClean("saving");
    if (checkSaves_ && written.asBoolean() != (model != nullptr))
        fail(model ? "saving to a writable file failed" : "saving nil did not fail");
    if (!model)
        return;
    // A block with an image's introducer but an extension's contents is
    // saved as written, and those bytes may ask for an image of any size.
    const std::string file = fileBytes(path);
    if (asksTooMany(file, kMaxSavePixels))
        return;
    Value reloaded = host_.callFolderItem(item, "OpenAsGIFQVR as GIFQVR");
    expectClean("loading the saved file");
    if (checkSaves_)
        checkSaved(*model, file, reloaded);
    keep(reloaded, true);
}

void Session::checkSaved(const Own &gif, const std::string &file, const Value &reloaded)
{
    bool signature = file.compare(0, 3, "GIF") == 0;
    if (signature == reloaded.isNil())
        fail("a saved file with signature \"" + file.substr(0, 6) + "\" loaded as " + reloaded.describe());
    if (gif.loaded) {
        if (!signature)
            fail("a loaded file saved without its GIF signature");
        return;
    }
    std::string header = writtenHeader(host_, gif);
    if (file.compare(0, header.size(), header) != 0)
        fail("the saved file does not start with the header \"" + header + "\"");
    // Images are found again only in a well-formed file.
    if (header.size() != 6 || !signature)
        return;
    for (void *block : gif.blocks) {
        const Own &b = own_[block];
        bool image = (b.intro & 0xFF) == 0x2C && b.picture && !b.extension;
        bool extension = (b.intro & 0xFF) == 0x21 && b.extension && !b.picture;
        if (!image && !extension)
            return;
    }
    if (host_.get(reloaded, "Count").asInteger() != static_cast<int32_t>(gif.blocks.size()))
        fail("the saved file holds another number of blocks");
    for (size_t i = 0; i < gif.blocks.size(); i++) {
        const Own &b = own_[gif.blocks[i]];
        if (!b.picture)
            continue;
        Value block = host_.call(reloaded, "Block(index as integer) as GifBlockQVR",
                                 {Value::integer(static_cast<int32_t>(i))});
        Value view = block.isNil() ? Value::nil() : host_.get(block, "Picture");
        if (view.isNil())
            fail("a saved image is not an image when read back");
        checkImage(own_[b.picture], view);
    }
}

void Session::checkImage(const Own &p, const Value &view)
{
    int64_t width = savedSide(p, p.width), height = savedSide(p, p.height);
    if (host_.get(view, "Width").asInteger() != width || host_.get(view, "Height").asInteger() != height)
        fail("a saved image reads back with another size: " + std::to_string(p.width) + " x " +
             std::to_string(p.height) + " saved");
    std::string data = p.data ? host_.bytes(Value::borrow(Kind::MemoryBlock, p.data)) : std::string();
    std::string expected(static_cast<size_t>(width * height), '\0');
    for (int64_t y = 0; y < height; y++)
        for (int64_t x = 0; x < width; x++) {
            int64_t at = y * p.width + x;
            if (at < static_cast<int64_t>(data.size()))
                expected[static_cast<size_t>(y * width + x)] = data[static_cast<size_t>(at)];
        }
    Value pixels = host_.get(view, "Data");
    std::string got = pixels.isNil() ? std::string() : host_.bytes(pixels);
    if (got != expected)
        fail("a saved image reads back with other pixels: " + std::to_string(p.width) + " x " +
             std::to_string(p.height) + " saved from " + std::to_string(data.size()) + " bytes");
}

}  // namespace script
