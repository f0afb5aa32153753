/* The plug-in's definition records as the host reads them: word by word in
 * the host's layout (sdk.h), at registration and again at every call. Their
 * memory is probed before it is read, so that a record in another layout is
 * reported rather than followed into unmapped memory. */
#include "standin_host/internal.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace standin {

namespace {
const char *const kHostClasses[] = {"Folderitem", "Picture", "Graphics", "MemoryBlock"};
const char *const kBuiltinTypes[] = {"integer", "boolean", "color", "string", "picture",
                                     "graphics", "memoryblock", "folderitem"};
/* More entries than any plug-in has: a count read from the wrong word. */
constexpr Word kMaxEntries = 4096;
constexpr size_t kMaxText = 4096;
constexpr size_t kPage = 4096;
/* Offsets are multiples of this, and at least this many guard bytes lie
 * between one class's data and the next. */
constexpr size_t kDataAlign = 16;

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

std::string hex(Word w)
{
    char text[24];
    snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(w));
    return text;
}

struct Field {
    const char *name;
    Word value;
};

template <typename T> Word word(T value)
{
    return reinterpret_cast<Word>(value);
}
} // namespace

/* ---- reading plug-in memory ---- */

namespace {
/* Copies plug-in memory the way the host reads it. The sanitizer stays out:
 * a record in another layout runs past the end of the plug-in's array, and
 * that must be reported, not stop the process. */
__attribute__((no_sanitize("address"))) void copyBytes(void *to, const void *from, size_t size)
{
    const volatile unsigned char *in = static_cast<const volatile unsigned char *>(from);
    unsigned char *out = static_cast<unsigned char *>(to);
    for (size_t i = 0; i < size; i++)
        out[i] = in[i];
}
} // namespace

bool Host::Impl::readable(const void *address, size_t size)
{
    if (!address)
        return false;
    if (probe[0] < 0 && pipe2(probe, O_CLOEXEC) != 0)
        return true; // cannot probe; read as the host would
    const uintptr_t first = reinterpret_cast<uintptr_t>(address) / kPage;
    const uintptr_t last = (reinterpret_cast<uintptr_t>(address) + (size ? size - 1 : 0)) / kPage;
    for (uintptr_t page = first; page <= last; page++) {
        if (readablePages.count(page))
            continue;
        // The kernel copies a byte of the page into the pipe, or answers
        // EFAULT where nothing is mapped; the raw call keeps sanitizers out.
        const void *at = page == first ? address : reinterpret_cast<const void *>(page * kPage);
        char byte;
        if (syscall(SYS_write, probe[1], at, 1) != 1 || read(probe[0], &byte, 1) != 1)
            return false;
        readablePages.insert(page);
    }
    return true;
}

bool Host::Impl::copyIn(const void *address, void *out, size_t size)
{
    if (!readable(address, size))
        return false;
    copyBytes(out, address, size);
    return true;
}

bool Host::Impl::readText(const char *address, std::string &out)
{
    out.clear();
    char piece[64];
    for (const char *p = address; p && out.size() < kMaxText;) {
        // Pieces end at page ends: the text may end just before a page
        // that is not mapped.
        const size_t n = std::min(sizeof piece, kPage - reinterpret_cast<uintptr_t>(p) % kPage);
        if (!copyIn(p, piece, n))
            return false;
        const void *end = std::memchr(piece, 0, n);
        out.append(piece, end ? static_cast<size_t>(static_cast<const char *>(end) - piece) : n);
        if (end)
            return true;
        p += n;
    }
    return false;
}

/* ---- tables ---- */

std::vector<PropertyInfo> Host::Impl::readProperties(const ClassRecord &def, const std::string &where, bool check)
{
    std::vector<PropertyInfo> out;
    if (def.propertyCount == 0)
        return out;
    std::vector<PropertyRecord> table(def.propertyCount <= kMaxEntries ? def.propertyCount : 0);
    if (table.empty() || !copyIn(def.properties, table.data(), table.size() * sizeof(PropertyRecord))) {
        error(where + ": " + std::to_string(def.propertyCount) + " properties, but no table of that many can be read");
        return out;
    }
    for (size_t i = 0; i < table.size(); i++) {
        const PropertyRecord &p = table[i];
        PropertyInfo info;
        const bool named = readText(p.name, info.name) && readText(p.type, info.type);
        info.getter = p.getter;
        info.setter = p.setter;
        info.param = static_cast<int32_t>(p.param);
        info.definition = &def.properties[i];
        const std::string which = where + ": property " + (named ? info.name : "#" + std::to_string(i));
        if (check) {
            if (!named || info.name.empty() || info.type.empty())
                error(which + " lacks a name or a type");
            const Field zero[] = {{"group", word(p.group)}, {"flags", p.flags},
                                  {"param", p.param},       {"editor", p.editor},
                                  {"enumCount", p.enumCount}, {"enumEntries", word(p.enumEntries)}};
            for (const Field &f : zero)
                if (f.value)
                    error(which + ": " + f.name + " is " + hex(f.value) + ", not 0");
            if (!p.getter)
                error(which + " has no getter");
        }
        out.push_back(info);
    }
    return out;
}

bool Host::Impl::readMethod(const MethodRecord *address, MethodInfo &info, const std::string &where, bool check)
{
    MethodRecord m{};
    const bool whole = copyIn(address, &m, sizeof m);
    const bool text = whole && readText(m.declaration, info.declaration);
    info.parsed = parseDeclaration(info.declaration);
    info.function = m.function;
    info.setter = m.setterFunction;
    info.definition = address;
    if (check) {
        const std::string which = where + ": method " + quoted(info.declaration);
        if (!whole)
            error(where + ": a method entry cannot be read");
        else if (!text || !info.parsed.valid)
            error(which + ": cannot parse the declaration");
        if (whole && !m.function)
            error(which + " has no function");
        if (m.mFlags)
            error(which + ": mFlags is " + hex(m.mFlags) + ", not 0");
    }
    return text;
}

