// "info": the header, the screen and every block as the plug-in reads them.
#include "cli/commands.h"

#include "cli/files.h"
#include "cli/images.h"

#include <cstdio>

namespace cli {

namespace {

std::string hex(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value) & 0xFFu);
    return text;
}

std::string entries(int count)
{
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

std::string describeExtension(const Value &extension, int block)
{
    int label = getInt(extension, "Marker");
    std::vector<std::string> data = subBlocks(extension);
    std::string line = "extension " + hex(label);
    switch (label) {
    case 0xF9:
        line += " graphic control";
        if (!data.empty() && data[0].size() >= 4) {
            Control c = readControl(data, block);
            line += ": delay " + std::to_string(c.delay) + "/100 s, disposal " + std::to_string(c.disposal);
            if (c.transparent >= 0)
                line += ", transparent index " + std::to_string(c.transparent);
        }
        break;
    case 0xFE:
        line += " comment";
        if (!data.empty())
            line += " " + quoteBytes(data[0]);
        break;
    case 0xFF:
        line += " application";
        if (!data.empty())
            line += " " + quoteBytes(data[0]);
        break;
    case 0x01:
        line += " plain text";
        break;
    default:
        break;
    }
    line += "; sub-blocks:";
    if (data.empty())
        line += " none";
    for (const std::string &d : data)
        line += " " + std::to_string(d.size());
    return line;
}

std::string describeImage(const ImageEntry &image, int globalEntries)
{
    const Value &picture = image.picture;
    std::string line = "image " + std::to_string(getInt(picture, "Width")) + "x" +
                       std::to_string(getInt(picture, "Height")) + " at (" +
                       std::to_string(getInt(picture, "Left")) + "," + std::to_string(getInt(picture, "Top")) +
                       ")";
    line += getBool(picture, "Interlace") ? ", interlaced" : ", not interlaced";
    int local = paletteCount(get(picture, "Palette"));
    if (local > 0)
        line += ", local table " + entries(local) + (getBool(picture, "Sorted") ? " (sorted)" : "");
    else
        line += ", no local table" + std::string(globalEntries > 0 ? "" : " and no global table to use");
    line += image.maskIndex < 0 ? ", no transparent index" : ", transparent index " + std::to_string(image.maskIndex);
    std::string note = transparencyNote(image);
    if (!note.empty())
        line += "\n       note: " + note;
    return line;
}

}  // namespace

void runInfo(const Operands &operands, const Options &options)
{
    const std::string &path = operands[0];
    Value gif = openGif(path, options);
    std::printf("%s: %llu bytes, header %s\n", path.c_str(), static_cast<unsigned long long>(fileSize(path)),
                quoteBytes(bytesOf(get(gif, "Header"))).c_str());

    Value screen = get(gif, "Screen");
    int globalEntries = 0;
    if (!screen.isNil()) {
        globalEntries = paletteCount(get(screen, "Palette"));
        std::string table = globalEntries > 0 ? "global table " + entries(globalEntries) + " (depth " +
                                                    std::to_string(getInt(screen, "PaletteDepth")) +
                                                    (getBool(screen, "Sorted") ? ", sorted)" : ")")
                                              : "no global table";
        std::printf("screen %dx%d, colour resolution %d, %s, background %d, aspect %d\n",
                    getInt(screen, "Width"), getInt(screen, "Height"), getInt(screen, "ColorResolution"),
                    table.c_str(), getInt(screen, "BackgroundColor"), getInt(screen, "Aspect"));
    }

    std::vector<ImageEntry> images = imagesOf(gif);
    size_t nextImage = 0;
    int count = getInt(gif, "Count");
    std::printf("%d block%s\n", count, count == 1 ? "" : "s");
    for (int i = 0; i < count; i++) {
        std::string line;
        if (nextImage < images.size() && images[nextImage].block == i) {
            line = describeImage(images[nextImage++], globalEntries);
        } else {
            Value block = call(gif, "Block", {Value::integer(i)});
            Value extension = get(block, "Extension");
            if (!extension.isNil())
                line = describeExtension(extension, i);
            else
                line = "block with introducer " + hex(getInt(block, "Intro")) + " and nothing in it";
        }
        std::printf("  %3d  %s\n", i, line.c_str());
    }
}

}  // namespace cli
