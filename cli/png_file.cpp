#include "cli/png_file.h"

#include "cli/container.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace cli {

void writePng(const std::string &path, const Rgba &image)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        fail(kBadFile, path + ": " + whyNotWritable(path));
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    int ok = png_image_write_to_stdio(&png, file, 0, image.pixels.data(), 0, nullptr);
    std::string message = png.message;
    png_image_free(&png);
    bool closed = std::fclose(file) == 0;
    if (!ok || !closed) {
        std::remove(path.c_str());
        fail(kBadFile, path + ": cannot write the PNG: " + (ok ? std::strerror(errno) : message));
    }
}

}  // namespace cli