std::vector<MethodInfo> Host::Impl::readMethods(const MethodRecord *table, Word count, const std::string &where,
                                                bool check)
{
    std::vector<MethodInfo> out;
    if (count == 0)
        return out;
    if (count > kMaxEntries || !readable(table, count * sizeof(MethodRecord))) {
        error(where + ": " + std::to_string(count) + " methods, but no table of that many can be read");
        return out;
    }
    for (Word i = 0; i < count; i++) {
        MethodInfo info;
        readMethod(&table[i], info, where, check);
        out.push_back(info);
    }
    return out;
}

std::vector<PropertyInfo> Host::Impl::propertiesNow(const ClassInfo &cls)
{
    ClassRecord def;
    return copyIn(cls.definition, &def, sizeof def) ? readProperties(def, cls.name, false)
                                                    : std::vector<PropertyInfo>();
}

std::vector<MethodInfo> Host::Impl::methodsNow(const ClassInfo &cls)
{
    ClassRecord def;
    return copyIn(cls.definition, &def, sizeof def) ? readMethods(def.methods, def.methodCount, cls.name, false)
                                                    : std::vector<MethodInfo>();
}

/* ---- registration ---- */

int32_t Host::Impl::registerClass(ClassRecord *def, bool extension)
{
    const std::string who = extension ? "PluginRegisterClassExtension" : "PluginRegisterClass";
    if (!def) {
        error(who + ": nil definition");
        return 0;
    }
    ClassRecord rec;
    if (!copyIn(def, &rec, sizeof rec)) {
        error(who + ": the definition cannot be read");
        return 0;
    }
    std::string name;
    if (!readText(rec.name, name) || name.empty()) {
        error(who + ": definition without a class name");
        return 0;
    }
    const std::string where = who + " " + name;
    if (rec.version != kFormatVersion)
        error(where + ": format version " + std::to_string(rec.version) + ", expected " +
              std::to_string(kFormatVersion));
    if (extension) {
        bool known = false;
        for (const char *c : kHostClasses)
            known = known || sameName(name, c);
        if (!known) {
            error(where + ": no host class of that name");
            return 0;
        }
        if (rec.dataSize != 0)
            error(where + ": an extension cannot add instance data");
    } else if (classNamed(name, false) || isHostClass(name)) {
        error(where + ": a class of that name exists already");
        return 0;
    }
    if (rec.superName) {
        std::string super;
        readText(rec.superName, super);
        error(where + ": superclass " + quoted(super) + " is not supported by this host");
    }
    // Everything a plug-in of this interface does not fill stays zero; the
    // host's own word too, until the host writes it below.
    const Field zero[] = {
        {"forSystemUse", rec.forSystemUse},
        {"events", word(rec.events)},
        {"eventCount", rec.eventCount},
        {"eventInstances", word(rec.eventInstances)},
        {"eventInstanceCount", rec.eventInstanceCount},
        {"interfaces", word(rec.interfaces)},
        {"bindDescriptions", word(rec.bindDescriptions)},
        {"bindDescriptionCount", rec.bindDescriptionCount},
        {"constants", word(rec.constants)},
        {"constantCount", rec.constantCount},
        {"mFlags", rec.mFlags},
        {"sharedProperties", word(rec.sharedProperties)},
        {"sharedPropertyCount", rec.sharedPropertyCount},
        {"sharedMethods", word(rec.sharedMethods)},
        {"sharedMethodCount", rec.sharedMethodCount},
    };
    for (const Field &f : zero)
        if (f.value)
            error(where + ": " + f.name + " is " + hex(f.value) + ", not 0");
    if (rec.propertyCount && !rec.properties)
        error(where + ": property count without a property table");
    if (rec.methodCount && !rec.methods)
        error(where + ": method count without a method table");

    ClassInfo &cls = classStore.emplace_back();
    cls.name = name;
    cls.definition = def;
    cls.dataSize = static_cast<uint32_t>(rec.dataSize);
    cls.extension = extension;
    if (!extension) {
        // Each class's data starts after the end of every other's, with
        // guard bytes between: through another class's offset an accessor
        // reaches guard bytes, never data.
        const size_t offset = (dataEnd + 2 * kDataAlign - 1) / kDataAlign * kDataAlign;
        cls.offset = static_cast<intptr_t>(offset);
        dataEnd = offset + cls.dataSize;
        def->forSystemUse = static_cast<Word>(offset);
    }
    cls.properties = readProperties(rec, where, true);
    cls.methods = readMethods(rec.methods, rec.methodCount, where, true);
    (extension ? extensions : classes).push_back(&cls);
    return 1;
}

int32_t Host::Impl::registerMethod(MethodRecord *def)
{
    const std::string who = "PluginRegisterMethod";
    if (!def) {
        error(who + ": nil definition");
        return 0;
    }
    if (!readable(def, sizeof *def)) {
        error(who + ": the definition cannot be read");
        return 0;
    }
    MethodInfo &info = globalStore.emplace_back();
    readMethod(def, info, who, true);
    globals.push_back(&info);
    return 1;
}

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
    // The next registrations start at another place, so that an instance
    // that outlives its class is not read at the new offsets by chance.
    impl_->generation++;
    impl_->dataEnd = kDataAlign * static_cast<size_t>(impl_->generation % 4);
}

} // namespace standin
