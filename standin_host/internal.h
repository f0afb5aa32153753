/* The stand-in host's own bookkeeping, shared by its sources. */
#ifndef GIFQVR_STANDIN_HOST_INTERNAL_H
#define GIFQVR_STANDIN_HOST_INTERNAL_H

#include "standin_host/standin_host.h"

#include <cstddef>
#include <set>

namespace standin {

/* Byte that fills every part of a handle's memory the plug-in has no
 * business writing: an instance's header before its data, and the whole
 * body of opaque handles. */
constexpr unsigned char kGuardByte = 0xA5;
/* First byte of a string's buffer; never part of the text. */
constexpr unsigned char kStringLead = 0xFF;

bool isObjectKind(Kind kind);
bool sameName(const std::string &a, const std::string &b); /* ignoring case */

struct Handle {
    uint64_t id = 0;
    Kind kind = Kind::Nil;
    unsigned char *memory = nullptr; /* what the handle points at */
    size_t memorySize = 0;
    int32_t refs = 1;
    bool dying = false;
    bool dead = false;

    /* Object */
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
    REALstringStruct *str() const { return reinterpret_cast<REALstringStruct *>(memory); }
};

/* A declared type resolved against what is registered now. */
struct TypeRef {
    Kind kind = Kind::Nil;
    std::string className; /* for Kind::Object */
};

using Word = intptr_t;

struct Host::Impl {
    explicit Impl(Host &h) : host(h) {}

    Host &host;
    std::unordered_map<const void *, std::unique_ptr<Handle>> handles;
    uint64_t nextId = 1;

    std::deque<ClassInfo> classStore;  /* never shrinks: instances point here */
    std::vector<ClassInfo *> classes;  /* registered, in order */
    std::vector<ClassInfo *> extensions;
    std::deque<MethodInfo> globalStore;
    std::vector<MethodInfo *> globals;
    int classesEver = 0;
    std::map<std::string, size_t> destroyedCount;

    std::map<std::string, int> lookupCount;
    std::map<std::string, int> callCount;
    std::set<std::string> withdrawn;
    std::map<std::string, void *> replaced;
    std::map<std::string, void *> libraries;

    /* Recording. */
    void error(const std::string &message);
    void note(JournalEntry::Type type, const std::string &name, std::vector<int64_t> numbers = {},
              std::string text = {});
    void called(const std::string &name, std::vector<int64_t> numbers = {}, std::string text = {});

    /* Handles. */
    Handle *find(const void *address) const;
    /* The live handle behind address, or null after recording why not. Kind
     * Nil accepts any object kind. */
    Handle *live(const void *address, Kind expected, const std::string &who);
    Handle &create(Kind kind, size_t memorySize);
    Handle &makeString(const char *bytes, size_t length, uint32_t encoding);
    Handle &makePicture(int32_t width, int32_t height);
    Handle &makeInstance(ClassInfo &cls);
    void lock(Handle &h);
    void release(Handle &h);
    void destroy(Handle &h);
    std::string describe(const Handle &h) const;

    /* Checks. */
    void verifyHandle(Handle &h);
    void verifyAll();

    /* Classes and dispatch. */
    ClassInfo *classNamed(const std::string &name, bool includeRetired) const;
    bool resolveType(const std::string &type, TypeRef &out) const;
    Handle &valueHandle(const Value &v, Kind expected, const std::string &who);
    Word argument(const Value &v, const std::string &type, const std::string &who, size_t index);
    Value result(Word raw, const std::string &type, const std::string &who);
    const MethodInfo &chooseMethod(const std::vector<MethodInfo> &methods, const std::string &method,
                                   size_t argCount, const std::string &where) const;
    Value dispatch(void *function, std::vector<Word> words, const std::string &returnType,
                   const std::string &who);

    /* Registration, shared by the services and the test API. */
    int32_t registerClass(REALclassDefinition *def, bool extension);
    int32_t registerMethod(REALmethodDefinition *def);

    /* Pictures. */
    void draw(Handle &target, Handle &source, int32_t x, int32_t y, int32_t dw, int32_t dh, int32_t sx,
              int32_t sy, int32_t sw, int32_t sh);
};

Host::Impl &impl();

/* Calls a function whose arguments are all integers or pointers, passed one
 * machine word each; true of every signature in the host's calling
 * convention, on both targets. */
Word invokeWords(void *function, const std::vector<Word> &words);

/* Text conversion between the encodings the host knows; false when either
 * code is unknown or the text cannot be decoded. */
bool convertText(const std::string &in, uint32_t from, uint32_t to, std::string &out);

} // namespace standin

#endif
