#include "tests/gifqvr_class/gif_bytes.h"

#include <cstdio>
#include <stdexcept>

namespace gifbytes {

namespace {

int depthOf(size_t entries)
{
    int depth = 1;
    while ((size_t{1} << depth) < entries)
        ++depth;
    if ((size_t{1} << depth) != entries || depth > 8)
        throw std::invalid_argument("colour table size must be a power of 2 up to 256");
    return depth;
}

void word(std::string &out, int value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void subBlocks(std::string &out, const std::string &data)
{
    for (size_t at = 0; at < data.size(); at += 255) {
        std::string chunk = data.substr(at, 255);
        out += static_cast<char>(chunk.size());
        out += chunk;
    }
    out += '\0';
}

} // namespace

Gif::Gif(const std::string &signature) : bytes_(signature) {}

void Gif::palette(const Palette &colours)
{
    for (uint32_t c : colours) {
        bytes_ += static_cast<char>((c >> 16) & 0xFF);
        bytes_ += static_cast<char>((c >> 8) & 0xFF);
        bytes_ += static_cast<char>(c & 0xFF);
    }
}

Gif &Gif::screen(int width, int height, const Palette &global)
{
    word(bytes_, width);
    word(bytes_, height);
    int packed = 0x70; // colour resolution 8
    if (!global.empty())
        packed |= 0x80 | (depthOf(global.size()) - 1);
    bytes_ += static_cast<char>(packed);
    bytes_ += '\0'; // background
    bytes_ += '\0'; // aspect
    palette(global);
    return *this;
}

Gif &Gif::extension(int label, const std::vector<std::string> &blocks)
{
    bytes_ += '\x21';
    bytes_ += static_cast<char>(label);
    for (const std::string &b : blocks) {
        bytes_ += static_cast<char>(b.size());
        bytes_ += b;
    }
    bytes_ += '\0';
    return *this;
}

Gif &Gif::transparency(int index)
{
    return extension(0xF9, {std::string{'\x01', '\0', '\0', static_cast<char>(index)}});
}

Gif &Gif::image(int width, int height, const Pixels &pixels, const Palette &local, int left,
                int top)
{
    if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        throw std::invalid_argument("pixel count does not match the size");
    bytes_ += '\x2C';
    word(bytes_, left);
    word(bytes_, top);
    word(bytes_, width);
    word(bytes_, height);
    bytes_ += static_cast<char>(local.empty() ? 0 : 0x80 | (depthOf(local.size()) - 1));
    palette(local);

    int root = 2;
    for (uint8_t p : pixels)
        while ((1 << root) <= p)
            ++root;
    const int clear = 1 << root, end = clear + 1, widthBits = root + 1;
    std::string data;
    uint32_t buffer = 0;
    int count = 0;
    auto emit = [&](int code) {
        buffer |= static_cast<uint32_t>(code) << count;
        count += widthBits;
        while (count >= 8) {
            data += static_cast<char>(buffer & 0xFF);
            buffer >>= 8;
            count -= 8;
        }
    };
    for (uint8_t p : pixels) {
        emit(clear);
        emit(p);
    }
    emit(end);
    if (count > 0)
        data += static_cast<char>(buffer & 0xFF);
    bytes_ += static_cast<char>(root);
    subBlocks(bytes_, data);
    return *this;
}

Gif &Gif::trailer()
{
    bytes_ += '\x3B';
    return *this;
}

std::string readFile(const std::string &path)
{
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        throw std::runtime_error("cannot read " + path);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0 || !written)
        throw std::runtime_error("cannot write " + path);
}

} // namespace gifbytes
