/* Declarations, registration of classes and methods, and calls into the
 * plug-in the way the host makes them. */
#include "standin_host/internal.h"

#include <cctype>

namespace standin {

/* ---- declarations ---- */

namespace {

bool identStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool identChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

struct Cursor {
    const std::string &s;
    size_t i = 0;

    bool end() const { return i >= s.size(); }
    void spaces()
    {
        while (!end() && std::isspace(static_cast<unsigned char>(s[i])))
            i++;
    }
    bool take(char c)
    {
        if (end() || s[i] != c)
            return false;
        i++;
        return true;
    }
    bool ident(std::string &out, bool dotted = false)
    {
        if (end() || !identStart(s[i]))
            return false;
        size_t start = i;
        while (!end() && (identChar(s[i]) || (dotted && s[i] == '.' && i + 1 < s.size() && identStart(s[i + 1]))))
            i++;
        out = s.substr(start, i - start);
        return true;
    }
    /* A keyword, whole, in any case. */
    bool keyword(const char *word)
    {
        size_t n = std::char_traits<char>::length(word);
        if (s.size() - i < n || !sameName(s.substr(i, n), word))
            return false;
        if (i + n < s.size() && identChar(s[i + n]))
            return false;
        i += n;
        return true;
    }
};

} // namespace

Declaration parseDeclaration(const std::string &text)
{
    Declaration d;
    Cursor c{text};
    c.spaces();
    if (!c.ident(d.name))
        return Declaration();
    c.spaces();
    if (c.take('(')) {
        c.spaces();
        if (!c.take(')')) {
            for (;;) {
                Parameter p;
                c.spaces();
                if (c.keyword("byval") || c.keyword("byref"))
                    c.spaces();
                if (!c.ident(p.name))
                    return Declaration();
                c.spaces();
                if (!c.keyword("as"))
                    return Declaration();
                c.spaces();
                if (!c.ident(p.type, true))
                    return Declaration();
                c.spaces();
                d.params.push_back(p);
                if (c.take(','))
                    continue;
                if (c.take(')'))
                    break;
                return Declaration();
            }
        }
        c.spaces();
    }
    if (!c.end()) {
        if (!c.keyword("as"))
            return Declaration();
        c.spaces();
        if (!c.ident(d.returnType, true))
            return Declaration();
        c.spaces();
    }
    if (!c.end())
        return Declaration();
    d.valid = true;
    return d;
}

/* ---- registration ---- */

namespace {
const char *const kHostClasses[] = {"Folderitem", "Picture", "Graphics", "MemoryBlock"};
const char *const kBuiltinTypes[] = {"integer", "boolean", "color", "string", "picture",
                                     "graphics", "memoryblock", "folderitem"};

bool isHostClass(const std::string &name)
{
    for (const char *c : kHostClasses)
        if (sameName(name, c))
            return true;
    for (const char *t : kBuiltinTypes)
        if (sameName(name, t))
            return true;
    return false;
}

std::string orEmpty(const char *s)
{
    return s ? std::string(s) : std::string();
}
} // namespace

int32_t Host::Impl::registerClass(REALclassDefinition *def, bool extension)
{
    const std::string who = extension ? "PluginRegisterClassExtension" : "PluginRegisterClass";
    if (!def) {
        error(who + ": nil definition");
        return 0;
    }
    if (!def->name || !*def->name) {
        error(who + ": definition without a class name");
        return 0;
    }
    const std::string name = def->name;
    const std::string where = who + " " + name;
    if (def->version != kCurrentREALControlVersion)
        error(where + ": format version " + std::to_string(def->version) + ", expected " +
              std::to_string(kCurrentREALControlVersion));
    if (extension) {
        bool known = false;
        for (const char *c : kHostClasses)
            known = known || sameName(name, c);
        if (!known) {
            error(where + ": no host class of that name");
            return 0;
        }
        if (def->dataSize != 0)
            error(where + ": an extension cannot add instance data");
    } else {
        if (classNamed(name, false) || isHostClass(name)) {
            error(where + ": a class of that name exists already");
            return 0;
        }
        if (def->superName && *def->superName)
            error(where + ": superclass " + def->superName + " is not supported by this host");
    }
    // Fields this host does not support must stay empty.
    struct {
        const char *field;
        bool set;
    } unsupported[] = {
        {"events", def->eventCount != 0 || def->events},
        {"event instances", def->eventInstanceCount != 0 || def->eventInstances},
        {"interfaces", def->interfaces != nullptr},
        {"bind descriptions", def->bindDescriptionCount != 0 || def->bindDescriptions},
        {"constants", def->constantCount != 0 || def->constants},
        {"shared properties", def->sharedPropertyCount != 0 || def->sharedProperties},
        {"shared methods", def->sharedMethodCount != 0 || def->sharedMethods},
    };
    for (auto &u : unsupported)
        if (u.set)
            error(where + ": " + u.field + " are not supported by this host");

    ClassInfo &cls = classStore.emplace_back();
    cls.name = name;
    cls.definition = def;
    cls.dataSize = def->dataSize;
    cls.extension = extension;
    if (!extension) {
        // A header of a different size in front of each class's data, so
        // that reaching data through another class's offset goes wrong.
        cls.offset = static_cast<intptr_t>(16 * (2 + classesEver++));
        def->forSystemUse = cls.offset;
    }
    if (def->propertyCount && !def->properties)
        error(where + ": property count without a property table");
    for (uint32_t i = 0; def->properties && i < def->propertyCount; i++) {
        const REALproperty &p = def->properties[i];
        PropertyInfo info;
        info.name = orEmpty(p.name);
        info.type = orEmpty(p.type);
        info.getter = p.getter;
        info.setter = p.setter;
        info.param = p.param;
        info.definition = &p;
        if (info.name.empty() || info.type.empty())
            error(where + ": property " + std::to_string(i) + " lacks a name or a type");
        if (!p.getter)
            error(where + ": property " + info.name + " has no getter");
        cls.properties.push_back(info);
    }
    if (def->methodCount && !def->methods)
        error(where + ": method count without a method table");
    for (uint32_t i = 0; def->methods && i < def->methodCount; i++) {
        const REALmethodDefinition &m = def->methods[i];
        MethodInfo info;
        info.declaration = orEmpty(m.declaration);
        info.parsed = parseDeclaration(info.declaration);
        info.function = m.function;
        info.setter = m.setterFunction;
        info.definition = &m;
        if (!info.parsed.valid)
            error(where + ": cannot parse method declaration \"" + info.declaration + "\"");
        if (!m.function)
            error(where + ": method \"" + info.declaration + "\" has no function");
        cls.methods.push_back(info);
    }
    (extension ? extensions : classes).push_back(&cls);
    return 1;
}

int32_t Host::Impl::registerMethod(REALmethodDefinition *def)
{
    if (!def) {
        error("PluginRegisterMethod: nil definition");
        return 0;
    }
    MethodInfo &info = globalStore.emplace_back();
    info.declaration = orEmpty(def->declaration);
    info.parsed = parseDeclaration(info.declaration);
    info.function = def->function;
    info.setter = def->setterFunction;
    info.definition = def;
    if (!info.parsed.valid)
        error("PluginRegisterMethod: cannot parse method declaration \"" + info.declaration + "\"");
    if (!def->function)
        error("PluginRegisterMethod: method \"" + info.declaration + "\" has no function");
    globals.push_back(&info);
    return 1;
}

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

Word Host::Impl::argument(const Value &v, const std::string &type, const std::string &who, size_t index)
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
        return static_cast<Word>(v.asInteger());
    case Kind::Boolean:
        if (v.kind() != Kind::Boolean)
            throw mismatch();
        return static_cast<Word>(static_cast<uint8_t>(v.raw()));
    case Kind::Color:
        if (v.kind() != Kind::Color && v.kind() != Kind::Integer)
            throw mismatch();
        return static_cast<Word>(static_cast<uint32_t>(v.raw()));
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
    return reinterpret_cast<Word>(h.memory);
}

