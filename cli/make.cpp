// "make": a GIF from PNG frames, built as a host program builds one. The
// screen takes the first frame's size and table; each frame is a graphic
// control extension (delay, transparent index, disposal) directly followed
// by its image, with a local table when its colours differ from the
// first's; an animation starts with a NETSCAPE2.0 loop extension.
#include "cli/building.h"
#include "cli/commands.h"
#include "cli/files.h"
#include "cli/png_file.h"
#include "cli/quantise.h"

#include <cstdio>

namespace cli {

void runMake(const Operands &operands, const Options &options)
{
    const std::string &out = operands[0];
    std::vector<std::string> inputs(operands.begin() + 1, operands.end());
    for (const std::string &input : inputs)
        refuseToOverwrite(input, out);

    std::vector<Indexed> frames;
    int width = 0, height = 0;
    for (const std::string &input : inputs) {
        Rgba rgba = readPng(input);
        if (frames.empty()) {
            width = rgba.width;
            height = rgba.height;
        } else if (rgba.width != width || rgba.height != height) {
            fail(kBadFile, input + ": " + std::to_string(rgba.width) + "x" + std::to_string(rgba.height) +
                               ", not the first frame's " + std::to_string(width) + "x" + std::to_string(height));
        }
        frames.push_back(indexColours(rgba, options.dither));
        const Indexed &f = frames.back();
        std::printf("%s: %dx%d, %zu colour%s", input.c_str(), width, height, f.colours, f.colours == 1 ? "" : "s");
        if (f.reduced)
            std::printf(", reduced to 256 by median cut%s, mean colour error %.2f per channel (0 to 255)\n",
                        options.dither ? " with dithering" : "", f.meanError);
        else
            std::printf(", stored exactly\n");
    }

    const Table &global = frames[0].table;
    Value gif = gifObject(width, height, global);
    if (frames.size() > 1)
        call(gif, "Add", {loopBlock(options.loop)});
    for (size_t i = 0; i < frames.size(); i++) {
        const Indexed &f = frames[i];
        // Each frame is kept on the screen (disposal 1) unless the next one
        // lets it show through: then it is cleared (2), so that the next
        // frame is seen as it is.
        bool nextHasClear = i + 1 < frames.size() && frames[i + 1].transparent >= 0;
        call(gif, "Add", {extensionBlock(0xF9, {graphicControl(nextHasClear ? 2 : 1, options.delay, f.transparent)})});
        call(gif, "Add", {imageBlock(width, height, f.pixels, f.table == global ? nullptr : &f.table, false)});
    }
    saveGif(gif, out);
    std::printf("%s: %zu frame%s of %dx%d, %llu bytes\n", out.c_str(), frames.size(), frames.size() == 1 ? "" : "s",
                width, height, static_cast<unsigned long long>(fileSize(out)));
}

}  // namespace cli
