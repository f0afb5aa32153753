/* Calls into the plug-in the way the host makes them: arguments and results
 * one word each, tables read from the plug-in's records at every call. */
#include "standin_host/internal.h"

namespace standin {

namespace {
/* What a host may leave above the byte of a Boolean argument. */
constexpr CallWord kBooleanJunk = static_cast<CallWord>(static_cast<Word>(0x5A5A5A5A5A5A5A00ULL));
} // namespace

/* ---- types and values across the call ---- */

bool Host::Impl::resolveType(const std::string &type, TypeRef &out) const
{
    static const struct {
        const char *name;
        Kind kind;
    } builtins[] = {
        {"integer", Kind::Integer},         {"boolean", Kind::Boolean},   {"color", Kind::Color},
        {"string", Kind::String},           {"picture", Kind::Picture},   {"graphics", Kind::Graphics},
        {"memoryblock", Kind::MemoryBlock}, {"folderitem", Kind::FolderItem},
    };
    out = TypeRef();
    if (type.empty())
        return true;
    for (auto &b : builtins)
        if (sameName(type, b.name)) {
            out.kind = b.kind;
            return true;
        }
    if (ClassInfo *cls = classNamed(type, true)) {
        out.kind = Kind::Object;
        out.className = cls->name;
        return true;
    }
    return false;
}

CallWord Host::Impl::argument(const Value &v, const std::string &type, const std::string &who, size_t index)
{
    TypeRef t;
    if (!resolveType(type, t) || t.kind == Kind::Nil)
        throw HostError(who + ": parameter type \"" + type + "\" is unknown to the host");
    auto mismatch = [&]() {
        return HostError(who + ": argument " + std::to_string(index + 1) + " should be " + type + ", not " +
                         v.describe());
    };
    switch (t.kind) {
    case Kind::Integer:
        if (v.kind() != Kind::Integer)
            throw mismatch();
        return static_cast<CallWord>(v.asInteger());
    case Kind::Boolean:
        if (v.kind() != Kind::Boolean)
            throw mismatch();
        // Only the low byte is the value.
        return kBooleanJunk | static_cast<CallWord>(static_cast<uint8_t>(v.raw()));
    case Kind::Color:
        if (v.kind() != Kind::Color && v.kind() != Kind::Integer)
            throw mismatch();
        return static_cast<CallWord>(static_cast<uint32_t>(v.raw()));
    default:
        break;
    }
    if (v.isNil()) {
        if (v.kind() != Kind::Nil && v.kind() != t.kind)
            throw mismatch();
        return 0;
    }
    if (v.kind() != t.kind)
        throw mismatch();
    Handle &h = valueHandle(v, t.kind, who);
    if (t.kind == Kind::Object && !sameName(h.cls->name, t.className))
        throw mismatch();
    return reinterpret_cast<CallWord>(h.memory);
}

Value Host::Impl::result(CallWord raw, const std::string &type, const std::string &who)
{
    TypeRef t;
    if (!resolveType(type, t)) {
        error(who + ": declared type \"" + type + "\" is unknown to the host");
        return Value();
    }
    switch (t.kind) {
    case Kind::Nil: return Value();
    case Kind::Integer: return Value::integer(static_cast<int32_t>(raw));
    case Kind::Boolean: return Value::booleanByte(static_cast<uint8_t>(raw));
    case Kind::Color: return Value::color(static_cast<uint32_t>(raw));
    default: break;
    }
    void *p = reinterpret_cast<void *>(raw);
    if (!p)
        return Value::adopt(t.kind, nullptr);
    Handle *h = find(p);
    if (!h) {
        error(who + ": returned an unknown handle");
        return Value();
    }
    if (h->dead) {
        error(who + ": returned " + describe(*h) + ", which was already destroyed");
        return Value();
    }
    if (h->kind != t.kind)
        error(who + ": returned " + describe(*h) + " where " + type + " was declared");
    else if (t.kind == Kind::Object && !sameName(h->cls->name, t.className))
        error(who + ": returned " + describe(*h) + " where " + type + " was declared");
    return Value::adopt(h->kind, p);
}

Value Host::Impl::dispatch(void *function, std::vector<CallWord> words, const std::string &returnType,
                           const std::string &who)
{
    if (!function)
        throw HostError(who + ": no function was registered");
    CallWord raw = invokeWords(function, words);
    verifyAll();
    return result(raw, returnType, who);
}

const MethodInfo &Host::Impl::chooseMethod(const std::vector<MethodInfo> &methods, const std::string &method,
                                           size_t argCount, const std::string &where) const
{
    for (const MethodInfo &m : methods)
        if (m.declaration == method)
            return m;
    bool bareName = !method.empty() && identStart(method[0]);
    for (char c : method)
        bareName = bareName && identChar(c);
    if (!bareName)
        throw HostError(where + " has no method declared exactly as \"" + method + "\"");
    const MethodInfo *found = nullptr;
    for (const MethodInfo &m : methods) {
        if (!m.parsed.valid || !sameName(m.parsed.name, method) || m.parsed.params.size() != argCount)
            continue;
        if (found)
            throw HostError(where + ": \"" + method + "\" with " + std::to_string(argCount) +
                            " arguments is ambiguous; give the declaration");
        found = &m;
    }
    if (!found)
        throw HostError(where + " has no method " + method + " taking " + std::to_string(argCount) + " arguments");
    return *found;
}

/* ---- the calls ---- */

namespace {
const PropertyInfo *propertyOf(const std::vector<PropertyInfo> &properties, const std::string &name)
{
    for (const PropertyInfo &p : properties)
        if (p.name == name)
            return &p;
    for (const PropertyInfo &p : properties)
        if (sameName(p.name, name))
            return &p;
    return nullptr;
}

/* The entry as the class's record has it now. */
PropertyInfo requireProperty(Host::Impl &host, const ClassInfo &cls, const std::string &name)
{
    const std::vector<PropertyInfo> now = host.propertiesNow(cls);
    if (const PropertyInfo *p = propertyOf(now, name))
        return *p;
    std::string hint;
    for (const ClassInfo *other : host.classes)
        if (other != &cls && propertyOf(other->properties, name))
            hint += hint.empty() ? " (it is a property of " + other->name : ", " + other->name;
    if (!hint.empty())
        hint += ")";
    throw HostError(cls.name + " has no property " + name + hint);
}

void checkArity(const MethodInfo &m, size_t argCount, const std::string &where)
{
    if (!m.parsed.valid)
        throw HostError(where + ": \"" + m.declaration + "\" cannot be parsed");
    if (m.parsed.params.size() != argCount)
        throw HostError(where + ": \"" + m.declaration + "\" takes " + std::to_string(m.parsed.params.size()) +
                        " arguments, not " + std::to_string(argCount));
}
} // namespace

std::vector<MethodInfo> Host::Impl::folderItemMethods()
{
    std::vector<MethodInfo> all;
    for (const ClassInfo *ext : extensions)
        if (sameName(ext->name, "Folderitem")) {
            std::vector<MethodInfo> some = methodsNow(*ext);
            all.insert(all.end(), some.begin(), some.end());
        }
    return all;
}

Value Host::get(const Value &object, const std::string &property)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "get " + property);
    const PropertyInfo p = requireProperty(host, *h.cls, property);
    const std::string who = h.cls->name + "." + p.name + " getter";
    return host.dispatch(p.getter, {reinterpret_cast<CallWord>(h.memory), static_cast<CallWord>(p.param)}, p.type,
                         who);
}

