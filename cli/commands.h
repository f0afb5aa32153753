// The tool's subcommands. Each takes its operands, prints what it did and
// fails (see session.h) with a message that names the file and the reason.
#ifndef GIFQVR_CLI_COMMANDS_H
#define GIFQVR_CLI_COMMANDS_H

#include "cli/images.h"
#include "cli/session.h"

#include <string>
#include <vector>

namespace cli {

using Operands = std::vector<std::string>;

void runInfo(const Operands &operands, const Options &options);
void runDump(const Operands &operands, const Options &options);
void runPng(const Operands &operands, const Options &options);
void runFrames(const Operands &operands, const Options &options);
void runResave(const Operands &operands, const Options &options);
void runMake(const Operands &operands, const Options &options);
void runDemo(const Operands &operands, const Options &options);

// Shared by the commands and the demo.

// The image's transparencyNote as a line of output, if it has one.
void printNote(const ImageEntry &image);

// Why the plug-in gives no picture of the image, as far as the API shows.
std::string whyNoPicture(const Value &gif, const Value &picture);

// Writes every image as DIR/frame-NNN.png, at its own size with the
// plug-in's mask, one line each on stdout (and a line for each image whose
// transparency a viewer reads otherwise). Images the plug-in makes no
// picture of are reported on stderr and counted.
struct FramesWritten {
    int images = 0;
    int written = 0;  // PNG files
    int failed = 0;   // images not drawn
};
FramesWritten writeFrames(const Value &gif, const std::string &source, const std::string &dir);

// The same as a viewer shows them: each frame composited on the logical
// screen with its disposal (composite.cpp).
FramesWritten writeCompositeFrames(const Value &gif, const std::string &source, const std::string &dir);

}  // namespace cli

#endif
