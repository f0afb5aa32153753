// Files the tool reads and writes, with messages that name them.
#ifndef GIFQVR_CLI_FILES_H
#define GIFQVR_CLI_FILES_H

#include <cstdint>
#include <string>

namespace cli {

// Every byte of a regular file; fails naming it when it cannot be read.
std::string readBytes(const std::string &path);

// Fails when writing to the path would replace the input file.
void refuseToOverwrite(const std::string &input, const std::string &output);

// Why a file cannot be opened for writing, as far as the tool can tell.
std::string whyNotWritable(const std::string &path);

// Creates the directory (and its parents) or fails naming it.
void makeDirectory(const std::string &dir);

// DIR/frame-NNN.png.
std::string framePath(const std::string &dir, int n);

uint64_t fileSize(const std::string &path);

}  // namespace cli

#endif
