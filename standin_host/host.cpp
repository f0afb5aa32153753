/* Handles, reference counts, accounting and the value API of the stand-in
 * host. */
#include "standin_host/internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <new>
#include <sstream>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define STANDIN_POISON(p, n) __asan_poison_memory_region((p), (n))
#define STANDIN_UNPOISON(p, n) __asan_unpoison_memory_region((p), (n))
#else
#define STANDIN_POISON(p, n) ((void)(p), (void)(n))
#define STANDIN_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace standin {

namespace {
/* Opaque handles get a body of their own so that each has a distinct
 * address and a stray write into it shows. */
constexpr size_t kOpaqueBody = 16;

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
} // namespace

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

/* ---- handles ---- */

Handle *Host::Impl::find(const void *address) const
{
    auto it = handles.find(address);
    return it == handles.end() ? nullptr : it->second.get();
}

Handle *Host::Impl::live(const void *address, Kind expected, const std::string &who)
{
    if (!address) {
        error(who + ": nil handle");
        return nullptr;
    }
    Handle *h = find(address);
    if (!h) {
        error(who + ": unknown handle " + hexAddress(address));
        return nullptr;
    }
    if (h->dead) {
        error(who + ": " + describe(*h) + " was already destroyed");
        return nullptr;
    }
    bool fits = expected == Kind::Nil ? isObjectKind(h->kind) : h->kind == expected;
    if (!fits) {
        error(who + ": " + describe(*h) + " is not " +
              (expected == Kind::Nil ? std::string("an object") : std::string("a ") + kindName(expected)));
        return nullptr;
    }
    return h;
}

Handle &Host::Impl::create(Kind kind, size_t memorySize)
{
    auto owned = std::make_unique<Handle>();
    Handle &h = *owned;
    h.id = nextId++;
    h.kind = kind;
    h.memorySize = memorySize;
    h.memory = new unsigned char[memorySize];
    std::memset(h.memory, kGuardByte, memorySize);
    handles[h.memory] = std::move(owned);
    return h;
}

Handle &Host::Impl::makeString(const char *bytes, size_t length, uint32_t encoding)
{
    Handle &h = create(Kind::String, sizeof(REALstringStruct));
    h.buffer.reset(new char[length + 2]);
    h.buffer[0] = static_cast<char>(kStringLead);
    if (length)
        std::memcpy(h.buffer.get() + 1, bytes, length);
    h.buffer[length + 1] = 0;
    h.bytes.assign(bytes ? bytes : "", length);
    h.encoding = encoding;
    new (h.memory) REALstringStruct{h.refs, h.buffer.get(), encoding, static_cast<int32_t>(length)};
    return h;
}

Handle &Host::Impl::makePicture(int32_t width, int32_t height)
{
    Handle &h = create(Kind::Picture, kOpaqueBody);
    h.width = width;
    h.height = height;
    h.rgb.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    return h;
}

Handle &Host::Impl::makeInstance(ClassInfo &cls)
{
    size_t offset = static_cast<size_t>(cls.offset);
    Handle &h = create(Kind::Object, offset + cls.dataSize);
    std::memset(h.memory + offset, 0, cls.dataSize);
    h.cls = &cls;
    if (cls.definition && cls.definition->constructor)
        reinterpret_cast<void (*)(REALobject)>(cls.definition->constructor)(reinterpret_cast<REALobject>(h.memory));
    return h;
}

void Host::Impl::lock(Handle &h)
{
    if (h.dying)
        error(describe(h) + ": locked while being destroyed");
    h.refs++;
    if (h.kind == Kind::String)
        h.str()->refCount = h.refs;
}

void Host::Impl::release(Handle &h)
{
    if (h.dying) {
        error(describe(h) + ": unlocked while being destroyed");
        return;
    }
    h.refs--;
    if (h.kind == Kind::String)
        h.str()->refCount = h.refs;
    if (h.refs == 0)
        destroy(h);
}

