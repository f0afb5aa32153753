/* The host object: recording of faults and calls, names, and the value API
 * through which tests and tools make and read host values. */
#include "standin_host/internal.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace standin {

std::string hexAddress(const void *p)
{
    std::ostringstream out;
    out << p;
    return out.str();
}

std::string quoted(const std::string &bytes)
{
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size() && i < 40; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        }
    }
    if (bytes.size() > 40)
        out += "...";
    return out + "\"";
}

const char *const kDrawPictureDeclaration =
    "DrawPicture( p as Picture, x as Integer, y as Integer, dw as Integer, dh as Integer, "
    "sx as Integer, sy as Integer, sw as Integer, sh as Integer )";

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Nil: return "nil";
    case Kind::Integer: return "integer";
    case Kind::Boolean: return "boolean";
    case Kind::Color: return "color";
    case Kind::String: return "string";
    case Kind::Picture: return "picture";
    case Kind::Graphics: return "graphics";
    case Kind::MemoryBlock: return "memoryblock";
    case Kind::FolderItem: return "folderitem";
    case Kind::Object: return "object";
    }
    return "?";
}

bool isObjectKind(Kind kind)
{
    return kind == Kind::Picture || kind == Kind::Graphics || kind == Kind::MemoryBlock ||
           kind == Kind::FolderItem || kind == Kind::Object;
}

bool sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Host &Host::instance()
{
    // Never destroyed: handles may be released by static destructors.
    static Host *host = new Host;
    return *host;
}

Host::Host() : impl_(new Impl(*this)) {}

Host::Impl &impl()
{
    return *Host::instance().impl_;
}

/* ---- recording ---- */

void Host::Impl::error(const std::string &message)
{
    host.errors_.push_back(message);
}

void Host::Impl::note(JournalEntry::Type type, const std::string &name, std::vector<int64_t> numbers,
                      std::string text)
{
    if (host.journalling_)
        host.journal_.push_back(JournalEntry{type, name, std::move(numbers), std::move(text)});
}

void Host::Impl::called(const std::string &name, std::vector<int64_t> numbers, std::string text)
{
    callCount[name]++;
    note(JournalEntry::Call, name, std::move(numbers), std::move(text));
}

std::vector<std::string> Host::takeErrors()
{
    std::vector<std::string> out;
    out.swap(errors_);
    return out;
}

void Host::clearJournal()
{
    journal_.clear();
    impl_->lookupCount.clear();
    impl_->callCount.clear();
}

int Host::lookups(const std::string &name) const
{
    auto it = impl_->lookupCount.find(name);
    return it == impl_->lookupCount.end() ? 0 : it->second;
}

int Host::calls(const std::string &name) const
{
    auto it = impl_->callCount.find(name);
    return it == impl_->callCount.end() ? 0 : it->second;
}

/* ---- making and reading values ---- */

Handle &Host::Impl::valueHandle(const Value &v, Kind expected, const std::string &who)
{
    if (!v.handle())
        throw HostError(who + ": the value is nil");
    Handle *h = find(v.handle());
    if (!h || h->dead) {
        std::string why = h ? describe(*h) + " was already destroyed" : "unknown handle " + hexAddress(v.handle());
        error(who + ": " + why);
        throw HostError(who + ": " + why);
    }
    if (expected != Kind::Nil && h->kind != expected)
        throw HostError(who + ": " + describe(*h) + " is not a " + kindName(expected));
    return *h;
}

Value Host::newInstance(const std::string &className)
{
    ClassInfo *cls = impl_->classNamed(className, false);
    if (!cls || cls->extension)
        throw HostError("newInstance: no registered class named " + className);
    return Value::adopt(Kind::Object, impl_->makeInstance(*cls).memory);
}

Value Host::string(const std::string &bytes, uint32_t encoding)
{
    return Value::adopt(Kind::String, impl_->makeString(bytes.data(), bytes.size(), encoding).memory);
}

Value Host::memoryBlock(int32_t size)
{
    if (size < 0)
        throw HostError("memoryBlock: negative size");
    return Value::adopt(Kind::MemoryBlock, impl_->makeMemoryBlock(size).memory);
}

Value Host::memoryBlock(const std::string &bytes)
{
    Value v = memoryBlock(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty())
        std::memcpy(impl_->find(v.handle())->data.get(), bytes.data(), bytes.size());
    return v;
}

Value Host::folderItem(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    Handle &h = impl_->create(Kind::FolderItem, kOpaqueBody);
    h.path = ec ? path : full.lexically_normal().string();
    return Value::adopt(Kind::FolderItem, h.memory);
}

