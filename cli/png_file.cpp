#include "cli/png_file.h"

#include "cli/damage.h"
#include "cli/files.h"

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

Rgba readPng(const std::string &path)
{
    std::string bytes = readBytes(path);
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
        fail(kBadFile, path + ": not a PNG file libpng reads: " + png.message);
    Rgba image;
    image.width = static_cast<int32_t>(png.width);
    image.height = static_cast<int32_t>(png.height);
    if (static_cast<uint64_t>(png.width) * png.height > kMaxImagePixels || png.width > 65535 || png.height > 65535) {
        png_image_free(&png);
        fail(kBadFile, path + ": " + std::to_string(png.width) + "x" + std::to_string(png.height) +
                           " pixels, more than a GIF frame this tool makes");
    }
    png.format = PNG_FORMAT_RGBA;
    image.pixels.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
        std::string message = png.message;
        png_image_free(&png);
        fail(kBadFile, path + ": cannot read the PNG: " + message);
    }
    return image;
}

}  // namespace cli
