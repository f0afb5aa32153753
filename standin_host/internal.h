/* The stand-in host's own bookkeeping, shared by its sources. */
#ifndef GIFQVR_STANDIN_HOST_INTERNAL_H
#define GIFQVR_STANDIN_HOST_INTERNAL_H

#include "standin_host/standin_host.h"

#include <cstddef>
#include <set>

namespace standin {

/* Byte that fills every part of a handle's memory the plug-in has no
 * business touching: the guards around an instance's data, and the whole
 * body of opaque handles. */
constexpr unsigned char kGuardByte = 0xA5;
/* Byte that fills the memory of a destroyed handle while it is kept. */
constexpr unsigned char kDeadByte = 0xDB;
/* First byte of a string's buffer; never part of the text. */
constexpr unsigned char kStringLead = 0xFF;
/* Opaque handles get a body of their own so that each has a distinct
 * address and a stray write into it shows. */
constexpr size_t kOpaqueBody = 16;

bool isObjectKind(Kind kind);
bool sameName(const std::string &a, const std::string &b); /* ignoring case */
/* Bytes for a message: in quotes, escaped, cut after 40. */
std::string quoted(const std::string &bytes);
std::string hexAddress(const void *p);
/* Characters of names in declarations. */
bool identStart(char c);
bool identChar(char c);

struct Handle {
    uint64_t id = 0;
    Kind kind = Kind::Nil;
    unsigned char *memory = nullptr; /* what the handle points at */
    size_t memorySize = 0;
    int32_t refs = 1;
    bool dying = false;
    bool dead = false; /* destroyed, kept in quarantine */

    /* Object: its data lies at cls->offset, cls->dataSize bytes. */
    ClassInfo *cls = nullptr;
    /* String */
    std::unique_ptr<char[]> buffer;
    std::string bytes;
    uint32_t encoding = 0;
    /* Picture */
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    Handle *mask = nullptr; /* holds one reference */
    /* Graphics */
    Handle *target = nullptr; /* holds one reference */
    /* FolderItem */
    std::string path;
    /* MemoryBlock */
    std::unique_ptr<uint8_t[]> data;
    int32_t size = 0;

    void *address() const { return memory; }
    StringRecord *str() const { return reinterpret_cast<StringRecord *>(memory); }
    size_t bufferSize() const { return bytes.size() + 2; }
};

/* A declared type resolved against what is registered now. */
struct TypeRef {
    Kind kind = Kind::Nil;
    std::string className; /* for Kind::Object */
};

/* One argument or result as it crosses the call: one machine word. */
using CallWord = intptr_t;

struct Host::Impl {
    explicit Impl(Host &h) : host(h) {}

    Host &host;
    std::unordered_map<const void *, std::unique_ptr<Handle>> handles;
    uint64_t nextId = 1;
    std::deque<Handle *> quarantine; /* destroyed handles, oldest first */
    size_t quarantineBytes = 0;

    std::deque<ClassInfo> classStore;  /* never shrinks: instances point here */
    std::vector<ClassInfo *> classes;  /* registered, in order */
    std::vector<ClassInfo *> extensions;
    std::deque<MethodInfo> globalStore;
    std::vector<MethodInfo *> globals;
    /* Where the next class's data may start; every instance spans the data
     * of every class registered before it was made. */
    size_t dataEnd = 0;
    int generation = 0;
    std::map<std::string, size_t> destroyedCount;

    std::map<std::string, int> lookupCount;
    std::map<std::string, int> callCount;
    std::set<std::string> withdrawn;
    std::map<std::string, void *> replaced;
    std::map<std::string, void *> libraries;

    /* Pages of plug-in memory known to be readable, so that each is probed
     * once. */
    std::set<uintptr_t> readablePages;
    int probe[2] = {-1, -1};

    /* Recording. */
    void error(const std::string &message);
    void note(JournalEntry::Type type, const std::string &name, std::vector<int64_t> numbers = {},
              std::string text = {});
    void called(const std::string &name, std::vector<int64_t> numbers = {}, std::string text = {});

    /* Handles (handles.cpp). */
    Handle *find(const void *address) const;
    /* The live handle behind address, or null after recording why not. Kind
     * Nil accepts any object kind. */
    Handle *live(const void *address, Kind expected, const std::string &who);
    Handle &create(Kind kind, size_t memorySize);
    Handle &makeString(const char *bytes, size_t length, uint32_t encoding);
    Handle &makePicture(int32_t width, int32_t height);
    Handle &makeMemoryBlock(int32_t size);
    Handle &makeInstance(ClassInfo &cls);
    void lock(Handle &h);
    void release(Handle &h);
    void destroy(Handle &h);
    std::string describe(const Handle &h) const;
    void verifyHandle(Handle &h);
    void verifyAll();
    /* Reports writes into a destroyed handle; true when there were none. */
    bool verifyDead(Handle &h);
    void purge(Handle &h);
    void trimQuarantine();

    /* Reading the plug-in's records (records.cpp). */
    bool readable(const void *address, size_t size);
    /* Copies plug-in memory; false when it cannot be read. */
    bool copyIn(const void *address, void *out, size_t size);
    /* The zero-terminated text at address; false when it cannot be read. */
    bool readText(const char *address, std::string &out);
    int32_t registerClass(ClassRecord *def, bool extension);
    int32_t registerMethod(MethodRecord *def);
    /* A record's tables as they are now; check also reports entries with
     * fields that must be zero, and entries without a function. */
    std::vector<PropertyInfo> readProperties(const ClassRecord &def, const std::string &where, bool check);
    std::vector<MethodInfo> readMethods(const MethodRecord *table, Word count, const std::string &where,
                                        bool check);
    bool readMethod(const MethodRecord *address, MethodInfo &info, const std::string &where, bool check);
    /* A class's tables as its record has them now. */
    std::vector<PropertyInfo> propertiesNow(const ClassInfo &cls);
    std::vector<MethodInfo> methodsNow(const ClassInfo &cls);
    std::vector<MethodInfo> folderItemMethods();
    ClassInfo *classNamed(const std::string &name, bool includeRetired) const;

    /* Types, values and calls (dispatch.cpp). */
    bool resolveType(const std::string &type, TypeRef &out) const;
    Handle &valueHandle(const Value &v, Kind expected, const std::string &who);
    CallWord argument(const Value &v, const std::string &type, const std::string &who, size_t index);
    Value result(CallWord raw, const std::string &type, const std::string &who);
    const MethodInfo &chooseMethod(const std::vector<MethodInfo> &methods, const std::string &method,
                                   size_t argCount, const std::string &where) const;
    Value dispatch(void *function, std::vector<CallWord> words, const std::string &returnType,
                   const std::string &who);

    /* Pictures (services.cpp). */
    void draw(Handle &target, Handle &source, int32_t x, int32_t y, int32_t dw, int32_t dh, int32_t sx,
              int32_t sy, int32_t sw, int32_t sh);
};

Host::Impl &impl();

/* Calls a function whose arguments are all integers or pointers, passed one
 * machine word each; true of every signature in the host's calling
 * convention, on both targets. */
CallWord invokeWords(void *function, const std::vector<CallWord> &words);

/* Text conversion between the encodings the host knows; false when either
 * code is unknown or the text cannot be decoded. */
bool convertText(const std::string &in, uint32_t from, uint32_t to, std::string &out);

} // namespace standin

#endif
