// The demo: a small animated GIF with a transparent background, built the
// way a host program builds one, from objects of its own; then saved,
// loaded again, checked, and written out as PNG frames and a text dump.
#include "cli/building.h"
#include "cli/commands.h"
#include "cli/files.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace cli {

namespace {

constexpr int kSize = 40;
constexpr int kFrames = 8;
constexpr int kDelay = 8;  // hundredths of a second

// Index 0 is the transparent background, 1 a dim dot, 2 to 7 a ramp to the
// brightest dot.
Table ramp(uint32_t dim, uint32_t dark, uint32_t bright)
{
    Table t = {0x000000, dim};
    for (int i = 0; i < 6; i++) {
        uint32_t c = 0;
        for (int shift : {16, 8, 0}) {
            int a = (dark >> shift) & 0xFF, b = (bright >> shift) & 0xFF;
            c |= static_cast<uint32_t>(a + (b - a) * i / 5) << shift;
        }
        t.push_back(c);
    }
    return t;
}

// A ring of dots; the bright one goes round and leaves a fading trail.
std::string spinnerFrame(int frame)
{
    std::string pixels(kSize * kSize, '\0');
    const double centre = (kSize - 1) / 2.0, radius = 13.0, dot = 4.2;
    for (int k = 0; k < 8; k++) {
        double angle = k * M_PI / 4;
        double cx = centre + radius * std::sin(angle), cy = centre - radius * std::cos(angle);
        int age = (frame - k + 8) % 8;
        char colour = static_cast<char>(age <= 5 ? 7 - age : 1);
        for (int y = 0; y < kSize; y++)
            for (int x = 0; x < kSize; x++)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= dot * dot)
                    pixels[static_cast<size_t>(y * kSize + x)] = colour;
    }
    return pixels;
}

}  // namespace

void runDemo(const Operands &operands, const Options &options)
{
    const std::string dir = operands.empty() ? "out/demo" : operands[0];
    makeDirectory(dir);
    const std::string gifPath = (std::filesystem::path(dir) / "demo.gif").string();
    const std::string dumpPath = (std::filesystem::path(dir) / "demo.txt").string();

    // Built: a screen with a global table, two leading extensions, then a
    // graphic control block and an image per frame. The second half of the
    // frames brings its own table and is interlaced.
    const Table global = ramp(0x505050, 0x602000, 0xFFB040);
    const Table local = ramp(0x404060, 0x002060, 0x40C0FF);
    std::vector<std::string> frames;
    {
        Value gif = gifObject(kSize, kSize, global);
        call(gif, "Add", {loopBlock(0)});
        call(gif, "Add", {extensionBlock(0xFE, {"made by gifqvr demo from free-standing objects"})});
        const std::string control = graphicControl(2, kDelay, 0);  // restore to background; index 0 clear
        for (int f = 0; f < kFrames; f++) {
            frames.push_back(spinnerFrame(f));
            bool second = f >= kFrames / 2;
            call(gif, "Add", {extensionBlock(0xF9, {control})});
            call(gif, "Add", {imageBlock(kSize, kSize, frames.back(), second ? &local : nullptr, second)});
        }
        saveGif(gif, gifPath);
    }
    std::printf("built    a %dx%d spinner of %d frames with a transparent background, from free-standing "
                "objects\nsaved    %s (%llu bytes)\n",
                kSize, kSize, kFrames, gifPath.c_str(), static_cast<unsigned long long>(fileSize(gifPath)));

    // Loaded again: the file must hold what was built.
    Value gif = openGif(gifPath, options);
    const int expectedBlocks = 2 + 2 * kFrames;
    if (getInt(gif, "Count") != expectedBlocks)
        fail(kPluginFault, gifPath + ": reloaded with " + std::to_string(getInt(gif, "Count")) +
                               " blocks instead of " + std::to_string(expectedBlocks));
    for (int f = 0; f < kFrames; f++) {
        Value block = call(gif, "Block", {Value::integer(3 + 2 * f)});
        Value picture = block.isNil() ? Value() : get(block, "Picture");
        Value data = picture.isNil() ? Value() : get(picture, "Data");
        if (data.isNil() || host().bytes(data) != frames[static_cast<size_t>(f)])
            fail(kPluginFault, gifPath + ": frame " + std::to_string(f) + " reloaded with other pixels");
    }
    std::printf("reloaded %d blocks; every frame's pixels as built\n", expectedBlocks);

    FramesWritten written = writeFrames(gif, gifPath, dir);
    if (written.failed > 0 || written.written != kFrames)
        fail(kPluginFault, gifPath + ": the plug-in could not make every frame into a picture");

    Value item = host().folderItem(dumpPath);
    if (!call(gif, "Print", {item}).asBoolean())
        fail(kBadFile, dumpPath + ": " + whyNotWritable(dumpPath));

    std::printf("\nOutputs in %s:\n"
                "  demo.gif                        the animation (open it in a browser)\n"
                "  frame-000.png .. frame-%03d.png  each frame, transparent where the GIF is\n"
                "  demo.txt                        the plug-in's text dump of demo.gif\n",
                dir.c_str(), kFrames - 1);
}

}  // namespace cli
