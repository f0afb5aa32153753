/* A stand-in for the host runtime, for tests, tools and demos: it answers the
 * plug-in's resolver, keeps reference counts of every handle it gives out,
 * registers the plug-in's classes and calls into them the way the host does.
 *
 * It is strict on purpose. Whatever a plug-in does wrong to a host (unlocking
 * a handle twice, writing outside its instance data, changing a string it was
 * handed, returning a handle of the wrong kind, handing over records that are
 * not in the host's layout, writing into a handle after its last reference
 * went) is recorded as an error that a test reads with errors() or audit().
 * Misuse of this API by a test throws HostError instead.
 *
 * It describes the host's side on its own (standin_host/sdk.h) and shares no
 * declaration with a plug-in, so that a plug-in wrong about the host's layout
 * fails here as it would in the host.
 *
 * How it watches the plug-in:
 *   - registration reads the records word by word, checks format version 9
 *     and that every field a plug-in leaves alone is zero; every call reads
 *     the property and method tables from the plug-in's records again;
 *   - instance data sits between guard bytes, and each class's offset is
 *     far enough from every other's that data reached through another
 *     class's offset lies in guard bytes; the guards are checked after every
 *     call (and poisoned under AddressSanitizer, so that reads fail too);
 *   - a destroyed handle's memory (instance data, string buffer, memory
 *     block bytes) is filled with a pattern and kept in quarantine, and
 *     checked for writes by verify(), audit() and when it is purged;
 *   - a Boolean argument reaches the plug-in with junk in the bits above its
 *     byte, as a host may leave them;
 *   - "REALGetPictureMask" expects the create flag 1, the only one a plug-in
 *     of this interface passes, and reports any other.
 *
 * Values the host makes:
 *   - a new string from "REALBuildString" is untagged (encoding 0) until the
 *     plug-in tags it; its buffer's first byte is 0xFF, never text;
 *   - a new mask from "REALGetPictureMask" starts black, i.e. fully opaque,
 *     so that making a mask does not change how the picture looks; white
 *     means transparent;
 *   - "DrawPicture" copies the source rectangle into the destination
 *     rectangle, scaling by nearest neighbour when the sizes differ and
 *     clipping to both pictures; a source with a mask is blended through it;
 *   - encodings known to "REALConvertString": ASCII, Latin-1, UTF-8 and raw
 *     bytes; any other code gives nil. Only the "System" font has an
 *     encoding, UTF-8 unless set otherwise; "REALGetFontEncoding" answers 0
 *     for any other name.
 */
#ifndef GIFQVR_STANDIN_HOST_H
#define GIFQVR_STANDIN_HOST_H

#include "standin_host/sdk.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {

enum : uint32_t {
    kEncodingUntagged = 0,
    kEncodingLatin1 = 0x0201,
    kEncodingASCII = 0x0600,
    kEncodingRaw = 0xFFFF,
    kEncodingUTF8 = 0x08000100,
};

/* The exact declaration of the graphics method that "REALLoadObjectMethod"
 * hands out. */
extern const char *const kDrawPictureDeclaration;

class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Kind { Nil, Integer, Boolean, Color, String, Picture, Graphics, MemoryBlock, FolderItem, Object };
const char *kindName(Kind kind);

/* A host value. Reference kinds own one reference: copying locks, destroying
 * or release() unlocks. A reference kind may hold no handle (nil). */
class Value {
public:
    Value() = default;
    static Value nil() { return Value(); }
    static Value integer(int32_t v);
    static Value boolean(bool v);
    static Value color(uint32_t rgb);
    /* A boolean as the one byte the plug-in handed over. */
    static Value booleanByte(uint8_t byte);
    /* Takes over a reference the caller owns. */
    static Value adopt(Kind kind, void *handle);
    /* Takes a reference of its own on a live handle. */
    static Value borrow(Kind kind, void *handle);

    Value(const Value &other);
    Value &operator=(const Value &other);
    Value(Value &&other) noexcept;
    Value &operator=(Value &&other) noexcept;
    ~Value();

