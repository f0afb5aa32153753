#include "cli/commands.h"

#include "cli/container.h"
#include "cli/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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

// "Count" of a palette object, 0 for nil.
int paletteCount(const Value &palette)
{
    return palette.isNil() ? 0 : getInt(palette, "Count");
}

std::vector<std::string> subBlocks(const Value &extension)
{
    std::vector<std::string> out;
    int count = getInt(extension, "Count");
    for (int i = 0; i < count; i++) {
        Value data = call(extension, "Data", {Value::integer(i)});
        out.push_back(data.isNil() ? std::string() : bytesOf(get(data, "DataString")));
    }
    return out;
}

std::string describeExtension(const Value &extension)
{
    int label = getInt(extension, "Marker");
    std::vector<std::string> data = subBlocks(extension);
    std::string line = "extension " + hex(label);
    switch (label) {
    case 0xF9:
        line += " graphic control";
        if (!data.empty() && data[0].size() >= 4) {
            const std::string &d = data[0];
            int packed = static_cast<unsigned char>(d[0]);
            int delay = static_cast<unsigned char>(d[1]) | static_cast<unsigned char>(d[2]) << 8;
            line += ": delay " + std::to_string(delay) + "/100 s, disposal " + std::to_string((packed >> 2) & 7);
            if (packed & 1)
                line += ", transparent index " + std::to_string(static_cast<unsigned char>(d[3]));
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

// The graphic control block between the previous image and this one: its
// block index (or -1) and in index its transparent index (or -1).
int graphicControlBefore(const Value &gif, int block, int &index)
{
    index = -1;
    for (int i = block - 1; i >= 0; i--) {
        Value previous = call(gif, "Block", {Value::integer(i)});
        if (!get(previous, "Picture").isNil())
            return -1;
        Value extension = get(previous, "Extension");
        if (extension.isNil() || getInt(extension, "Marker") != 0xF9)
            continue;
        std::vector<std::string> data = subBlocks(extension);
        if (!data.empty() && data[0].size() >= 4 && (data[0][0] & 1))
            index = static_cast<unsigned char>(data[0][3]);
        return i;
    }
    return -1;
}

std::string describeImage(const Value &gif, const Value &picture, int block, int globalEntries)
{
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
    int transparent = transparentIndexBefore(gif, block);
    line += transparent < 0 ? ", no transparent index" : ", transparent index " + std::to_string(transparent);
    // The plug-in's masks look only at the block just before the image; say
    // so when the image's graphic control block is elsewhere or disagrees.
    int control = -1;
    int controlBlock = graphicControlBefore(gif, block, control);
    if (controlBlock >= 0 && control != transparent)
        line += " (its graphic control, block " + std::to_string(controlBlock) + ", gives " +
                (control < 0 ? std::string("none") : std::to_string(control)) + ")";
    return line;
}

// Why the plug-in gave no picture for the image, as far as the API shows.
std::string whyNoPicture(const Value &gif, const Value &picture)
{
    int width = getInt(picture, "Width");
    int height = getInt(picture, "Height");
    if (width <= 0 || height <= 0)
        return "the image is empty (" + std::to_string(width) + "x" + std::to_string(height) + ")";
    if (paletteCount(get(picture, "Palette")) == 0) {
        Value screen = get(gif, "Screen");
        if (screen.isNil() || paletteCount(get(screen, "Palette")) == 0)
            return "the image has no colour table, and the file no global one";
    }
    return "the plug-in made no picture of it";
}

std::string framePath(const std::string &dir, int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03d.png", n);
    return (std::filesystem::path(dir) / name).string();
}

}  // namespace

Value openGif(const std::string &path, const Options &options)
{
    readInput(path, options.lenient);
    Value item = host().folderItem(path);
    Value gif = host().callFolderItem(item, "OpenAsGIFQVR");
    if (gif.isNil())
        fail(kBadFile, path + ": the plug-in could not load it");
    return gif;
}

int transparentIndexBefore(const Value &gif, int block)
{
    if (block < 1)
        return -1;
    Value previous = call(gif, "Block", {Value::integer(block - 1)});
    Value extension = previous.isNil() ? Value() : get(previous, "Extension");
    if (extension.isNil())
        return -1;
    for (const std::string &d : subBlocks(extension))
        if (!d.empty() && (d[0] & 1))
            return d.size() >= 4 ? static_cast<unsigned char>(d[3]) : -1;
    return -1;
}

void makeDirectory(const std::string &dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            fail(kBadFile, dir + ": exists and is not a directory");
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        fail(kBadFile, dir + ": cannot create the directory: " + ec.message());
}

FramesWritten writeFrames(const Value &gif, const std::string &source, const std::string &dir)
{
    FramesWritten out;
    int count = getInt(gif, "Count");
    int image = 0;
    for (int i = 0; i < count; i++) {
        Value block = call(gif, "Block", {Value::integer(i)});
        Value picture = block.isNil() ? Value() : get(block, "Picture");
        if (picture.isNil())
            continue;
        int n = image++;
        Value made = call(picture, "MakePicture as picture");
        if (made.isNil()) {
            std::fprintf(stderr, "gifqvr: %s: image %d (block %d): %s\n", source.c_str(), n, i,
                         whyNoPicture(gif, picture).c_str());
            out.failed++;
            continue;
        }
        Value mask = call(picture, "MakeMask as picture");
        Rgba rgba = toRgba(made, mask);
        std::string path = framePath(dir, n);
        writePng(path, rgba);
        int transparent = transparentIndexBefore(gif, i);
        std::printf("%s  %dx%d at (%d,%d), block %d, %s\n", path.c_str(), rgba.width, rgba.height,
                    getInt(picture, "Left"), getInt(picture, "Top"), i,
                    transparent < 0 ? "opaque" : ("transparent index " + std::to_string(transparent)).c_str());
        out.written++;
        out.paths.push_back(path);
    }
    return out;
}

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

    int count = getInt(gif, "Count");
    std::printf("%d block%s\n", count, count == 1 ? "" : "s");
    for (int i = 0; i < count; i++) {
        Value block = call(gif, "Block", {Value::integer(i)});
        std::string line;
        Value picture = get(block, "Picture");
        Value extension = get(block, "Extension");
        if (!picture.isNil())
            line = describeImage(gif, picture, i, globalEntries);
        else if (!extension.isNil())
            line = describeExtension(extension);
        else
            line = "block with introducer " + hex(getInt(block, "Intro")) + " and nothing in it";
        std::printf("  %3d  %s\n", i, line.c_str());
    }
}

void runDump(const Operands &operands, const Options &options)
{
    const std::string &path = operands[0];
    std::string out = operands[1];
    bool toStdout = out == "-";
    if (!toStdout)
        refuseToOverwrite(path, out);
    Value gif = openGif(path, options);

    // Standard output goes through a file of our own: opening /dev/stdout
    // again would truncate a file the shell appends to.
    std::string target = out;
    if (toStdout) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/gifqvr-dump-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = mkstemp(name.data());
        if (fd < 0)
            fail(kBadFile, pattern + ": cannot make a temporary file: " + std::strerror(errno));
        close(fd);
        target = name.data();
    }
    Value item = host().folderItem(target);
    bool printed = call(gif, "Print", {item}).asBoolean();
    if (!printed) {
        if (toStdout)
            std::remove(target.c_str());
        fail(kBadFile, out + ": " + whyNotWritable(target));
    }
    if (toStdout) {
        FILE *file = std::fopen(target.c_str(), "rb");
        char buffer[65536];
        size_t got;
        while (file && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            std::fwrite(buffer, 1, got, stdout);
        if (file)
            std::fclose(file);
        std::remove(target.c_str());
        return;
    }
    std::printf("%s: text dump of %s, %llu bytes\n", out.c_str(), path.c_str(),
                static_cast<unsigned long long>(fileSize(out)));
}

void runPng(const Operands &operands, const Options &options)
{
    const std::string &path = operands[0];
    const std::string &out = operands[1];
    refuseToOverwrite(path, out);
    std::string bytes = readInput(path, options.lenient);
    Value data = host().string(bytes, standin::kEncodingRaw);
    Value picture = host().callGlobal("GifStringToPictureQVR", {data});
    if (picture.isNil()) {
        // Ask the file why: its first image, if any.
        Value gif = host().callGlobal("GifStringToGifQVR", {data});
        int count = gif.isNil() ? 0 : getInt(gif, "Count");
        for (int i = 0; i < count; i++) {
            Value block = call(gif, "Block", {Value::integer(i)});
            Value image = get(block, "Picture");
            if (!image.isNil())
                fail(kBadFile, path + ": first image (block " + std::to_string(i) + "): " + whyNoPicture(gif, image));
        }
        fail(kBadFile, path + ": the file holds no image");
    }
    Rgba rgba = toRgba(picture, Value());
    writePng(out, rgba);
    size_t clear = 0;
    for (size_t i = 3; i < rgba.pixels.size(); i += 4)
        clear += rgba.pixels[i] == 0;
    std::printf("%s: %dx%d RGBA, %zu transparent pixel%s\n", out.c_str(), rgba.width, rgba.height, clear,
                clear == 1 ? "" : "s");
}

void runFrames(const Operands &operands, const Options &options)
{
    const std::string &path = operands[0];
    const std::string &dir = operands[1];
    Value gif = openGif(path, options);
    makeDirectory(dir);
    FramesWritten frames = writeFrames(gif, path, dir);
    if (frames.written == 0 && frames.failed == 0)
        fail(kBadFile, path + ": the file holds no image");
    if (frames.failed > 0)
        fail(kBadFile, path + ": " + std::to_string(frames.failed) + " of " +
                           std::to_string(frames.failed + frames.written) + " images could not be written");
}

void runResave(const Operands &operands, const Options &options)
{
    const std::string &in = operands[0];
    const std::string &out = operands[1];
    refuseToOverwrite(in, out);
    Value gif = openGif(in, options);
    Value item = host().folderItem(out);
    if (!host().callFolderItem(item, "SaveAsGIFQVR", {gif}).asBoolean())
        fail(kBadFile, out + ": " + whyNotWritable(out));
    std::printf("%s: %llu bytes read\n%s: %llu bytes written\n", in.c_str(),
                static_cast<unsigned long long>(fileSize(in)), out.c_str(),
                static_cast<unsigned long long>(fileSize(out)));
}

}  // namespace cli
