// giflib's reading of a file, from the codec tests' oracle view, in the
// canonical form these tests compare with.
#include "tests/object_classes/support.h"

#include "tests/codec_write/giflib_view.h"

namespace objtest {

namespace {

Table Colours(const std::vector<ViewColour> &view)
{
    Table t;
    for (const ViewColour &c : view)
        t.push_back(static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b));
    return t;
}

}  // namespace

Decoded decodeWithGiflib(const std::string &path)
{
    Decoded d;
    const GiflibFile file = GiflibDecode(path);
    if (!file.ok) {
        d.error = file.error;
        return d;
    }
    if (file.gave_up) {
        d.error = "giflib gave up";
        return d;
    }
    d.header = file.header;
    d.width = file.width;
    d.height = file.height;
    d.colorResolution = file.color_res;
    d.background = file.background;
    d.aspect = file.aspect;
    d.sorted = file.sorted;
    d.global = Colours(file.global);
    std::vector<std::pair<int, std::vector<std::string>>> pending;
    for (const GiflibBlock &b : file.blocks) {
        if (b.kind == 'X') {
            pending.emplace_back(b.label, b.data);
            continue;
        }
        if (b.complete != b.height) {
            d.error = "giflib decoded only " + std::to_string(b.complete) + " rows";
            return d;
        }
        Decoded::Frame f;
        f.left = b.left;
        f.top = b.top;
        f.width = b.width;
        f.height = b.height;
        f.interlace = b.interlace;
        f.sorted = b.sorted;
        f.local = Colours(b.local);
        f.pixels = b.pixels;
        f.extensions = pending;
        pending.clear();
        d.frames.push_back(f);
    }
    d.trailingExtensions = pending;
    d.ok = true;
    return d;
}

}  // namespace objtest