Value Host::Impl::result(Word raw, const std::string &type, const std::string &who)
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

Value Host::Impl::dispatch(void *function, std::vector<Word> words, const std::string &returnType,
                           const std::string &who)
{
    if (!function)
        throw HostError(who + ": no function was registered");
    Word raw = invokeWords(function, words);
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
const PropertyInfo *propertyOf(const ClassInfo &cls, const std::string &name)
{
    for (const PropertyInfo &p : cls.properties)
        if (p.name == name)
            return &p;
    for (const PropertyInfo &p : cls.properties)
        if (sameName(p.name, name))
            return &p;
    return nullptr;
}

const PropertyInfo &requireProperty(Host::Impl &host, const ClassInfo &cls, const std::string &name)
{
    if (const PropertyInfo *p = propertyOf(cls, name))
        return *p;
    std::string hint;
    for (const ClassInfo *other : host.classes)
        if (other != &cls && propertyOf(*other, name))
            hint += hint.empty() ? " (it is a property of " + other->name : ", " + other->name;
    if (!hint.empty())
        hint += ")";
    throw HostError(cls.name + " has no property " + name + hint);
}

void checkArity(const MethodInfo &m, size_t argCount, const std::string &where)
{
    if (!m.parsed.valid)
        throw HostError(where + ": \"" + m.declaration + "\" could not be parsed at registration");
    if (m.parsed.params.size() != argCount)
        throw HostError(where + ": \"" + m.declaration + "\" takes " + std::to_string(m.parsed.params.size()) +
                        " arguments, not " + std::to_string(argCount));
}

std::vector<MethodInfo> folderItemMethods(const Host::Impl &host)
{
    std::vector<MethodInfo> all;
    for (const ClassInfo *ext : host.extensions)
        if (sameName(ext->name, "Folderitem"))
            all.insert(all.end(), ext->methods.begin(), ext->methods.end());
    return all;
}
} // namespace

