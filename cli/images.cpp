#include "cli/images.h"

#include "cli/damage.h"

namespace cli {

namespace {

// The plug-in's rule: the first sub-block of the extension just before the
// image that is long enough to carry an index and has bit 0 of its first
// byte set gives its fourth byte. The extension's label plays no part.
int maskIndexOf(const std::vector<std::string> &data)
{
    for (const std::string &d : data)
        if (d.size() >= 4 && (d[0] & 1))
            return static_cast<unsigned char>(d[3]);
    return -1;
}

}  // namespace

Value openGif(const std::string &path, const Options &options)
{
    readInput(path, options.strict);
    Value item = host().folderItem(path);
    Value gif = host().callFolderItem(item, "OpenAsGIFQVR");
    if (gif.isNil())
        fail(kBadFile, path + ": the plug-in could not load it");
    return gif;
}

std::vector<std::string> subBlocks(const Value &extension)
{
    std::vector<std::string> out;
    int count = getInt(extension, "Count");
    for (int i = 0; i < count; i++) {
        Value data = call(extension, "Data", {Value::integer(i)});
        out.push_back(data.isNil() ? std::string() : bytesOf(get(data, "DataString")));
    }
    return out;
}

Control readControl(const std::vector<std::string> &data, int block)
{
    Control c;
    c.block = block;
    if (data.empty() || data[0].size() < 4)
        return c;
    const std::string &d = data[0];
    int packed = static_cast<unsigned char>(d[0]);
    c.disposal = (packed >> 2) & 7;
    c.delay = static_cast<unsigned char>(d[1]) | static_cast<unsigned char>(d[2]) << 8;
    if (packed & 1)
        c.transparent = static_cast<unsigned char>(d[3]);
    return c;
}

std::vector<ImageEntry> imagesOf(const Value &gif)
{
    std::vector<ImageEntry> out;
    Control control;
    std::vector<std::string> before;  // sub-blocks of the extension just before
    bool afterExtension = false;
    int count = getInt(gif, "Count");
    for (int i = 0; i < count; i++) {
        Value block = call(gif, "Block", {Value::integer(i)});
        Value picture = block.isNil() ? Value() : get(block, "Picture");
        if (!picture.isNil()) {
            ImageEntry e;
            e.number = static_cast<int>(out.size());
            e.block = i;
            e.picture = picture;
            e.maskIndex = afterExtension ? maskIndexOf(before) : -1;
            e.control = control;
            out.push_back(e);
            control = Control();
            afterExtension = false;
            continue;
        }
        Value extension = block.isNil() ? Value() : get(block, "Extension");
        afterExtension = !extension.isNil();
        before = afterExtension ? subBlocks(extension) : std::vector<std::string>();
        if (afterExtension && getInt(extension, "Marker") == 0xF9)
            control = readControl(before, i);
    }
    return out;
}

std::string transparencyNote(const ImageEntry &image)
{
    if (image.maskIndex == image.control.transparent)
        return "";
    std::string note = "image " + std::to_string(image.number) + " (block " + std::to_string(image.block) + "): ";
    note += image.maskIndex < 0 ? "the plug-in's mask makes nothing transparent"
                                : "the plug-in's mask makes index " + std::to_string(image.maskIndex) +
                                      " transparent (from block " + std::to_string(image.block - 1) + ")";
    const Control &c = image.control;
    if (c.block < 0)
        return note + "; a viewer makes nothing transparent (no graphic control since the previous image)";
    note += c.transparent < 0 ? "; a viewer makes nothing transparent"
                              : "; a viewer makes index " + std::to_string(c.transparent) + " transparent";
    return note + " (graphic control in block " + std::to_string(c.block) + ")";
}

std::string pixelsOf(const ImageEntry &image)
{
    int64_t width = getInt(image.picture, "Width"), height = getInt(image.picture, "Height");
    if (width <= 0 || height <= 0)
        return "";
    Value data = get(image.picture, "Data");
    std::string pixels = data.isNil() ? std::string() : host().bytes(data);
    pixels.resize(static_cast<size_t>(width * height), '\0');
    return pixels;
}

Rgba checkedRgba(const ImageEntry &image, const Value &picture, const Value &mask)
{
    Rgba rgba = toRgba(picture, mask);
    std::string pixels = pixelsOf(image);
    std::string which = "image " + std::to_string(image.number) + " (block " + std::to_string(image.block) + ")";
    if (pixels.size() != rgba.pixels.size() / 4)
        fail(kPluginFault, "the plug-in made a picture of " + which + " of another size than the image");
    for (size_t i = 0; i < pixels.size(); i++) {
        bool clear = rgba.pixels[i * 4 + 3] == 0;
        if (clear != (static_cast<unsigned char>(pixels[i]) == image.maskIndex))
            fail(kPluginFault, "the plug-in's mask of " + which + " disagrees with transparent index " +
                                   std::to_string(image.maskIndex) + " at pixel " + std::to_string(i));
    }
    return rgba;
}

}  // namespace cli
