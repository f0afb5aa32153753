// The host services the picture unit tests make fail, and their helpers.
#include "tests/gifqvr_class/picture_unit.h"

#include <cstring>

void PluginEntry(void) {}

namespace picture_unit {

bool gNoPicture, gNoMask, gNoGraphics, gNoMethod;
int gMethodAsks;
std::vector<void *> gUnlocked;
void *gLastMask, *gLastGraphics;

namespace {

template <typename Proc>
Proc real(const char *name)
{
    return reinterpret_cast<Proc>(Host::instance().service(name));
}

REALpicture buildPicture(int32_t w, int32_t h, int32_t type, void *buffer, int32_t rowBytes)
{
    if (gNoPicture)
        return nullptr;
    return real<REALBuildPictureFromBufferProc>("REALBuildPictureFromBuffer")(w, h, type, buffer, rowBytes);
}

REALpicture getMask(REALpicture picture, RBBoolean create)
{
    REALpicture mask = gNoMask ? nullptr : real<REALGetPictureMaskProc>("REALGetPictureMask")(picture, create);
    gLastMask = mask;
    return mask;
}

REALgraphics getGraphics(REALpicture picture)
{
    REALgraphics graphics =
        gNoGraphics ? nullptr : real<pluginPictureGraphicsGetterProc>("pluginPictureGraphicsGetter")(picture);
    gLastGraphics = graphics;
    return graphics;
}

void unlockObject(REALobject object)
{
    gUnlocked.push_back(object);
    real<REALLockObjectProc>("REALUnlockObject")(object);
}

void *loadMethod(REALobject object, const char *declaration)
{
    gMethodAsks++;
    return gNoMethod ? nullptr : real<REALLoadObjectMethodProc>("REALLoadObjectMethod")(object, declaration);
}

} // namespace

void startHost()
{
    static bool started = false;
    if (started)
        return;
    Host &host = Host::instance();
    host.replace("REALBuildPictureFromBuffer", reinterpret_cast<void *>(&buildPicture));
    host.replace("REALGetPictureMask", reinterpret_cast<void *>(&getMask));
    host.replace("pluginPictureGraphicsGetter", reinterpret_cast<void *>(&getGraphics));
    host.replace("REALLoadObjectMethod", reinterpret_cast<void *>(&loadMethod));
    host.replace("REALUnlockObject", reinterpret_cast<void *>(&unlockObject));
    host.start(&REALPluginMain);
    started = true;
}

std::vector<uint8_t> solid(size_t pixels, uint32_t rgb)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < pixels; i++) {
        out.push_back(static_cast<uint8_t>(rgb >> 16));
        out.push_back(static_cast<uint8_t>(rgb >> 8));
        out.push_back(static_cast<uint8_t>(rgb));
    }
    return out;
}

GifPalette *table(const std::vector<uint32_t> &colours)
{
    GifPalette *p = new_gif_palette();
    p->length = static_cast<int32_t>(colours.size());
    p->colours = static_cast<Colour *>(gif_alloc(static_cast<int32_t>(colours.size() * sizeof(Colour))));
    for (size_t i = 0; i < colours.size(); i++) {
        p->colours[i].alpha = 0x5A;
        p->colours[i].red = static_cast<unsigned char>(colours[i] >> 16);
        p->colours[i].green = static_cast<unsigned char>(colours[i] >> 8);
        p->colours[i].blue = static_cast<unsigned char>(colours[i]);
    }
    return p;
}

GifPicture *image(int32_t width, int32_t height, const std::vector<uint8_t> &pixels,
                  const std::vector<uint32_t> &local)
{
    GifPicture *pic = new_gif_picture();
    pic->width = width;
    pic->height = height;
    if (!local.empty()) {
        del_gif_palette(pic->cmap);
        pic->cmap = table(local);
        pic->has_cmap = 1;
    }
    pic->rows = static_cast<unsigned char **>(gif_alloc(height * static_cast<int32_t>(sizeof(unsigned char *))));
    for (int32_t r = 0; r < height; r++) {
        pic->rows[r] = static_cast<unsigned char *>(gif_alloc(width));
        memcpy(pic->rows[r], pixels.data() + r * width, static_cast<size_t>(width));
    }
    return pic;
}

GifExtension *extension(const std::vector<std::string> &subBlocks)
{
    GifExtension *ext = new_gif_extension();
    ext->marker = 0xF9;
    ext->data_count = static_cast<int32_t>(subBlocks.size());
    ext->data = static_cast<GifData **>(gif_alloc(ext->data_count * static_cast<int32_t>(sizeof(GifData *))));
    for (size_t i = 0; i < subBlocks.size(); i++) {
        ext->data[i] = new_gif_data(static_cast<int32_t>(subBlocks[i].size()));
        memcpy(ext->data[i]->bytes, subBlocks[i].data(), subBlocks[i].size());
    }
    return ext;
}


} // namespace picture_unit