void Host::set(const Value &object, const std::string &property, const Value &value)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "set " + property);
    const PropertyInfo p = requireProperty(host, *h.cls, property);
    const std::string who = h.cls->name + "." + p.name + " setter";
    if (!p.setter)
        throw HostError(who + ": the property is read-only");
    CallWord word = host.argument(value, p.type, who, 0);
    host.dispatch(p.setter, {reinterpret_cast<CallWord>(h.memory), static_cast<CallWord>(p.param), word}, "", who);
}

Value Host::call(const Value &object, const std::string &method, const Args &args)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "call " + method);
    const std::vector<MethodInfo> methods = host.methodsNow(*h.cls);
    const MethodInfo &m = host.chooseMethod(methods, method, args.size(), h.cls->name);
    const std::string who = h.cls->name + "." + m.declaration;
    checkArity(m, args.size(), who);
    std::vector<CallWord> words{reinterpret_cast<CallWord>(h.memory)};
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    return host.dispatch(m.function, words, m.parsed.returnType, who);
}

void Host::assign(const Value &object, const std::string &method, const Args &args, const Value &value)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "assign " + method);
    const std::vector<MethodInfo> methods = host.methodsNow(*h.cls);
    const MethodInfo &m = host.chooseMethod(methods, method, args.size(), h.cls->name);
    const std::string who = h.cls->name + "." + m.declaration + " (setter form)";
    checkArity(m, args.size(), who);
    if (!m.setter)
        throw HostError(who + ": the method has no setter function");
    if (m.parsed.returnType.empty())
        throw HostError(who + ": a method without a result cannot be assigned to");
    std::vector<CallWord> words{reinterpret_cast<CallWord>(h.memory)};
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    words.push_back(host.argument(value, m.parsed.returnType, who, args.size()));
    host.dispatch(m.setter, words, "", who);
}