void Host::Impl::destroy(Handle &h)
{
    h.dying = true;
    if (h.kind == Kind::String)
        verifyHandle(h);
    if (h.kind == Kind::Object) {
        // Read the destructor from the record at this moment, as a host
        // that keeps using the plug-in's static definition would.
        if (h.cls->definition && h.cls->definition->destructor)
            reinterpret_cast<void (*)(REALobject)>(h.cls->definition->destructor)(
                reinterpret_cast<REALobject>(h.memory));
    }
    verifyHandle(h);
    if (h.refs != 0)
        error(describe(h) + ": its destructor left " + std::to_string(h.refs) + " references on it");
    h.dead = true;
    h.dying = false;
    destroyedCount[h.kind == Kind::Object ? h.cls->name : std::string(kindName(h.kind))]++;

    Handle *held[] = {h.mask, h.target};
    h.mask = nullptr;
    h.target = nullptr;
    std::vector<uint8_t>().swap(h.rgb);
    h.data.reset();
    STANDIN_POISON(h.memory, h.memorySize);
    if (h.buffer)
        STANDIN_POISON(h.buffer.get(), h.bytes.size() + 2);
    for (Handle *other : held)
        if (other && !other->dead)
            release(*other);
}

std::string Host::Impl::describe(const Handle &h) const
{
    std::string name = h.kind == Kind::Object ? h.cls->name : std::string(kindName(h.kind));
    std::string out = name + "#" + std::to_string(h.id);
    switch (h.kind) {
    case Kind::String: out += " " + quoted(h.bytes); break;
    case Kind::Picture: out += " " + std::to_string(h.width) + "x" + std::to_string(h.height); break;
    case Kind::FolderItem: out += " " + h.path; break;
    case Kind::MemoryBlock: out += " (" + std::to_string(h.size) + " bytes)"; break;
    default: break;
    }
    return out;
}

void Host::lockHandle(void *handle, Kind kind)
{
    if (!handle)
        return;
    if (Handle *h = impl_->live(handle, kind, std::string("lock of a ") + kindName(kind) + " value"))
        impl_->lock(*h);
}

void Host::unlockHandle(void *handle, Kind kind)
{
    if (!handle)
        return;
    if (Handle *h = impl_->live(handle, kind, std::string("release of a ") + kindName(kind) + " value"))
        impl_->release(*h);
}

/* ---- checks ---- */

void Host::Impl::verifyHandle(Handle &h)
{
    if (h.dead)
        return;
    if (h.kind == Kind::String) {
        REALstringStruct *s = h.str();
        const size_t n = h.bytes.size();
        std::string what;
        if (s->buffer != h.buffer.get())
            what += " buffer pointer;";
        if (s->length != static_cast<int32_t>(n))
            what += " length;";
        if (s->encoding != h.encoding)
            what += " encoding;";
        if (s->refCount != h.refs)
            what += " reference count;";
        if (static_cast<unsigned char>(h.buffer[0]) != kStringLead)
            what += " first byte;";
        if (std::memcmp(h.buffer.get() + 1, h.bytes.data(), n) != 0)
            what += " text;";
        if (h.buffer[n + 1] != 0)
            what += " terminator;";
        if (!what.empty()) {
            error(describe(h) + ": changed by the plug-in:" + what);
            new (h.memory) REALstringStruct{h.refs, h.buffer.get(), h.encoding, static_cast<int32_t>(n)};
            h.buffer[0] = static_cast<char>(kStringLead);
            std::memcpy(h.buffer.get() + 1, h.bytes.data(), n);
            h.buffer[n + 1] = 0;
        }
        return;
    }
    size_t guarded = h.kind == Kind::Object ? static_cast<size_t>(h.cls->offset) : h.memorySize;
    for (size_t i = 0; i < guarded; i++) {
        if (h.memory[i] != kGuardByte) {
            error(describe(h) + ": the plug-in wrote into the host's part of the handle at byte " +
                  std::to_string(i));
            std::memset(h.memory, kGuardByte, guarded);
            break;
        }
    }
}

void Host::Impl::verifyAll()
{
    for (auto &entry : handles)
        verifyHandle(*entry.second);
}

void Host::verify()
{
    impl_->verifyAll();
}

/* ---- accounting ---- */

Snapshot Host::snapshot() const
{
    Snapshot s;
    for (auto &entry : impl_->handles)
        if (!entry.second->dead)
            s.refs_[entry.second->id] = entry.second->refs;
    s.nextId_ = impl_->nextId;
    return s;
}

std::string Host::changesSince(const Snapshot &before) const
{
    std::map<uint64_t, std::string> lines;
    for (auto &entry : impl_->handles) {
        const Handle &h = *entry.second;
        auto was = before.refs_.find(h.id);
        if (was != before.refs_.end()) {
            if (h.dead)
                lines[h.id] = impl_->describe(h) + ": destroyed (had " + std::to_string(was->second) + " references)";
            else if (h.refs != was->second)
                lines[h.id] = impl_->describe(h) + ": references " + std::to_string(was->second) + " -> " +
                              std::to_string(h.refs);
        } else if (h.id >= before.nextId_ && !h.dead) {
            lines[h.id] = impl_->describe(h) + ": new, " + std::to_string(h.refs) + " references";
        }
    }
    std::string out;
    for (auto &line : lines)
        out += line.second + "\n";
    return out;
}

