// Drawing host values from the input and running the operations.
#include "fuzz/script/session.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "fuzz/gif_area.h"

namespace script {

namespace {

const int32_t kEdges[] = {0, 1, -1, 255, 256, 1 << 15, 65535, 65536, 1 << 30, INT32_MAX, INT32_MIN};
const size_t kPoolSize = 48;
const uint32_t kEncodings[] = {standin::kEncodingASCII, standin::kEncodingRaw, standin::kEncodingUTF8,
                               standin::kEncodingLatin1};


}  // namespace

[[noreturn]] void fail(const std::string &what)
{
    fprintf(stderr, "script fuzz: %s\n", what.c_str());
    abort();
}

std::string Input::bytes(size_t n)
{
    size_t have = pos_ < size_ ? size_ - pos_ : 0;
    if (n > have)
        n = have;
    std::string out(reinterpret_cast<const char *>(data_ + pos_), n);
    pos_ += n;
    return out;
}

Session::Session(const std::string &dir, bool checkSaves)
    : host_(Host::instance()), dir_(dir), checkSaves_(checkSaves), classes_(host_.classes())
{
}

int32_t Session::integer(Input &in)
{
    switch (in.byte() % 4) {
    case 0: return kEdges[in.byte() % 11];
    case 1: return in.byte();
    case 2: return static_cast<int32_t>(static_cast<uint32_t>(kEdges[in.byte() % 11]) +
                                        static_cast<uint32_t>(static_cast<int8_t>(in.byte())));
    default: return static_cast<int32_t>(in.word32());
    }
}

// Short runs of input bytes, long ones (past 255) repeating a few, or none.
std::string Session::someBytes(Input &in)
{
    switch (in.byte() % 4) {
    case 0: return in.bytes(in.byte());
    case 1: {
        size_t length = in.word16() % 4096;
        std::string seed = in.bytes(1 + in.byte() % 16);
        std::string out(length, '\0');
        for (size_t i = 0; !seed.empty() && i < length; i++)
            out[i] = seed[i % seed.size()];
        return out;
    }
    case 2: return std::string();
    default: return in.bytes(in.word16());
    }
}

Own &Session::own(void *handle, const std::string &cls)
{
    Own &o = own_[handle];
    if (o.cls.empty())
        o.cls = cls;
    return o;
}

void Session::keep(const Value &v, bool loaded)
{
    if (v.isNil())
        return;
    if (v.kind() == Kind::Object) {
        Own &o = own(v.handle(), host_.className(v));
        o.loaded = o.loaded || loaded;
    }
    if (pool_.size() < kPoolSize)
        pool_.push_back(v);
    else
        pool_[replaced_++ % kPoolSize] = v;  // the oldest goes: runs stay reproducible
}

Value Session::object(Input &in, const std::string &cls)
{
    std::vector<size_t> fits;
    for (size_t i = 0; i < pool_.size(); i++)
        if (pool_[i].kind() == Kind::Object && host_.className(pool_[i]) == cls)
            fits.push_back(i);
    size_t pick = in.byte() % (fits.size() + 1);
    return pick < fits.size() ? pool_[fits[pick]] : Value::nil();
}

Value Session::folderItem(Input &in, std::string *path)
{
    std::string at;
    switch (in.byte() % 4) {
    case 0: return Value::adopt(Kind::FolderItem, nullptr);
    case 1: at = dir_ + "/no such folder/file"; break;
    default: at = dir_ + "/file" + std::to_string(in.byte() % 2); break;
    }
    if (path)
        *path = at;
    return host_.folderItem(at);
}

std::string Session::fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Session::asksTooMany(const std::string &bytes, uint64_t limit)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(bytes.data());
    return fuzzarea::PixelsAsked(p, bytes.size(), limit) > limit;
}

Value Session::value(Input &in, const std::string &type)
{
    std::string t;
    for (char c : type)
        t += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (t == "integer")
        return Value::integer(integer(in));
    if (t == "color")
        return Value::color(static_cast<uint32_t>(integer(in)));
    if (t == "boolean")
        return Value::booleanByte(in.byte());
    if (t == "string" || t == "memoryblock") {
        Kind kind = t == "string" ? Kind::String : Kind::MemoryBlock;
        uint8_t how = in.byte();
        if (how % 5 == 0)
            return Value::adopt(kind, nullptr);
        if (how % 5 == 1) {  // one the script already has
            for (const Value &v : pool_)
                if (v.kind() == kind && in.byte() % 2)
                    return v;
        }
        if (kind == Kind::MemoryBlock && how % 5 == 2)
            return host_.memoryBlock(static_cast<int32_t>(in.word16()));
        std::string bytes = someBytes(in);
        return kind == Kind::String ? host_.string(bytes, kEncodings[in.byte() % 4]) : host_.memoryBlock(bytes);
    }
    if (t == "folderitem")
        return folderItem(in);
    if (host_.findClass(type))
        return object(in, host_.findClass(type)->name);
    fail("no value for type " + type);
}

