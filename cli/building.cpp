#include "cli/building.h"

#include "cli/files.h"

namespace cli {

namespace {

Value make(const char *className)
{
    return host().newInstance(className);
}

}  // namespace

int tableDepth(size_t count)
{
    int depth = 1;
    while (depth < 8 && (size_t(1) << depth) < count)
        depth++;
    return depth;
}

Value paletteObject(const Table &colours)
{
    Value p = make("GifPaletteQVR");
    size_t entries = size_t(1) << tableDepth(colours.size());
    setInt(p, "Count", static_cast<int32_t>(entries));
    for (size_t i = 0; i < colours.size() && i < entries; i++)
        host().assign(p, "Value", {Value::integer(static_cast<int32_t>(i))}, Value::color(colours[i]));
    return p;
}

Value gifObject(int width, int height, const Table &global)
{
    Value gif = make("GIFQVR");
    set(gif, "Header", host().string("GIF89a", standin::kEncodingASCII));
    Value screen = make("GifScreenQVR");
    setInt(screen, "Width", width);
    setInt(screen, "Height", height);
    setInt(screen, "ColorResolution", 8);
    setInt(screen, "PaletteDepth", tableDepth(global.size()));
    set(screen, "Palette", paletteObject(global));
    set(gif, "Screen", screen);
    return gif;
}

Value extensionBlock(int label, const std::vector<std::string> &subBlocks)
{
    Value extension = make("GifExtensionQVR");
    setInt(extension, "Marker", label);
    for (const std::string &bytes : subBlocks) {
        Value data = make("GifDataQVR");
        set(data, "DataMemory", host().memoryBlock(bytes));
        call(extension, "Add", {data});
    }
    Value block = make("GifBlockQVR");
    setInt(block, "Intro", 0x21);
    set(block, "Extension", extension);
    return block;
}

std::string graphicControl(int disposal, int delay, int transparent)
{
    // Packed byte: disposal in bits 2 to 4, bit 0 says the index counts.
    return {static_cast<char>((disposal & 7) << 2 | (transparent >= 0 ? 1 : 0)), static_cast<char>(delay & 0xFF),
            static_cast<char>(delay >> 8 & 0xFF), static_cast<char>(transparent >= 0 ? transparent : 0)};
}

Value loopBlock(int loop)
{
    return extensionBlock(0xFF, {"NETSCAPE2.0", {1, static_cast<char>(loop & 0xFF), static_cast<char>(loop >> 8 & 0xFF)}});
}

Value imageBlock(int width, int height, const std::string &pixels, const Table *local, bool interlace)
{
    Value picture = make("GifPictureQVR");
    setInt(picture, "Width", width);
    setInt(picture, "Height", height);
    set(picture, "Interlace", Value::boolean(interlace));
    if (local) {
        setInt(picture, "PaletteDepth", tableDepth(local->size()));
        set(picture, "Palette", paletteObject(*local));
    }
    set(picture, "Data", host().memoryBlock(pixels));
    Value block = make("GifBlockQVR");
    setInt(block, "Intro", 0x2C);
    set(block, "Picture", picture);
    return block;
}

void saveGif(const Value &gif, const std::string &path)
{
    Value item = host().folderItem(path);
    if (!host().callFolderItem(item, "SaveAsGIFQVR", {gif}).asBoolean())
        fail(kBadFile, path + ": " + whyNotWritable(path));
}

}  // namespace cli
