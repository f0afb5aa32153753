/* The services the resolver hands out, by the names the plug-in asks for.
 * None of them throws: a bad handle or argument is recorded as an error and
 * answered with nil or 0, so the plug-in always gets control back. */
#include "standin_host/internal.h"

#include <cstring>
#include <type_traits>

namespace standin {

namespace {

Host::Impl &I()
{
    return impl();
}

void svcRegisterPluginVersion(int32_t version)
{
    I().called("RegisterPluginVersion", {version});
}

double svcGetRBVersion()
{
    I().called("REALGetRBVersion");
    return Host::instance().version();
}

int32_t svcRegisterClass(ClassRecord *def)
{
    I().called("PluginRegisterClass", {}, def && def->name ? def->name : "");
    return I().registerClass(def, false);
}

int32_t svcRegisterClassExtension(ClassRecord *def)
{
    I().called("PluginRegisterClassExtension", {}, def && def->name ? def->name : "");
    return I().registerClass(def, true);
}

int32_t svcRegisterMethod(MethodRecord *def)
{
    I().called("PluginRegisterMethod", {}, def && def->declaration ? def->declaration : "");
    return I().registerMethod(def);
}

REALobject svcNewInstance(const char *className)
{
    Host::Impl &host = I();
    host.called("PluginNewInstance", {}, className ? className : "");
    if (!className) {
        host.error("PluginNewInstance: nil class name");
        return nullptr;
    }
    // The plug-in names its own classes exactly as it registered them.
    for (ClassInfo *c : host.classes)
        if (c->name == className)
            return reinterpret_cast<REALobject>(host.makeInstance(*c).memory);
    host.error(std::string("PluginNewInstance: no class registered as \"") + className + "\"");
    return nullptr;
}

void svcLockObject(REALobject obj)
{
    I().called("REALLockObject");
    if (obj)
        if (Handle *h = I().live(obj, Kind::Nil, "REALLockObject"))
            I().lock(*h);
}

void svcUnlockObject(REALobject obj)
{
    I().called("REALUnlockObject");
    if (obj)
        if (Handle *h = I().live(obj, Kind::Nil, "REALUnlockObject"))
            I().release(*h);
}

void svcLockString(REALstring str)
{
    I().called("REALLockString");
    if (str)
        if (Handle *h = I().live(str, Kind::String, "REALLockString")) {
            I().verifyHandle(*h);
            I().lock(*h);
        }
}

void svcUnlockString(REALstring str)
{
    I().called("REALUnlockString");
    if (str)
        if (Handle *h = I().live(str, Kind::String, "REALUnlockString")) {
            I().verifyHandle(*h);
            I().release(*h);
        }
}

REALstring svcBuildString(const char *bytes, int32_t length)
{
    Host::Impl &host = I();
    host.called("REALBuildString", {length});
    if (length < 0 || (!bytes && length > 0)) {
        host.error("REALBuildString: no bytes for length " + std::to_string(length));
        return nullptr;
    }
    return reinterpret_cast<REALstring>(
        host.makeString(bytes, static_cast<size_t>(length), kEncodingUntagged).memory);
}

void svcSetStringEncoding(REALstring str, uint32_t encoding)
{
    Host::Impl &host = I();
    host.called("REALSetStringEncoding", {encoding});
    if (Handle *h = host.live(str, Kind::String, "REALSetStringEncoding")) {
        host.verifyHandle(*h);
        h->encoding = encoding;
    }
}

REALstring svcConvertString(REALstring str, uint32_t encoding)
{
    Host::Impl &host = I();
    host.called("REALConvertString", {encoding});
    Handle *h = host.live(str, Kind::String, "REALConvertString");
    if (!h)
        return nullptr;
    host.verifyHandle(*h);
    std::string out;
    if (!convertText(h->bytes, h->encoding, encoding, out))
        return nullptr;
    return reinterpret_cast<REALstring>(host.makeString(out.data(), out.size(), encoding).memory);
}

uint32_t svcGetFontEncoding(const char *fontName)
{
    Host::Impl &host = I();
    host.called("REALGetFontEncoding", {}, fontName ? fontName : "");
    if (!fontName) {
        host.error("REALGetFontEncoding: nil font name");
        return 0;
    }
    // The one font whose encoding a plug-in of this interface asks for.
    return std::strcmp(fontName, "System") == 0 ? Host::instance().systemEncoding() : 0;
}

REALstring svcPathFromFolderItem(REALfolderItem item)
{
    Host::Impl &host = I();
    host.called("REALpathFromFolderItem");
    Handle *h = host.live(item, Kind::FolderItem, "REALpathFromFolderItem");
    if (!h)
        return nullptr;
    return reinterpret_cast<REALstring>(host.makeString(h->path.data(), h->path.size(), kEncodingUTF8).memory);
}

REALmemoryBlock svcNewMemoryBlock(int32_t size)
{
    Host::Impl &host = I();
    host.called("newMemoryBlock", {size});
    if (size < 0) {
        host.error("newMemoryBlock: negative size " + std::to_string(size));
        return nullptr;
    }
    return reinterpret_cast<REALmemoryBlock>(host.makeMemoryBlock(size).memory);
}

void *svcMemoryBlockGetPtr(REALmemoryBlock block)
{
    I().called("memoryBlockGetPtr");
    Handle *h = I().live(block, Kind::MemoryBlock, "memoryBlockGetPtr");
    return h ? h->data.get() : nullptr;
}

int32_t svcMemoryBlockGetSize(REALmemoryBlock block)
{
    I().called("memoryBlockGetSize");
    Handle *h = I().live(block, Kind::MemoryBlock, "memoryBlockGetSize");
    return h ? h->size : 0;
}

REALpicture svcBuildPictureFromBuffer(int32_t width, int32_t height, int32_t pixelType, void *buffer,
                                      int32_t rowBytes)
{
    Host::Impl &host = I();
    host.called("REALBuildPictureFromBuffer", {width, height, pixelType, rowBytes});
    if (width <= 0 || height <= 0)
        return nullptr;
    if (pixelType != kPixelTypeRGB) {
        host.error("REALBuildPictureFromBuffer: pixel type " + std::to_string(pixelType) +
                   " is not the 24-bit RGB type");
        return nullptr;
    }
    const int64_t rowLength = int64_t{width} * 3;
    if (!buffer || rowBytes < rowLength) {
        host.error("REALBuildPictureFromBuffer: no pixels, or " + std::to_string(rowBytes) +
                   " bytes per row for a width of " + std::to_string(width));
        return nullptr;
    }
    // A picture this host would not make room for.
    if (rowLength * height > (int64_t{1} << 30))
        return nullptr;
    Handle &pic = host.makePicture(width, height);
    const auto *src = static_cast<const uint8_t *>(buffer);
    for (int32_t y = 0; y < height; y++)
        std::memcpy(&pic.rgb[static_cast<size_t>(y) * static_cast<size_t>(rowLength)],
                    src + static_cast<size_t>(y) * static_cast<size_t>(rowBytes), static_cast<size_t>(rowLength));
    return reinterpret_cast<REALpicture>(pic.memory);
}

REALpicture svcGetPictureMask(REALpicture pic, uint8_t create)
{
    Host::Impl &host = I();
    host.called("REALGetPictureMask", {create});
    if (create != 1)
        host.error("REALGetPictureMask: create flag " + std::to_string(create) + ", not 1");
    Handle *h = host.live(pic, Kind::Picture, "REALGetPictureMask");
    if (!h)
        return nullptr;
    if (!h->mask) {
        if (!create)
            return nullptr;
        // Starts black, opaque: making a mask does not change the picture.
        h->mask = &host.makePicture(h->width, h->height);
    }
    host.lock(*h->mask);
    return reinterpret_cast<REALpicture>(h->mask->memory);
}

REALgraphics svcPictureGraphics(REALpicture pic)
{
    Host::Impl &host = I();
    host.called("pluginPictureGraphicsGetter");
    Handle *h = host.live(pic, Kind::Picture, "pluginPictureGraphicsGetter");
    if (!h)
        return nullptr;
    Handle &g = host.create(Kind::Graphics, kOpaqueBody);
    g.target = h;
    host.lock(*h);
    return reinterpret_cast<REALgraphics>(g.memory);
}

void hostDrawPicture(REALgraphics g, REALpicture p, int32_t x, int32_t y, int32_t dw, int32_t dh, int32_t sx,
                     int32_t sy, int32_t sw, int32_t sh)
{
    Host::Impl &host = I();
    host.called("DrawPicture", {x, y, dw, dh, sx, sy, sw, sh});
    Handle *gh = host.live(g, Kind::Graphics, "DrawPicture");
    Handle *ph = host.live(p, Kind::Picture, "DrawPicture");
    if (gh && ph)
        host.draw(*gh->target, *ph, x, y, dw, dh, sx, sy, sw, sh);
}

void *svcLoadObjectMethod(REALobject obj, const char *declaration)
{
    Host::Impl &host = I();
    host.called("REALLoadObjectMethod", {}, declaration ? declaration : "");
    if (!declaration) {
        host.error("REALLoadObjectMethod: nil declaration");
        return nullptr;
    }
    Handle *h = host.live(obj, Kind::Nil, "REALLoadObjectMethod");
    if (!h)
        return nullptr;
    // Found only by the exact text of the declaration.
    if (h->kind == Kind::Graphics)
        return std::strcmp(declaration, kDrawPictureDeclaration) == 0 ? reinterpret_cast<void *>(&hostDrawPicture)
                                                                      : nullptr;
    std::vector<MethodInfo> methods;
    if (h->kind == Kind::Object)
        methods = host.methodsNow(*h->cls);
    if (h->kind == Kind::FolderItem)
        methods = host.folderItemMethods();
    for (const MethodInfo &m : methods)
        if (m.declaration == declaration)
            return m.function;
    return nullptr;
}

struct Service {
    const char *name;
    void *function;
};

template <typename Proc> void *address(Proc proc)
{
    return reinterpret_cast<void *>(proc);
}

/* Each entry is checked against the signature the plug-in expects. */
const Service kServices[] = {
    {"RegisterPluginVersion", address<RegisterPluginVersionProc>(svcRegisterPluginVersion)},
    {"REALGetRBVersion", address<REALGetRBVersionProc>(svcGetRBVersion)},
    {"PluginRegisterClass", address<PluginRegisterClassProc>(svcRegisterClass)},
    {"PluginRegisterClassExtension", address<PluginRegisterClassProc>(svcRegisterClassExtension)},
    {"PluginRegisterMethod", address<PluginRegisterMethodProc>(svcRegisterMethod)},
    {"PluginNewInstance", address<PluginNewInstanceProc>(svcNewInstance)},
    {"REALLockObject", address<REALLockObjectProc>(svcLockObject)},
    {"REALUnlockObject", address<REALLockObjectProc>(svcUnlockObject)},
    {"REALLockString", address<REALLockStringProc>(svcLockString)},
    {"REALUnlockString", address<REALLockStringProc>(svcUnlockString)},
    {"REALBuildString", address<REALBuildStringProc>(svcBuildString)},
    {"REALSetStringEncoding", address<REALSetStringEncodingProc>(svcSetStringEncoding)},
    {"REALConvertString", address<REALConvertStringProc>(svcConvertString)},
    {"REALGetFontEncoding", address<REALGetFontEncodingProc>(svcGetFontEncoding)},
    {"REALpathFromFolderItem", address<REALpathFromFolderItemProc>(svcPathFromFolderItem)},
    {"newMemoryBlock", address<newMemoryBlockProc>(svcNewMemoryBlock)},
    {"memoryBlockGetPtr", address<memoryBlockGetPtrProc>(svcMemoryBlockGetPtr)},
    {"memoryBlockGetSize", address<memoryBlockGetSizeProc>(svcMemoryBlockGetSize)},
    {"REALBuildPictureFromBuffer", address<REALBuildPictureFromBufferProc>(svcBuildPictureFromBuffer)},
    {"REALGetPictureMask", address<REALGetPictureMaskProc>(svcGetPictureMask)},
    {"pluginPictureGraphicsGetter", address<pluginPictureGraphicsGetterProc>(svcPictureGraphics)},
    {"REALLoadObjectMethod", address<REALLoadObjectMethodProc>(svcLoadObjectMethod)},
};

static_assert(std::is_same<decltype(&hostDrawPicture), DrawPictureProc>::value,
              "DrawPicture must match the signature plug-ins call");

} // namespace

std::vector<std::string> Host::serviceNames() const
{
    std::vector<std::string> names;
    for (const Service &s : kServices)
        names.push_back(s.name);
    return names;
}

void *Host::service(const std::string &name) const
{
    for (const Service &s : kServices)
        if (name == s.name)
            return s.function;
    return nullptr;
}

/* ---- drawing ---- */

void Host::Impl::draw(Handle &target, Handle &source, int32_t x, int32_t y, int32_t dw, int32_t dh, int32_t sx,
                      int32_t sy, int32_t sw, int32_t sh)
{
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return;
    // Copies first: a picture may be drawn into itself.
    const std::vector<uint8_t> src = source.rgb;
    const std::vector<uint8_t> mask = source.mask ? source.mask->rgb : std::vector<uint8_t>();
    for (int64_t j = 0; j < dh; j++) {
        const int64_t ty = y + j, fy = sy + j * sh / dh;
        if (ty < 0 || ty >= target.height || fy < 0 || fy >= source.height)
            continue;
        for (int64_t i = 0; i < dw; i++) {
            const int64_t tx = x + i, fx = sx + i * sw / dw;
            if (tx < 0 || tx >= target.width || fx < 0 || fx >= source.width)
                continue;
            const size_t from = static_cast<size_t>((fy * source.width + fx) * 3);
            uint8_t *to = &target.rgb[static_cast<size_t>((ty * target.width + tx) * 3)];
            for (size_t c = 0; c < 3; c++) {
                if (mask.empty()) {
                    to[c] = src[from + c];
                } else {
                    // White in the source's mask lets the target show through.
                    const unsigned m = mask[from + c];
                    to[c] = static_cast<uint8_t>((src[from + c] * (255 - m) + to[c] * m + 127) / 255);
                }
            }
        }
    }
}


} // namespace standin
