// The images of a loaded file, each with the two readings of its graphic
// control that can differ: the plug-in's masks take the transparent index
// from the extension block just before the image only, while a viewer takes
// transparency, disposal and delay from the last graphic control extension
// since the previous image.
#ifndef GIFQVR_CLI_IMAGES_H
#define GIFQVR_CLI_IMAGES_H

#include "cli/session.h"

#include <string>
#include <vector>

namespace cli {

// A GIFQVR object loaded by "OpenAsGIFQVR" from a file that readInput
// accepted.
Value openGif(const std::string &path, const Options &options);

// The bytes of every data sub-block of an extension object.
std::vector<std::string> subBlocks(const Value &extension);

// A graphic control extension as a viewer reads it.
struct Control {
    int block = -1;  // its block index; -1: none since the previous image
    int transparent = -1;
    int disposal = 0;
    int delay = 0;  // hundredths of a second
};

// What the first sub-block of a graphic control says; nothing when it is
// shorter than the four bytes that carry it.
Control readControl(const std::vector<std::string> &data, int block);

struct ImageEntry {
    int number = 0;  // counting images only
    int block = 0;
    Value picture;
    int maskIndex = -1;  // the index the plug-in's masks make transparent
    Control control;     // what a viewer reads
};

std::vector<ImageEntry> imagesOf(const Value &gif);

// One line, without a newline, when the plug-in's mask and a viewer make
// different pixels of the image transparent; empty when they agree.
std::string transparencyNote(const ImageEntry &image);

// The image's colour indexes, Width x Height bytes (missing ones as 0).
std::string pixelsOf(const ImageEntry &image);

// The picture made of an image and its mask, checked against the index the
// tool reports: a pixel is transparent exactly where its colour index is the
// mask index. Fails with kPluginFault otherwise.
Rgba checkedRgba(const ImageEntry &image, const Value &picture, const Value &mask);

}  // namespace cli

#endif
