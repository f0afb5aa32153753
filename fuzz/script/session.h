// One run of a host script drawn from fuzzer input, against the plug-in in
// the stand-in host. Calls go through the declarations the plug-in
// registered, as the host makes them; the session keeps what the script
// handed each object (its own fields, which saving reads) to check saved
// files against.
//
// Input: a sequence of operations, each an opcode byte followed by the bytes
// its choices take (which class, property, method, value); input that runs
// out reads as zeros. A GIF to load is a 2-byte length and that many bytes.
#ifndef GIFQVR_FUZZ_SCRIPT_SESSION_H
#define GIFQVR_FUZZ_SCRIPT_SESSION_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "standin_host/standin_host.h"

namespace script {

using standin::Args;
using standin::Host;
using standin::Kind;
using standin::Value;

enum Op : uint8_t {
    kNew, kSet, kGet, kCall, kAssign, kLoad, kStringPicture, kSave, kOpen, kDrop, kOpCount
};

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t word16() { return byte() | static_cast<uint32_t>(byte()) << 8; }
    uint32_t word32() { return word16() | word16() << 16; }
    std::string bytes(size_t n);

private:
    const uint8_t *data_;
    size_t size_, pos_ = 0;
};

// What the script gave an object: the own fields saving reads.
struct Own {
    std::string cls;
    bool loaded = false;          // a GIFQVR that holds a record
    bool headerSet = false;
    void *header = nullptr;       // string
    std::vector<void *> blocks;   // GIFQVR list, in order
    int32_t intro = 0, width = 0, height = 0;
    void *picture = nullptr, *extension = nullptr, *data = nullptr;
};

class Session {
public:
    // Without `checkSaves` a saved file is only loaded again, not checked.
    explicit Session(const std::string &dir, bool checkSaves = true);
    void run(Input &in);
    // Releases everything, breaks the cycles scripts may build, and checks
    // that the host is left as it was.
    void finish(const standin::Snapshot &start);

    static const uint64_t kMaxLoadPixels = 1u << 16;
    static const uint64_t kMaxSavePixels = 1u << 18;

private:
    // A file's bytes, empty if it cannot be read; whether a GIF's bytes ask
    // for more pixels than `limit`.
    static std::string fileBytes(const std::string &path);
    static bool asksTooMany(const std::string &bytes, uint64_t limit);

    // Drawing values.
    int32_t integer(Input &in);
    std::string someBytes(Input &in);
    Value value(Input &in, const std::string &type);
    Value object(Input &in, const std::string &cls);
    Value folderItem(Input &in, std::string *path = nullptr);
    void keep(const Value &v, bool loaded);
    Own &own(void *handle, const std::string &cls);

    // Operations.
    void step(Input &in);
    void property(Input &in, bool set);
    void callMethod(Input &in, bool assign);
    void global(const std::string &declaration, const std::string &bytes);
    void save(Input &in);
    void noteSet(const Value &object, const std::string &name, const Value &v);

    // Checking a saved file (saving_check.cpp).
    uint64_t savedPixels(const Own &gif);
    void checkSaved(const Own &gif, const std::string &file, const Value &reloaded);
    void checkImage(const Own &picture, const Value &view);

    void expectClean(const char *after);

    Host &host_;
    std::string dir_;
    bool checkSaves_;
    std::vector<const standin::ClassInfo *> classes_;
    std::vector<Value> pool_;
    size_t replaced_ = 0;
    std::unordered_map<void *, Own> own_;
};

[[noreturn]] void fail(const std::string &what);

}  // namespace script

#endif
