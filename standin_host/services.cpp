/* The services the resolver hands out, by the names the plug-in asks for.
 * None of them throws: a bad handle or argument is recorded as an error and
 * answered with nil or 0, so the plug-in always gets control back. */
#include "standin_host/internal.h"

#include <cstring>
#include <dlfcn.h>
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

int32_t svcRegisterClass(REALclassDefinition *def)
{
    I().called("PluginRegisterClass", {}, def && def->name ? def->name : "");
    return I().registerClass(def, false);
}

int32_t svcRegisterClassExtension(REALclassDefinition *def)
{
    I().called("PluginRegisterClassExtension", {}, def && def->name ? def->name : "");
    return I().registerClass(def, true);
}

int32_t svcRegisterMethod(REALmethodDefinition *def)
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
        h->str()->encoding = encoding;
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
    // Every font of this host, "System" included, uses the system encoding.
    return Host::instance().systemEncoding();
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
    Value block = Host::instance().memoryBlock(size);
    return static_cast<REALmemoryBlock>(block.detach());
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
    if (pixelType != RBPixelType24) {
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

REALpicture svcGetPictureMask(REALpicture pic, RBBoolean create)
{
    Host::Impl &host = I();
    host.called("REALGetPictureMask", {create});
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
    Handle &g = host.create(Kind::Graphics, 16);
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
    if (h->kind == Kind::Object) {
        for (const MethodInfo &m : h->cls->methods)
            if (m.declaration == declaration)
                return m.function;
    }
    if (h->kind == Kind::FolderItem) {
        for (ClassInfo *ext : host.extensions)
            if (sameName(ext->name, "Folderitem"))
                for (const MethodInfo &m : ext->methods)
                    if (m.declaration == declaration)
                        return m.function;
    }
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

void *resolve(const char *name)
{
    Host::Impl &host = I();
    if (!name) {
        host.error("resolver: nil service name");
        return nullptr;
    }
    host.lookupCount[name]++;
    host.note(JournalEntry::Lookup, name);
    if (host.withdrawn.count(name))
        return nullptr;
    auto replaced = host.replaced.find(name);
    if (replaced != host.replaced.end())
        return replaced->second;
    return Host::instance().service(name);
}

} // namespace

REALResolver Host::resolver()
{
    return &resolve;
}

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

void Host::withdraw(const std::string &name)
{
    impl_->withdrawn.insert(name);
}

void Host::replace(const std::string &name, void *function)
{
    impl_->withdrawn.erase(name);
    impl_->replaced[name] = function;
}

void Host::restore(const std::string &name)
{
    impl_->withdrawn.erase(name);
    impl_->replaced.erase(name);
}

void Host::restoreAll()
{
    impl_->withdrawn.clear();
    impl_->replaced.clear();
}

void Host::start(void (*entry)(REALResolver))
{
    entry(resolver());
}

bool Host::loadPlugin(const std::string &path)
{
    if (impl_->libraries.count(path))
        return false;
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw HostError("loadPlugin: " + std::string(dlerror()));
    void *entry = dlsym(library, "REALPluginMain");
    if (!entry) {
        dlclose(library);
        throw HostError("loadPlugin: " + path + " has no REALPluginMain");
    }
    impl_->libraries[path] = library;
    start(reinterpret_cast<void (*)(REALResolver)>(entry));
    return true;
}

void *Host::pluginSymbol(const std::string &path, const std::string &name)
{
    auto it = impl_->libraries.find(path);
    if (it == impl_->libraries.end())
        throw HostError("pluginSymbol: " + path + " is not loaded");
    return dlsym(it->second, name.c_str());
}

/* ---- text encodings ---- */

namespace {
bool decode(const std::string &in, uint32_t from, std::u32string &out)
{
    out.clear();
    switch (from) {
    case kEncodingASCII:
        for (unsigned char c : in) {
            if (c > 0x7F)
                return false;
            out += c;
        }
        return true;
    case kEncodingLatin1:
        for (unsigned char c : in)
            out += c;
        return true;
    case kEncodingUTF8:
        for (size_t i = 0; i < in.size();) {
            unsigned char c = static_cast<unsigned char>(in[i]);
            int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
            if (extra < 0 || in.size() - i <= static_cast<size_t>(extra))
                return false;
            char32_t cp = extra ? c & (0x3F >> extra) : c;
            for (int k = 1; k <= extra; k++) {
                unsigned char next = static_cast<unsigned char>(in[i + static_cast<size_t>(k)]);
                if ((next & 0xC0) != 0x80)
                    return false;
                cp = cp << 6 | (next & 0x3F);
            }
            out += cp;
            i += static_cast<size_t>(extra) + 1;
        }
        return true;
    default:
        return false;
    }
}

bool encode(const std::u32string &in, uint32_t to, std::string &out)
{
    out.clear();
    for (char32_t cp : in) {
        switch (to) {
        case kEncodingASCII: out += cp < 0x80 ? static_cast<char>(cp) : '?'; break;
        case kEncodingLatin1: out += cp < 0x100 ? static_cast<char>(cp) : '?'; break;
        case kEncodingUTF8:
            if (cp < 0x80) {
                out += static_cast<char>(cp);
            } else if (cp < 0x800) {
                out += static_cast<char>(0xC0 | cp >> 6);
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                out += static_cast<char>(0xE0 | cp >> 12);
                out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | cp >> 18);
                out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
                out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            break;
        default: return false;
        }
    }
    return true;
}
} // namespace

bool convertText(const std::string &in, uint32_t from, uint32_t to, std::string &out)
{
    // Bytes without a known encoding travel as they are.
    const bool rawSource = from == kEncodingRaw || from == kEncodingUntagged;
    if (to == kEncodingRaw || (rawSource && (to == kEncodingUTF8 || to == kEncodingLatin1 || to == kEncodingASCII))) {
        out = in;
        return true;
    }
    std::u32string text;
    return decode(in, from, text) && encode(text, to, out);
}

} // namespace standin
