// Writes the script fuzzer's seeds into a folder: a few scripts written out
// by hand (a file built as the README's example builds one, sizes at the
// edges, a loaded file's views mixed into a built one), and every GIF of a
// second folder loaded and taken apart.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/script/session.h"

namespace {

using Bytes = std::vector<uint8_t>;
using script::Op;

// Class indexes in the order the plug-in registers them.
enum { G, Pic, Dat, Blk, Scr, Pal, Ext };

struct Script {
    Bytes b;
    Script &op(Op o, std::initializer_list<int> rest = {})
    {
        b.push_back(o);
        for (int x : rest)
            b.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    Script &small(int v) { return raw({1, v}); }  // an integer 0..255
    Script &word(uint32_t v) { return raw({3, int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)}); }
    Script &text(const std::string &s)  // a string or memory block of these bytes
    {
        raw({3, 0, int(s.size())});
        b.insert(b.end(), s.begin(), s.end());
        return raw({1});
    }
    Script &raw(std::initializer_list<int> bytes)
    {
        for (int x : bytes)
            b.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    Script &load(const Bytes &gif)
    {
        size_t n = gif.size() > 65535 ? 65535 : gif.size();
        raw({script::kLoad, int(n & 255), int(n >> 8)});
        b.insert(b.end(), gif.begin(), gif.begin() + static_cast<long>(n));
        return *this;
    }
};

Script built()
{
    Script s;
    for (int c : {G, Scr, Pal, Blk, Pic, Blk, Ext, Dat})
        s.op(script::kNew, {c});
    s.op(script::kSet, {Pal, 0, 0}).small(4);
    s.op(script::kAssign, {Pal, 0, 3}).small(1).small(255);
    s.op(script::kSet, {Scr, 0, 0}).small(16).op(script::kSet, {Scr, 0, 1}).small(16);
    s.op(script::kSet, {Scr, 0, 4}).small(2).op(script::kSet, {Scr, 0, 5, 0});
    s.op(script::kSet, {G, 0, 1, 0}).op(script::kSet, {G, 0, 2}).text("GIF89a");
    s.op(script::kSet, {Blk, 0, 0}).small(0x2C);
    s.op(script::kSet, {Pic, 0, 2}).small(16).op(script::kSet, {Pic, 0, 3}).small(16);
    s.op(script::kSet, {Pic, 0, 8}).raw({3, 1, 0, 1, 3, 0, 1, 2, 3});
    s.op(script::kSet, {Blk, 0, 2, 0});
    s.op(script::kSet, {Dat, 0, 1}).text(std::string("\1\0\0\0", 4));
    s.op(script::kSet, {Ext, 0, 1}).small(0xF9).op(script::kCall, {Ext, 0, 1, 0});
    s.op(script::kSet, {Blk, 1, 0}).small(0x21).op(script::kSet, {Blk, 1, 1, 0});
    s.op(script::kCall, {G, 0, 1, 1}).op(script::kCall, {G, 0, 1, 0});
    s.op(script::kSave, {0});
    s.op(script::kCall, {G, 1, 0}).small(0).op(script::kCall, {G, 1, 5, 2, 0});
    return s;
}

Script edges(uint32_t width, uint32_t height)
{
    Script s;
    for (int c : {G, Blk, Pic})
        s.op(script::kNew, {c});
    s.op(script::kSet, {Pic, 0, 2}).word(width).op(script::kSet, {Pic, 0, 3}).word(height);
    s.op(script::kSet, {Pic, 0, 8}).raw({3, 1, 0x10, 0, 2, 7, 9});
    s.op(script::kSet, {Blk, 0, 0}).small(0x2C).op(script::kSet, {Blk, 0, 2, 0});
    s.op(script::kCall, {G, 0, 1, 0}).op(script::kSave, {0});
    return s;
}

// A loaded file taken apart, its views mixed into a built file and into
// itself, then saved and printed.
Script takenApart(const Bytes &gif)
{
    Script s;
    s.load(gif);
    s.op(script::kGet, {G, 0, 1}).op(script::kGet, {Scr, 0, 5});
    s.op(script::kCall, {G, 0, 0}).small(0).op(script::kCall, {G, 0, 0}).small(1);
    s.op(script::kGet, {Blk, 0, 2}).op(script::kGet, {Blk, 1, 1}).op(script::kGet, {Blk, 1, 2});
    s.op(script::kCall, {Pic, 0, 1}).op(script::kCall, {Pic, 0, 2}).op(script::kCall, {Pic, 0, 3}).small(0);
    s.op(script::kCall, {Pic, 0, 0}).small(0).op(script::kGet, {Pic, 0, 8}).op(script::kGet, {Pic, 0, 7});
    s.op(script::kCall, {Ext, 0, 0}).small(0).op(script::kGet, {Dat, 0, 1}).op(script::kGet, {Dat, 0, 2});
    s.op(script::kCall, {G, 0, 2}).op(script::kCall, {G, 0, 3}).op(script::kCall, {G, 0, 4});
    s.op(script::kNew, {G}).op(script::kCall, {G, 1, 1, 0}).op(script::kSave, {1});
    s.op(script::kCall, {G, 0, 1, 1}).op(script::kSave, {0}).op(script::kCall, {G, 0, 5, 2, 1});
    size_t n = gif.size() > 65535 ? 65535 : gif.size();
    s.raw({script::kStringPicture, int(n & 255), int(n >> 8)});
    s.b.insert(s.b.end(), gif.begin(), gif.begin() + static_cast<long>(n));
    return s;
}

void write(const std::filesystem::path &dir, const std::string &name, const Script &s)
{
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char *>(s.b.data()), static_cast<std::streamsize>(s.b.size()));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: script_seeds OUT_DIR [GIF_DIR]\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    write(out, "built", built());
    write(out, "tall", edges(1, 0x40000001));
    write(out, "wide", edges(0x10001, 3));
    write(out, "negative", edges(0xFFFFFFFF, 5));
    write(out, "huge", edges(0x7FFFFFFF, 0x80000000));
    if (argc > 2)
        for (const auto &entry : std::filesystem::directory_iterator(argv[2])) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            Bytes gif((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (gif.size() <= 65535)
                write(out, "gif-" + entry.path().filename().string(), takenApart(gif));
        }
    return 0;
}
