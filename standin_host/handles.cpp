/* Handles: their memory, reference counts, the guard bytes around what the
 * plug-in may touch, and the quarantine of destroyed handles. */
#include "standin_host/internal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define __SANITIZE_ADDRESS__ 1
#endif
#endif
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
/* Guard bytes after the data of the class whose data ends last. */
constexpr size_t kTrailingGuard = 16;
/* Destroyed handles kept before the oldest are purged. */
constexpr size_t kQuarantineHandles = 4096;
constexpr size_t kQuarantineBytes = size_t{32} << 20;

struct Span {
    unsigned char *start;
    size_t size;
};

/* At most three spans, kept off the heap: every call checks every handle. */
struct Spans {
    Span at[3];
    size_t count = 0;
    void add(unsigned char *start, size_t size) { at[count++] = Span{start, size}; }
    const Span *begin() const { return at; }
    const Span *end() const { return at + count; }
};

/* The parts of a live handle's memory that only the host touches. */
Spans guards(const Handle &h)
{
    Spans spans;
    if (h.kind == Kind::String)
        return spans;
    if (h.kind != Kind::Object) {
        spans.add(h.memory, h.memorySize);
        return spans;
    }
    const size_t begin = static_cast<size_t>(h.cls->offset), end = begin + h.cls->dataSize;
    spans.add(h.memory, begin);
    spans.add(h.memory + end, h.memorySize - end);
    return spans;
}

/* The parts of a destroyed handle's memory that hold the dead pattern. */
Spans deadParts(Handle &h)
{
    Spans parts;
    if (h.kind != Kind::String)
        parts.add(h.memory, h.memorySize);
    if (h.buffer)
        parts.add(reinterpret_cast<unsigned char *>(h.buffer.get()), h.bufferSize());
    if (h.data)
        parts.add(h.data.get(), static_cast<size_t>(h.size));
    return parts;
}

size_t footprint(Handle &h)
{
    size_t n = sizeof(StringRecord);
    for (const Span &s : deadParts(h))
        n += s.size;
    return n;
}

/* Index of the first byte that is not the given one, or size. */
size_t firstOther(const unsigned char *p, size_t size, unsigned char byte)
{
    // Eight bytes a time first: guards are checked after every call.
    const uint64_t all = 0x0101010101010101u * byte;
    size_t i = 0;
    for (uint64_t word; i + 8 <= size; i += 8) {
        std::memcpy(&word, p + i, 8);
        if (word != all)
            break;
    }
    for (; i < size; i++)
        if (p[i] != byte)
            return i;
    return size;
}

void poison(const Spans &spans)
{
    for (const Span &s : spans)
        STANDIN_POISON(s.start, s.size);
}

void unpoison(const Spans &spans)
{
    for (const Span &s : spans)
        STANDIN_UNPOISON(s.start, s.size);
}

void setRecord(Handle &h)
{
    new (h.memory) StringRecord{static_cast<Word>(h.refs), h.buffer.get(), h.bufferSize(),
                                static_cast<Word>(static_cast<int32_t>(h.bytes.size()))};
}
} // namespace

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
    if (kind != Kind::Object && kind != Kind::String)
        poison(guards(h));
    return h;
}