    Kind kind() const { return kind_; }
    bool isReference() const;
    bool isNil() const { return kind_ == Kind::Nil || (isReference() && !handle_); }
    int32_t asInteger() const;
    bool asBoolean() const;
    uint32_t asColor() const;
    int64_t raw() const { return scalar_; }

    void *handle() const { return handle_; }
    REALobject object() const { return static_cast<REALobject>(handle_); }
    REALstring string() const { return static_cast<REALstring>(handle_); }
    REALpicture picture() const { return static_cast<REALpicture>(handle_); }
    REALgraphics graphics() const { return static_cast<REALgraphics>(handle_); }
    REALmemoryBlock memoryBlock() const { return static_cast<REALmemoryBlock>(handle_); }
    REALfolderItem folderItem() const { return static_cast<REALfolderItem>(handle_); }

    /* Gives the reference back now; the value becomes nil. */
    void release();
    /* Hands the reference to the caller without unlocking. */
    void *detach();

    std::string describe() const;

private:
    Kind kind_ = Kind::Nil;
    int64_t scalar_ = 0;
    void *handle_ = nullptr;
};

using Args = std::vector<Value>;

/* A parsed declaration such as "Value(index as integer) as color". */
struct Parameter {
    std::string name;
    std::string type;
};
struct Declaration {
    bool valid = false;
    std::string name;
    std::vector<Parameter> params;
    std::string returnType; /* empty: returns nothing */
};
Declaration parseDeclaration(const std::string &text);

/* A method or property entry as the host read it from the plug-in's record. */
struct MethodInfo {
    std::string declaration; /* exactly as registered */
    Declaration parsed;
    void *function = nullptr;
    void *setter = nullptr;
    const MethodRecord *definition = nullptr;
};

struct PropertyInfo {
    std::string name;
    std::string type;
    void *getter = nullptr;
    void *setter = nullptr;
    int32_t param = 0;
    const PropertyRecord *definition = nullptr;
};

/* A registered class. properties and methods are the tables as read at
 * registration; every call reads them from the definition record again. */
struct ClassInfo {
    std::string name;
    ClassRecord *definition = nullptr;
    intptr_t offset = 0; /* what the host wrote into forSystemUse */
    uint32_t dataSize = 0;
    bool extension = false;
    bool retired = false;
    std::vector<PropertyInfo> properties;
    std::vector<MethodInfo> methods;
};

/* One lookup or service call, in order. numbers and text hold the
 * arguments worth checking (sizes, codes, class names, declarations). */
struct JournalEntry {
    enum Type { Lookup, Call } type;
    std::string name;
    std::vector<int64_t> numbers;
    std::string text;
};

/* Reference counts of every live handle at one moment. */
class Snapshot {
    friend class Host;
    std::map<uint64_t, int32_t> refs_;
    uint64_t nextId_ = 0;
};

struct Handle;

class Host {
public:
    static Host &instance();
    /* The resolver handed to plug-ins. */
    static REALResolver resolver();

    /* Loading. loadPlugin dlopens the library and calls its REALPluginMain
     * with the resolver, once per path; later calls return false. */
    bool loadPlugin(const std::string &path);
    void *pluginSymbol(const std::string &path, const std::string &name);
    /* Runs an entry as if a plug-in's REALPluginMain. */
    void start(void (*entry)(REALResolver));
    /* Forgets registered classes and methods (live instances keep working),
     * so an entry can register again. */
    void forgetRegistrations();

    /* Services. */
    std::vector<std::string> serviceNames() const;
    void withdraw(const std::string &name);
    void replace(const std::string &name, void *function);
    void restore(const std::string &name);
    void restoreAll();
    /* The host's own implementation, whatever the resolver answers. */
    void *service(const std::string &name) const;
    int lookups(const std::string &name) const;
    int calls(const std::string &name) const;
    const std::vector<JournalEntry> &journal() const { return journal_; }
    void clearJournal();
    /* Long runs (tools) may stop journalling; counts are kept anyway. */
    void setJournalling(bool on) { journalling_ = on; }
    void setVersion(double version) { version_ = version; }
    double version() const { return version_; }
    void setSystemEncoding(uint32_t code) { systemEncoding_ = code; }
    uint32_t systemEncoding() const { return systemEncoding_; }

