// PNG files, read and written with libpng as 8-bit RGBA.
#ifndef GIFQVR_CLI_PNG_FILE_H
#define GIFQVR_CLI_PNG_FILE_H

#include "cli/session.h"

#include <string>

namespace cli {

// Writes the picture as an 8-bit RGBA PNG; fails naming the path.
void writePng(const std::string &path, const Rgba &image);

// Any PNG that libpng reads (grey, palette, RGB, with or without alpha, 8
// or 16 bits), as 8-bit RGBA; fails naming the path.
Rgba readPng(const std::string &path);

}  // namespace cli

#endif
