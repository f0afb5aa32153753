/* The resolver handed to plug-ins, the test's control over what it
 * answers, and loading plug-in libraries. */
#include "standin_host/internal.h"

#include <dlfcn.h>

namespace standin {

namespace {
void *resolve(const char *name)
{
    Host::Impl &host = impl();
    if (!name) {
        host.error("resolver: nil service name");
        return nullptr;
    }
    host.lookupCount[name]++;
    host.note(JournalEntry::Lookup, name);
    if (host.withdrawn.count(name))
        return nullptr;
    auto replaced = host.replaced.find(name);
    if (replaced != host.replaced.end())
        return replaced->second;
    return Host::instance().service(name);
}
} // namespace

REALResolver Host::resolver()
{
    return &resolve;
}

void Host::withdraw(const std::string &name)
{
    impl_->withdrawn.insert(name);
}

void Host::replace(const std::string &name, void *function)
{
    impl_->withdrawn.erase(name);
    impl_->replaced[name] = function;
}

void Host::restore(const std::string &name)
{
    impl_->withdrawn.erase(name);
    impl_->replaced.erase(name);
}

void Host::restoreAll()
{
    impl_->withdrawn.clear();
    impl_->replaced.clear();
}

void Host::start(void (*entry)(REALResolver))
{
    entry(resolver());
}

bool Host::loadPlugin(const std::string &path)
{
    if (impl_->libraries.count(path))
        return false;
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw HostError("loadPlugin: " + std::string(dlerror()));
    void *entry = dlsym(library, "REALPluginMain");
    if (!entry) {
        dlclose(library);
        throw HostError("loadPlugin: " + path + " has no REALPluginMain");
    }
    impl_->libraries[path] = library;
    start(reinterpret_cast<void (*)(REALResolver)>(entry));
    return true;
}

void *Host::pluginSymbol(const std::string &path, const std::string &name)
{
    auto it = impl_->libraries.find(path);
    if (it == impl_->libraries.end())
        throw HostError("pluginSymbol: " + path + " is not loaded");
    return dlsym(it->second, name.c_str());
}

} // namespace standin