Value Host::get(const Value &object, const std::string &property)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "get " + property);
    const PropertyInfo &p = requireProperty(host, *h.cls, property);
    const std::string who = h.cls->name + "." + p.name + " getter";
    return host.dispatch(p.getter, {reinterpret_cast<Word>(h.memory), static_cast<Word>(p.param)}, p.type, who);
}

void Host::set(const Value &object, const std::string &property, const Value &value)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "set " + property);
    const PropertyInfo &p = requireProperty(host, *h.cls, property);
    const std::string who = h.cls->name + "." + p.name + " setter";
    if (!p.setter)
        throw HostError(who + ": the property is read-only");
    Word word = host.argument(value, p.type, who, 0);
    host.dispatch(p.setter, {reinterpret_cast<Word>(h.memory), static_cast<Word>(p.param), word}, "", who);
}

Value Host::call(const Value &object, const std::string &method, const Args &args)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "call " + method);
    const MethodInfo &m = host.chooseMethod(h.cls->methods, method, args.size(), h.cls->name);
    const std::string who = h.cls->name + "." + m.declaration;
    checkArity(m, args.size(), who);
    std::vector<Word> words{reinterpret_cast<Word>(h.memory)};
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    return host.dispatch(m.function, words, m.parsed.returnType, who);
}

void Host::assign(const Value &object, const std::string &method, const Args &args, const Value &value)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(object, Kind::Object, "assign " + method);
    const MethodInfo &m = host.chooseMethod(h.cls->methods, method, args.size(), h.cls->name);
    const std::string who = h.cls->name + "." + m.declaration + " (setter form)";
    checkArity(m, args.size(), who);
    if (!m.setter)
        throw HostError(who + ": the method has no setter function");
    if (m.parsed.returnType.empty())
        throw HostError(who + ": a method without a result cannot be assigned to");
    std::vector<Word> words{reinterpret_cast<Word>(h.memory)};
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    words.push_back(host.argument(value, m.parsed.returnType, who, args.size()));
    host.dispatch(m.setter, words, "", who);
}

Value Host::callFolderItem(const Value &item, const std::string &method, const Args &args)
{
    Impl &host = *impl_;
    Handle &h = host.valueHandle(item, Kind::FolderItem, "callFolderItem " + method);
    std::vector<MethodInfo> methods = folderItemMethods(host);
    const MethodInfo &m = host.chooseMethod(methods, method, args.size(), "Folderitem");
    const std::string who = "Folderitem." + m.declaration;
    checkArity(m, args.size(), who);
    std::vector<Word> words{reinterpret_cast<Word>(h.memory)};
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    return host.dispatch(m.function, words, m.parsed.returnType, who);
}

Value Host::callGlobal(const std::string &method, const Args &args)
{
    Impl &host = *impl_;
    std::vector<MethodInfo> methods;
    for (const MethodInfo *m : host.globals)
        methods.push_back(*m);
    const MethodInfo &m = host.chooseMethod(methods, method, args.size(), "the global scope");
    const std::string who = m.declaration;
    checkArity(m, args.size(), who);
    std::vector<Word> words;
    for (size_t i = 0; i < args.size(); i++)
        words.push_back(host.argument(args[i], m.parsed.params[i].type, who, i));
    return host.dispatch(m.function, words, m.parsed.returnType, who);
}

/* ---- the call itself ---- */

Word invokeWords(void *function, const std::vector<Word> &a)
{
    using W = Word;
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