Value Host::picture(int32_t width, int32_t height, uint32_t fill)
{
    if (width <= 0 || height <= 0)
        throw HostError("picture: size must be positive");
    Handle &h = impl_->makePicture(width, height);
    for (size_t i = 0; i < h.rgb.size(); i += 3) {
        h.rgb[i] = static_cast<uint8_t>(fill >> 16);
        h.rgb[i + 1] = static_cast<uint8_t>(fill >> 8);
        h.rgb[i + 2] = static_cast<uint8_t>(fill);
    }
    return Value::adopt(Kind::Picture, h.memory);
}

Value Host::mask(const Value &picture, bool create)
{
    Handle &h = impl_->valueHandle(picture, Kind::Picture, "mask");
    if (!create)
        return Value::borrow(Kind::Picture, h.mask ? h.mask->memory : nullptr);
    auto proc = reinterpret_cast<REALGetPictureMaskProc>(service("REALGetPictureMask"));
    return Value::adopt(Kind::Picture, proc(picture.picture(), 1));
}

Value Host::graphics(const Value &picture)
{
    auto proc = reinterpret_cast<pluginPictureGraphicsGetterProc>(service("pluginPictureGraphicsGetter"));
    impl_->valueHandle(picture, Kind::Picture, "graphics");
    return Value::adopt(Kind::Graphics, proc(picture.picture()));
}

std::string Host::text(const Value &string) const
{
    if (string.isNil())
        return std::string();
    return impl_->valueHandle(string, Kind::String, "text").bytes;
}

uint32_t Host::encoding(const Value &string) const
{
    return impl_->valueHandle(string, Kind::String, "encoding").encoding;
}

std::string Host::bytes(const Value &memoryBlock) const
{
    Handle &h = impl_->valueHandle(memoryBlock, Kind::MemoryBlock, "bytes");
    return std::string(reinterpret_cast<const char *>(h.data.get()), static_cast<size_t>(h.size));
}

std::string Host::path(const Value &folderItem) const
{
    return impl_->valueHandle(folderItem, Kind::FolderItem, "path").path;
}

std::string Host::className(const Value &object) const
{
    Handle &h = impl_->valueHandle(object, Kind::Nil, "className");
    return h.kind == Kind::Object ? h.cls->name : std::string(kindName(h.kind));
}

void *Host::instanceData(const Value &object) const
{
    Handle &h = impl_->valueHandle(object, Kind::Object, "instanceData");
    return h.memory + h.cls->offset;
}

int32_t Host::width(const Value &picture) const
{
    return impl_->valueHandle(picture, Kind::Picture, "width").width;
}

int32_t Host::height(const Value &picture) const
{
    return impl_->valueHandle(picture, Kind::Picture, "height").height;
}

namespace {
uint32_t pixelAt(const Handle &h, int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= h.width || y >= h.height)
        throw HostError("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is outside the picture");
    const uint8_t *p = &h.rgb[(static_cast<size_t>(y) * static_cast<size_t>(h.width) + static_cast<size_t>(x)) * 3];
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}
} // namespace

uint32_t Host::pixel(const Value &picture, int32_t x, int32_t y) const
{
    return pixelAt(impl_->valueHandle(picture, Kind::Picture, "pixel"), x, y);
}

std::vector<uint8_t> Host::pixels(const Value &picture) const
{
    return impl_->valueHandle(picture, Kind::Picture, "pixels").rgb;
}

bool Host::hasMask(const Value &picture) const
{
    return impl_->valueHandle(picture, Kind::Picture, "hasMask").mask != nullptr;
}

uint32_t Host::maskPixel(const Value &picture, int32_t x, int32_t y) const
{
    Handle &h = impl_->valueHandle(picture, Kind::Picture, "maskPixel");
    if (!h.mask)
        throw HostError("maskPixel: " + impl_->describe(h) + " has no mask");
    return pixelAt(*h.mask, x, y);
}

std::vector<uint8_t> Host::maskPixels(const Value &picture) const
{
    Handle &h = impl_->valueHandle(picture, Kind::Picture, "maskPixels");
    if (!h.mask)
        throw HostError("maskPixels: " + impl_->describe(h) + " has no mask");
    return h.mask->rgb;
}

void Host::setPixel(const Value &picture, int32_t x, int32_t y, uint32_t rgb)
{
    Handle &h = impl_->valueHandle(picture, Kind::Picture, "setPixel");
    pixelAt(h, x, y);
    uint8_t *p = &h.rgb[(static_cast<size_t>(y) * static_cast<size_t>(h.width) + static_cast<size_t>(x)) * 3];
    p[0] = static_cast<uint8_t>(rgb >> 16);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb);
}

} // namespace standin
