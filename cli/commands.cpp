// "dump", "png", "frames" and "resave".
#include "cli/commands.h"

#include "cli/damage.h"
#include "cli/files.h"
#include "cli/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace cli {

void printNote(const ImageEntry &image)
{
    std::string note = transparencyNote(image);
    if (!note.empty())
        std::printf("  note: %s\n", note.c_str());
}

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

FramesWritten writeFrames(const Value &gif, const std::string &source, const std::string &dir)
{
    FramesWritten out;
    for (const ImageEntry &image : imagesOf(gif)) {
        out.images++;
        Value made = call(image.picture, "MakePicture as picture");
        if (made.isNil()) {
            std::fprintf(stderr, "gifqvr: %s: image %d (block %d): %s\n", source.c_str(), image.number,
                         image.block, whyNoPicture(gif, image.picture).c_str());
            out.failed++;
            continue;
        }
        Value mask = call(image.picture, "MakeMask as picture");
        Rgba rgba = checkedRgba(image, made, mask);
        std::string path = framePath(dir, image.number);
        writePng(path, rgba);
        std::printf("%s  %dx%d at (%d,%d), block %d, %s\n", path.c_str(), rgba.width, rgba.height,
                    getInt(image.picture, "Left"), getInt(image.picture, "Top"), image.block,
                    image.maskIndex < 0 ? "opaque" : ("transparent index " + std::to_string(image.maskIndex)).c_str());
        printNote(image);
        out.written++;
    }
    return out;
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
    Value data = host().string(readInput(path, options.strict), standin::kEncodingRaw);
    // The picture comes from the one call made for it; the loaded file
    // says which image it is and what its mask should be.
    Value gif = host().callGlobal("GifStringToGifQVR", {data});
    if (gif.isNil())
        fail(kBadFile, path + ": the plug-in could not load it");
    std::vector<ImageEntry> images = imagesOf(gif);
    if (images.empty())
        fail(kBadFile, path + ": the file holds no image");
    const ImageEntry &first = images[0];
    Value picture = host().callGlobal("GifStringToPictureQVR", {data});
    if (picture.isNil())
        fail(kBadFile, path + ": first image (block " + std::to_string(first.block) +
                           "): " + whyNoPicture(gif, first.picture));
    Rgba rgba = checkedRgba(first, picture, Value());
    writePng(out, rgba);
    size_t clear = 0;
    for (size_t i = 3; i < rgba.pixels.size(); i += 4)
        clear += rgba.pixels[i] == 0;
    std::string transparency = first.maskIndex < 0 ? "no transparent index"
                                                   : "transparent index " + std::to_string(first.maskIndex);
    std::printf("%s: %dx%d RGBA, %s, %zu transparent pixel%s\n", out.c_str(), rgba.width, rgba.height,
                transparency.c_str(), clear, clear == 1 ? "" : "s");
    printNote(first);
}

void runFrames(const Operands &operands, const Options &options)
{
    const std::string &path = operands[0];
    const std::string &dir = operands[1];
    Value gif = openGif(path, options);
    makeDirectory(dir);
    FramesWritten frames = options.composite ? writeCompositeFrames(gif, path, dir) : writeFrames(gif, path, dir);
    if (frames.images == 0)
        fail(kBadFile, path + ": the file holds no image");
    if (frames.failed > 0)
        fail(kBadFile, path + ": " + std::to_string(frames.failed) + " of " + std::to_string(frames.images) +
                           " images could not be drawn");
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