std::string Host::audit(const Snapshot &before)
{
    verify();
    std::string out = changesSince(before);
    for (const std::string &e : takeErrors())
        out += "error: " + e + "\n";
    return out;
}

int64_t Host::liveReferences() const
{
    int64_t total = 0;
    for (auto &entry : impl_->handles)
        if (!entry.second->dead)
            total += entry.second->refs;
    return total;
}

size_t Host::liveHandles() const
{
    size_t n = 0;
    for (auto &entry : impl_->handles)
        n += entry.second->dead ? 0 : 1;
    return n;
}

size_t Host::liveObjects(const std::string &className) const
{
    size_t n = 0;
    for (auto &entry : impl_->handles) {
        const Handle &h = *entry.second;
        if (h.dead)
            continue;
        const std::string name = h.kind == Kind::Object ? h.cls->name : std::string(kindName(h.kind));
        n += sameName(name, className) ? 1 : 0;
    }
    return n;
}

size_t Host::destroyed(const std::string &className) const
{
    size_t n = 0;
    for (auto &entry : impl_->destroyedCount)
        if (sameName(entry.first, className))
            n += entry.second;
    return n;
}

void Host::purgeDestroyed()
{
    for (auto it = impl_->handles.begin(); it != impl_->handles.end();) {
        Handle &h = *it->second;
        if (!h.dead) {
            ++it;
            continue;
        }
        STANDIN_UNPOISON(h.memory, h.memorySize);
        if (h.buffer)
            STANDIN_UNPOISON(h.buffer.get(), h.bytes.size() + 2);
        delete[] h.memory;
        it = impl_->handles.erase(it);
    }
}

int32_t Host::references(const void *handle) const
{
    Handle *h = impl_->find(handle);
    return h && !h->dead ? h->refs : 0;
}

bool Host::alive(const void *handle) const
{
    Handle *h = impl_->find(handle);
    return h && !h->dead;
}

std::string Host::describe(const void *handle) const
{
    if (!handle)
        return "nil";
    Handle *h = impl_->find(handle);
    if (!h)
        return "unknown handle " + hexAddress(handle);
    return impl_->describe(*h) + (h->dead ? " (destroyed)" : "");
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
    Handle &h = impl_->create(Kind::MemoryBlock, kOpaqueBody);
    h.data.reset(new uint8_t[static_cast<size_t>(size)]());
    h.size = size;
    return Value::adopt(Kind::MemoryBlock, h.memory);
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
    auto proc = reinterpret_cast<REALGetPictureMaskProc>(service("REALGetPictureMask"));
    impl_->valueHandle(picture, Kind::Picture, "mask");
    return Value::adopt(Kind::Picture, proc(picture.picture(), create ? 1 : 0));
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

/* ---- registrations ---- */

ClassInfo *Host::Impl::classNamed(const std::string &name, bool includeRetired) const
{
    for (ClassInfo *c : classes)
        if (sameName(c->name, name))
            return c;
    if (includeRetired)
        for (auto it = classStore.rbegin(); it != classStore.rend(); ++it)
            if (!it->extension && sameName(it->name, name))
                return const_cast<ClassInfo *>(&*it);
    return nullptr;
}

std::vector<const ClassInfo *> Host::classes() const
{
    return std::vector<const ClassInfo *>(impl_->classes.begin(), impl_->classes.end());
}

std::vector<const ClassInfo *> Host::extensions() const
{
    return std::vector<const ClassInfo *>(impl_->extensions.begin(), impl_->extensions.end());
}

std::vector<const MethodInfo *> Host::globalMethods() const
{
    return std::vector<const MethodInfo *>(impl_->globals.begin(), impl_->globals.end());
}

const ClassInfo *Host::findClass(const std::string &name) const
{
    return impl_->classNamed(name, false);
}

void Host::forgetRegistrations()
{
    for (ClassInfo *c : impl_->classes)
        c->retired = true;
    for (ClassInfo *c : impl_->extensions)
        c->retired = true;
    impl_->classes.clear();
    impl_->extensions.clear();
    impl_->globals.clear();
}

} // namespace standin
