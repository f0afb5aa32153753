// What the saving tests share: a script's own objects built through the
// host, saved, and read back by giflib.
#ifndef GIFQVR_TESTS_OBJECT_CLASSES_SAVING_H
#define GIFQVR_TESTS_OBJECT_CLASSES_SAVING_H

#include <string>
#include <utility>
#include <vector>

#include "tests/object_classes/support.h"

namespace objtest {

using Extensions = std::vector<std::pair<int, std::vector<std::string>>>;

struct Frame {
    int left, top, width, height;
    bool interlace, sorted;
    Table local;  // empty: none
    Pixels pixels;
    int transparent;
};

inline Pixels Pattern(int count, int modulo, int seed)
{
    Pixels p;
    for (int i = 0; i < count; i++)
        p.push_back(static_cast<uint8_t>((i * seed + i / 5 + seed) % modulo));
    return p;
}

inline Table Colours(int count, uint32_t seed)
{
    Table t;
    for (int i = 0; i < count; i++)
        t.push_back((seed * 2654435761u + static_cast<uint32_t>(i) * 0x9E3779u) & 0xFFFFFF);
    return t;
}

class Saving : public HostTest {
protected:
    Value Palette(const Table &colours, int count = -1)
    {
        Value palette = New("GifPaletteQVR");
        Set(palette, "Count", Value::integer(count < 0 ? static_cast<int>(colours.size()) : count));
        for (size_t i = 0; i < colours.size(); i++)
            Assign(palette, "Value", {Value::integer(static_cast<int>(i))}, Value::color(colours[i]));
        return palette;
    }
    Value Extension(int label, const std::vector<std::string> &subBlocks)
    {
        Value ext = New("GifExtensionQVR");
        Set(ext, "Marker", Value::integer(label));
        for (const std::string &bytes : subBlocks) {
            Value data = New("GifDataQVR");
            if (!bytes.empty())
                Set(data, "DataMemory", Memory(bytes), 1);
            Call(ext, "Add", {data}, 1);
        }
        return ext;
    }
    Value ExtensionBlock(int label, const std::vector<std::string> &subBlocks)
    {
        Value block = New("GifBlockQVR");
        Set(block, "Intro", Value::integer(0x21));
        Set(block, "Extension", Extension(label, subBlocks), 1);
        return block;
    }
    Value Picture(const Frame &f)
    {
        Value pic = New("GifPictureQVR");
        Set(pic, "Left", Value::integer(f.left));
        Set(pic, "Top", Value::integer(f.top));
        Set(pic, "Width", Value::integer(f.width));
        Set(pic, "Height", Value::integer(f.height));
        Set(pic, "Interlace", Value::boolean(f.interlace));
        Set(pic, "Sorted", Value::boolean(f.sorted));
        if (!f.local.empty()) {
            int depth = 1;
            while ((size_t(1) << depth) < f.local.size())
                depth++;
            Set(pic, "PaletteDepth", Value::integer(depth));
            Set(pic, "Palette", Palette(f.local), 1);
        }
        if (!f.pixels.empty())
            Set(pic, "Data", Memory(std::string(f.pixels.begin(), f.pixels.end())), 1);
        return pic;
    }
    Value ImageBlock(const Frame &f)
    {
        Value block = New("GifBlockQVR");
        Set(block, "Intro", Value::integer(0x2C));
        Set(block, "Picture", Picture(f), 1);
        return block;
    }
    Value Screen(int width, int height, const Table &global, int depth)
    {
        Value screen = New("GifScreenQVR");
        Set(screen, "Width", Value::integer(width));
        Set(screen, "Height", Value::integer(height));
        Set(screen, "ColorResolution", Value::integer(8));
        Set(screen, "PaletteDepth", Value::integer(depth));
        if (!global.empty())
            Set(screen, "Palette", Palette(global), 1);
        return screen;
    }
    void Add(const Value &gif, const Value &block) { Call(gif, "Add", {block}, 1); }

    // Saves and has giflib read the file back.
    Decoded SaveAndDecode(const Value &gif, const std::string &name)
    {
        std::string path = Path(name);
        EXPECT_TRUE(Save(gif, path));
        Decoded d = decodeWithGiflib(path);
        EXPECT_TRUE(d.ok) << d.error;
        return d;
    }
};

}  // namespace objtest

#endif