    /* Registrations, in order. */
    std::vector<const ClassInfo *> classes() const;
    std::vector<const ClassInfo *> extensions() const;
    std::vector<const MethodInfo *> globalMethods() const;
    const ClassInfo *findClass(const std::string &name) const;

    /* Making values. */
    Value newInstance(const std::string &className);
    Value string(const std::string &bytes, uint32_t encoding = kEncodingUTF8);
    Value memoryBlock(const std::string &bytes);
    Value memoryBlock(int32_t size);
    Value folderItem(const std::string &path);
    Value picture(int32_t width, int32_t height, uint32_t fill = 0xFFFFFF);
    Value mask(const Value &picture, bool create);
    Value graphics(const Value &picture);

    /* Reading values. */
    std::string text(const Value &string) const;
    uint32_t encoding(const Value &string) const;
    std::string bytes(const Value &memoryBlock) const;
    std::string path(const Value &folderItem) const;
    std::string className(const Value &object) const;
    void *instanceData(const Value &object) const;
    int32_t width(const Value &picture) const;
    int32_t height(const Value &picture) const;
    uint32_t pixel(const Value &picture, int32_t x, int32_t y) const;     /* 0xRRGGBB */
    std::vector<uint8_t> pixels(const Value &picture) const;              /* RGB rows */
    bool hasMask(const Value &picture) const;
    uint32_t maskPixel(const Value &picture, int32_t x, int32_t y) const; /* 0xRRGGBB */
    std::vector<uint8_t> maskPixels(const Value &picture) const;
    void setPixel(const Value &picture, int32_t x, int32_t y, uint32_t rgb);
    int32_t references(const void *handle) const;
    bool alive(const void *handle) const;
    std::string describe(const void *handle) const;

    /* Calling the plug-in. method is an exact registered declaration or, when
     * that is unambiguous with the given number of arguments, a bare name. */
    Value get(const Value &object, const std::string &property);
    void set(const Value &object, const std::string &property, const Value &value);
    Value call(const Value &object, const std::string &method, const Args &args = {});
    /* The setter form: method(args) = value. */
    void assign(const Value &object, const std::string &method, const Args &args, const Value &value);
    Value callFolderItem(const Value &item, const std::string &method, const Args &args = {});
    Value callGlobal(const std::string &method, const Args &args = {});

    /* Accounting. */
    Snapshot snapshot() const;
    /* What changed since the snapshot, one line per handle; empty when
     * every count is as it was and nothing new is alive. */
    std::string changesSince(const Snapshot &before) const;
    /* changesSince plus the errors recorded meanwhile (which it clears). */
    std::string audit(const Snapshot &before);
    int64_t liveReferences() const;
    size_t liveHandles() const;
    size_t liveObjects(const std::string &className) const;
    size_t destroyed(const std::string &className) const;
    /* Frees the memory of destroyed handles after checking that nothing
     * wrote into it; their addresses become unknown. The oldest are purged
     * on their own once the quarantine is full. */
    void purgeDestroyed();
    size_t quarantined() const;

    /* Faults of the plug-in, in order. */
    const std::vector<std::string> &errors() const { return errors_; }
    std::vector<std::string> takeErrors();
    /* Checks now what is otherwise checked after each call (every live
     * string's record and bytes, every instance's and opaque handle's guard
     * bytes) and that nothing wrote into a destroyed handle in quarantine. */
    void verify();

    /* Used by Value and by the services. */
    void lockHandle(void *handle, Kind kind);
    void unlockHandle(void *handle, Kind kind);

    struct Impl;

private:
    Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    friend struct Impl;
    friend Impl &impl();
    std::unique_ptr<Impl> impl_;
    bool journalling_ = true;
    std::vector<JournalEntry> journal_;
    std::vector<std::string> errors_;
    double version_ = 4.25;
    uint32_t systemEncoding_ = kEncodingUTF8;
};

} // namespace standin

#endif
