// RGBA PNG files, written with libpng.
#ifndef GIFQVR_CLI_PNG_FILE_H
#define GIFQVR_CLI_PNG_FILE_H

#include "cli/session.h"

#include <string>

namespace cli {

// Writes the picture as an 8-bit RGBA PNG; fails naming the path.
void writePng(const std::string &path, const Rgba &image);

}  // namespace cli

#endif