Handle &Host::Impl::makeString(const char *bytes, size_t length, uint32_t encoding)
{
    Handle &h = create(Kind::String, sizeof(StringRecord));
    h.buffer.reset(new char[length + 2]);
    h.buffer[0] = static_cast<char>(kStringLead);
    if (length)
        std::memcpy(h.buffer.get() + 1, bytes, length);
    h.buffer[length + 1] = 0;
    h.bytes.assign(bytes ? bytes : "", length);
    h.encoding = encoding;
    setRecord(h);
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

Handle &Host::Impl::makeMemoryBlock(int32_t size)
{
    Handle &h = create(Kind::MemoryBlock, kOpaqueBody);
    h.data.reset(new uint8_t[static_cast<size_t>(size)]());
    h.size = size;
    return h;
}

Handle &Host::Impl::makeInstance(ClassInfo &cls)
{
    const size_t offset = static_cast<size_t>(cls.offset), end = offset + cls.dataSize;
    Handle &h = create(Kind::Object, std::max(end, dataEnd) + kTrailingGuard);
    std::memset(h.memory + offset, 0, cls.dataSize);
    h.cls = &cls;
    poison(guards(h));
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
        h.str()->useCount = static_cast<Word>(h.refs);
}

void Host::Impl::release(Handle &h)
{
    if (h.dying) {
        error(describe(h) + ": unlocked while being destroyed");
        return;
    }
    h.refs--;
    if (h.kind == Kind::String)
        h.str()->useCount = static_cast<Word>(h.refs);
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
    // What the plug-in could still reach takes the dead pattern and stays
    // allocated, so that a late write shows and the address is not reused.
    unpoison(guards(h));
    for (const Span &s : deadParts(h))
        std::memset(s.start, kDeadByte, s.size);
    poison(deadParts(h));
    if (h.kind == Kind::String)
        STANDIN_POISON(h.memory, h.memorySize);
    for (Handle *other : held)
        if (other && !other->dead)
            release(*other);
    quarantine.push_back(&h);
    quarantineBytes += footprint(h);
    trimQuarantine();
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
        const StringRecord *s = h.str();
        const size_t n = h.bytes.size();
        std::string what;
        if (s->buffer != h.buffer.get())
            what += " buffer pointer;";
        if (s->length != static_cast<Word>(static_cast<int32_t>(n)))
            what += " length;";
        if (s->allocated != h.bufferSize())
            what += " allocated length;";
        if (s->useCount != static_cast<Word>(h.refs))
            what += " reference count;";
        if (static_cast<unsigned char>(h.buffer[0]) != kStringLead)
            what += " first byte;";
        if (std::memcmp(h.buffer.get() + 1, h.bytes.data(), n) != 0)
            what += " text;";
        if (h.buffer[n + 1] != 0)
            what += " terminator;";
        if (!what.empty()) {
            error(describe(h) + ": changed by the plug-in:" + what);
            h.buffer[0] = static_cast<char>(kStringLead);
            std::memcpy(h.buffer.get() + 1, h.bytes.data(), n);
            h.buffer[n + 1] = 0;
            setRecord(h);
        }
        return;
    }
    const Spans spans = guards(h);
    unpoison(spans);
    for (const Span &s : spans) {
        const size_t at = firstOther(s.start, s.size, kGuardByte);
        if (at < s.size) {
            error(describe(h) + ": the plug-in wrote into the host's part of the handle at byte " +
                  std::to_string(s.start - h.memory + static_cast<ptrdiff_t>(at)));
            std::memset(s.start, kGuardByte, s.size);
        }
    }
    poison(spans);
}

void Host::Impl::verifyAll()
{
    for (auto &entry : handles)
        verifyHandle(*entry.second);
}

bool Host::Impl::verifyDead(Handle &h)
{
    bool intact = true;
    const Spans parts = deadParts(h);
    unpoison(parts);
    STANDIN_UNPOISON(h.memory, h.memorySize);
    for (const Span &s : parts) {
        const size_t at = firstOther(s.start, s.size, kDeadByte);
        if (at < s.size) {
            const char *what = s.start == h.memory ? "its memory" : h.data ? "its bytes" : "its buffer";
            error(describe(h) + ": written after it was destroyed, at byte " + std::to_string(at) + " of " + what);
            std::memset(s.start, kDeadByte, s.size);
            intact = false;
        }
    }
    if (h.kind == Kind::String) {
        const StringRecord *s = h.str();
        if (s->useCount != 0 || s->buffer != h.buffer.get() || s->allocated != h.bufferSize()) {
            error(describe(h) + ": its record was written after it was destroyed");
            h.refs = 0;
            setRecord(h);
            intact = false;
        }
        STANDIN_POISON(h.memory, h.memorySize);
    }
    poison(parts);
    return intact;
}

void Host::Impl::purge(Handle &h)
{
    verifyDead(h);
    unpoison(deadParts(h));
    STANDIN_UNPOISON(h.memory, h.memorySize);
    quarantineBytes -= footprint(h);
    unsigned char *memory = h.memory;
    handles.erase(memory); // h is gone from here on
    delete[] memory;
}

void Host::Impl::trimQuarantine()
{
    while (quarantine.size() > kQuarantineHandles || (quarantineBytes > kQuarantineBytes && quarantine.size() > 1)) {
        Handle *oldest = quarantine.front();
        quarantine.pop_front();
        purge(*oldest);
    }
}

void Host::verify()
{
    impl_->verifyAll();
    for (Handle *h : impl_->quarantine)
        impl_->verifyDead(*h);
}

void Host::purgeDestroyed()
{
    while (!impl_->quarantine.empty()) {
        Handle *oldest = impl_->quarantine.front();
        impl_->quarantine.pop_front();
        impl_->purge(*oldest);
    }
}

size_t Host::quarantined() const
{
    return impl_->quarantine.size();
}

} // namespace standin