void Session::noteSet(const Value &object, const std::string &name, const Value &v)
{
    Own &o = own(object.handle(), host_.className(object));
    void *h = v.isNil() ? nullptr : v.handle();
    if (o.cls == "GIFQVR" && name == "Header") {
        o.headerSet = h != nullptr;
        o.header = h;
    } else if (o.cls == "GifBlockQVR") {
        if (name == "Intro")
            o.intro = v.asInteger();
        else if (name == "Picture")
            o.picture = h;
        else if (name == "Extension")
            o.extension = h;
    } else if (o.cls == "GifPictureQVR") {
        if (name == "Width")
            o.width = v.asInteger();
        else if (name == "Height")
            o.height = v.asInteger();
        else if (name == "Data")
            o.data = h;
    }
}

// Sets or gets a property of an object the script holds; both draw their
// choices from the input in the same order.
void Session::property(Input &in, bool set)
{
    const standin::ClassInfo *cls = classes_[in.byte() % classes_.size()];
    Value target = object(in, cls->name);
    if (target.isNil() || cls->properties.empty())
        return;
    const standin::PropertyInfo &p = cls->properties[in.byte() % cls->properties.size()];
    if (!set) {
        keep(host_.get(target, p.name), false);
        return;
    }
    if (!p.setter)
        return;
    Value v = value(in, p.type);
    host_.set(target, p.name, v);
    noteSet(target, p.name, v);
}

void Session::callMethod(Input &in, bool assign)
{
    const standin::ClassInfo *cls = classes_[in.byte() % classes_.size()];
    Value target = object(in, cls->name);
    if (target.isNil() || cls->methods.empty())
        return;
    const standin::MethodInfo &m = cls->methods[in.byte() % cls->methods.size()];
    if (assign && !m.setter)
        return;
    Args args;
    for (const standin::Parameter &p : m.parsed.params)
        args.push_back(value(in, p.type));
    if (assign) {
        host_.assign(target, m.declaration, args, value(in, m.parsed.returnType));
        return;
    }
    Value result = host_.call(target, m.declaration, args);
    if (cls->name == "GIFQVR" && m.parsed.name == "Add" && !args[0].isNil())
        own(target.handle(), cls->name).blocks.push_back(args[0].handle());
    keep(result, false);
}

// A global method on bytes, unless the GIF they hold asks for too many pixels.
void Session::global(const std::string &declaration, const std::string &bytes)
{
    if (asksTooMany(bytes, kMaxLoadPixels))
        return;
    Value data = host_.string(bytes, standin::kEncodingRaw);
    Value result = host_.callGlobal(declaration, {data});
    if (!result.isNil() && result.kind() == Kind::Picture && host_.references(result.handle()) != 1)
        fail(declaration + ": the picture has other references than the caller's");
    keep(result, true);
}

void Session::step(Input &in)
{
    switch (in.byte() % kOpCount) {
    case kNew: keep(host_.newInstance(classes_[in.byte() % classes_.size()]->name), false); break;
    case kSet: property(in, true); break;
    case kGet: property(in, false); break;
    case kCall: callMethod(in, false); break;
    case kAssign: callMethod(in, true); break;
    case kLoad: global("GifStringToGifQVR(data as string) as GIFQVR", in.bytes(in.word16())); break;
    case kStringPicture: global("GifStringToPictureQVR(data as string) as Picture", in.bytes(in.word16())); break;
    case kSave: save(in); break;
    case kOpen: {  // a host calls no method on a nil folder item
        std::string path;
        Value item = folderItem(in, &path);
        if (!item.isNil() && !asksTooMany(fileBytes(path), kMaxLoadPixels))
            keep(host_.callFolderItem(item, "OpenAsGIFQVR as GIFQVR"), true);
        break;
    }
    case kDrop:
        if (!pool_.empty())
            pool_.erase(pool_.begin() + static_cast<long>(in.byte() % pool_.size()));
        break;
    }
}

void Session::expectClean(const char *after)
{
    if (!host_.errors().empty())
        fail(std::string("host error after ") + after + ": " + host_.errors().front());
}

void Session::run(Input &in)
{
    for (int steps = 0; steps < 256 && !in.done(); steps++) {
        step(in);
        expectClean("a call");
    }
}

void Session::finish(const standin::Snapshot &start)
{
    pool_.clear();
    // What is still alive is held in a cycle through a view's owner (a loaded
    // file given its own views): the session takes over those references.
    struct ViewFields {
        void *record;
        REALobject owner;
    };
    for (auto &entry : own_) {
        if (entry.second.cls == "GIFQVR" || !host_.alive(entry.first))
            continue;
        Value view = Value::borrow(Kind::Object, entry.first);
        ViewFields *fields = static_cast<ViewFields *>(host_.instanceData(view));
        REALobject owner = fields->owner;
        fields->owner = nullptr;
        view.release();
        if (owner)
            Value::adopt(Kind::Object, owner).release();
    }
    std::string audit = host_.audit(start);
    if (!audit.empty())
        fail("left behind:\n" + audit);
    own_.clear();
    host_.purgeDestroyed();
}

}  // namespace script
