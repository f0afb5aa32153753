// "frames --composite": an animation as a viewer plays it. This is what a
// host program does to show one: walk the blocks, keep the last graphic
// control extension since the previous image, draw each image's colour
// indexes through its table onto a screen-sized canvas at its offset,
// leaving its transparent pixels alone, show the canvas for the delay, then
// dispose of the image: keep it (0, 1), clear its rectangle to transparent
// (2) or put back what was under it (3).
#include "cli/commands.h"

#include "cli/damage.h"
#include "cli/files.h"
#include "cli/png_file.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

// Entries of a palette object as 0xRRGGBB; empty for nil or no entries.
std::vector<uint32_t> coloursOf(const Value &palette)
{
    std::vector<uint32_t> out;
    int count = paletteCount(palette);
    for (int i = 0; i < count; i++)
        out.push_back(call(palette, "Value", {Value::integer(i)}).asColor());
    return out;
}

// The part of the screen an image covers.
struct Area {
    int64_t x0, y0, x1, y1;
};

Area clip(const Value &picture, const Rgba &canvas)
{
    int64_t left = getInt(picture, "Left"), top = getInt(picture, "Top");
    int64_t width = std::max(0, getInt(picture, "Width")), height = std::max(0, getInt(picture, "Height"));
    return {std::clamp<int64_t>(left, 0, canvas.width), std::clamp<int64_t>(top, 0, canvas.height),
            std::clamp<int64_t>(left + width, 0, canvas.width), std::clamp<int64_t>(top + height, 0, canvas.height)};
}

void draw(Rgba &canvas, const ImageEntry &image, const std::vector<uint32_t> &table)
{
    const Value &picture = image.picture;
    int64_t left = getInt(picture, "Left"), top = getInt(picture, "Top"), width = getInt(picture, "Width");
    std::string pixels = pixelsOf(image);
    Area a = clip(picture, canvas);
    for (int64_t y = a.y0; y < a.y1; y++)
        for (int64_t x = a.x0; x < a.x1; x++) {
            int index = static_cast<unsigned char>(pixels[static_cast<size_t>((y - top) * width + (x - left))]);
            if (index == image.control.transparent)
                continue;
            // An index beyond the table is black, as in the plug-in's pictures.
            uint32_t rgb = static_cast<size_t>(index) < table.size() ? table[static_cast<size_t>(index)] : 0;
            uint8_t *out = &canvas.pixels[static_cast<size_t>((y * canvas.width + x) * 4)];
            out[0] = static_cast<uint8_t>(rgb >> 16);
            out[1] = static_cast<uint8_t>(rgb >> 8);
            out[2] = static_cast<uint8_t>(rgb);
            out[3] = 255;
        }
}

void clear(Rgba &canvas, const Area &a)
{
    for (int64_t y = a.y0; y < a.y1; y++)
        std::fill_n(canvas.pixels.begin() + (y * canvas.width + a.x0) * 4, (a.x1 - a.x0) * 4, 0);
}

}  // namespace

FramesWritten writeCompositeFrames(const Value &gif, const std::string &source, const std::string &dir)
{
    Value screen = get(gif, "Screen");
    Rgba canvas;
    canvas.width = screen.isNil() ? 0 : getInt(screen, "Width");
    canvas.height = screen.isNil() ? 0 : getInt(screen, "Height");
    std::string size = std::to_string(canvas.width) + "x" + std::to_string(canvas.height);
    if (canvas.width <= 0 || canvas.height <= 0)
        fail(kBadFile, source + ": the logical screen is empty (" + size + "), there is nothing to draw on");
    uint64_t area = static_cast<uint64_t>(canvas.width) * static_cast<uint64_t>(canvas.height);
    if (area > kMaxImagePixels)
        fail(kBadFile, source + ": the logical screen of " + size + " pixels is larger than this tool draws");
    canvas.pixels.assign(static_cast<size_t>(area) * 4, 0);  // fully transparent
    const std::vector<uint32_t> global = screen.isNil() ? std::vector<uint32_t>() : coloursOf(get(screen, "Palette"));

    FramesWritten out;
    for (const ImageEntry &image : imagesOf(gif)) {
        out.images++;
        const Control &control = image.control;
        std::vector<uint32_t> local = coloursOf(get(image.picture, "Palette"));
        const std::vector<uint32_t> &table = local.empty() ? global : local;
        Rgba before;
        if (control.disposal == 3)
            before = canvas;
        if (table.empty()) {
            std::fprintf(stderr, "gifqvr: %s: image %d (block %d): no colour table, and the file no global one; "
                         "nothing drawn\n", source.c_str(), image.number, image.block);
            out.failed++;
        } else {
            draw(canvas, image, table);
        }
        std::string path = framePath(dir, image.number);
        writePng(path, canvas);
        std::printf("%s  delay %d/100 s, image %d (block %d) %dx%d at (%d,%d), disposal %d, %s\n", path.c_str(),
                    control.delay, image.number, image.block, getInt(image.picture, "Width"),
                    getInt(image.picture, "Height"), getInt(image.picture, "Left"), getInt(image.picture, "Top"),
                    control.disposal,
                    control.transparent < 0 ? "no transparent index"
                                            : ("transparent index " + std::to_string(control.transparent)).c_str());
        printNote(image);
        out.written++;
        if (control.disposal == 2)
            clear(canvas, clip(image.picture, canvas));
        else if (control.disposal == 3)
            canvas = std::move(before);
    }
    return out;
}

}  // namespace cli
