// The tool's subcommands. Each takes its operands, prints what it did and
// fails (see session.h) with a message that names the file and the reason.
#ifndef GIFQVR_CLI_COMMANDS_H
#define GIFQVR_CLI_COMMANDS_H

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
void runDemo(const Operands &operands, const Options &options);

// Shared by the commands and the demo.

// A GIFQVR object loaded by "OpenAsGIFQVR" from a file that readInput
// accepted; source names the file in messages.
Value openGif(const std::string &path, const Options &options);

// The transparent index the plug-in takes for the image in the block at the
// given index: from the extension block just before it, -1 without one.
int transparentIndexBefore(const Value &gif, int block);

// Writes every image as DIR/frame-NNN.png, one line each on stdout. Returns
// how many images could not be made into pictures (each reported on stderr).
struct FramesWritten {
    int written = 0;
    int failed = 0;
    std::vector<std::string> paths;
};
FramesWritten writeFrames(const Value &gif, const std::string &source, const std::string &dir);

// Creates the directory (and its parents) or fails naming it.
void makeDirectory(const std::string &dir);

}  // namespace cli

#endif