Value Host::callFolderItem(const Value &item, const std::string &method, const Args &args)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(item, Kind::FolderItem, "callFolderItem " + method);
    const std::vector<MethodInfo> methods = host.folderItemMethods();
    const MethodInfo &m = host.chooseMethod(methods, method, args.size(), "Folderitem");
    const std::string who = "Folderitem." + m.declaration;
    checkArity(m, args.size(), who);
    std::vector<CallWord> words{reinterpret_cast<CallWord>(h.memory)};
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    return host.dispatch(m.function, words, m.parsed.returnType, who);
}

Value Host::callGlobal(const std::string &method, const Args &args)
{
    Impl &host = *impl_;
    std::vector<MethodInfo> methods;
    for (const MethodInfo *g : host.globals) {
        MethodInfo now;
        host.readMethod(g->definition, now, "the global scope", false);
        methods.push_back(now);
    }
    const MethodInfo &m = host.chooseMethod(methods, method, args.size(), "the global scope");
    const std::string who = m.declaration;
    checkArity(m, args.size(), who);
    std::vector<CallWord> words;
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    return host.dispatch(m.function, words, m.parsed.returnType, who);
}

/* ---- the call itself ---- */

CallWord invokeWords(void *function, const std::vector<CallWord> &a)
{
    using W = CallWord;
    switch (a.size()) {
    case 0: return reinterpret_cast<W (*)()>(function)();
    case 1: return reinterpret_cast<W (*)(W)>(function)(a[0]);
    case 2: return reinterpret_cast<W (*)(W, W)>(function)(a[0], a[1]);
    case 3: return reinterpret_cast<W (*)(W, W, W)>(function)(a[0], a[1], a[2]);
    case 4: return reinterpret_cast<W (*)(W, W, W, W)>(function)(a[0], a[1], a[2], a[3]);
    case 5: return reinterpret_cast<W (*)(W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3], a[4]);
    case 6: return reinterpret_cast<W (*)(W, W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3], a[4], a[5]);
    case 7:
        return reinterpret_cast<W (*)(W, W, W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    case 8:
        return reinterpret_cast<W (*)(W, W, W, W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                                                                         a[7]);
    case 9:
        return reinterpret_cast<W (*)(W, W, W, W, W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3], a[4], a[5],
                                                                            a[6], a[7], a[8]);
    case 10:
        return reinterpret_cast<W (*)(W, W, W, W, W, W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3], a[4],
                                                                               a[5], a[6], a[7], a[8], a[9]);
    default: throw HostError("the host calls functions of at most 10 arguments");
    }
}

} // namespace standin
