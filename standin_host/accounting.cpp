/* Accounting: reference counts at a moment, what changed since, and the
 * counts of live and destroyed handles. */
#include "standin_host/internal.h"

namespace standin {

Snapshot Host::snapshot() const
{
    Snapshot s;
    for (auto &entry : impl_->handles)
        if (!entry.second->dead)
            s.refs_[entry.second->id] = entry.second->refs;
    s.nextId_ = impl_->nextId;
    return s;
}

std::string Host::changesSince(const Snapshot &before) const
{
    std::map<uint64_t, std::string> lines;
    // Handles of the snapshot that are gone altogether were destroyed and
    // purged since; what they were is no longer known.
    for (auto &was : before.refs_)
        lines[was.first] = "handle#" + std::to_string(was.first) + ": destroyed and purged (had " +
                           std::to_string(was.second) + " references)";
    for (auto &entry : impl_->handles) {
        const Handle &h = *entry.second;
        auto was = before.refs_.find(h.id);
        if (was != before.refs_.end()) {
            lines.erase(h.id);
            if (h.dead)
                lines[h.id] = impl_->describe(h) + ": destroyed (had " + std::to_string(was->second) + " references)";
            else if (h.refs != was->second)
                lines[h.id] = impl_->describe(h) + ": references " + std::to_string(was->second) + " -> " +
                              std::to_string(h.refs);
        } else if (h.id >= before.nextId_ && !h.dead) {
            lines[h.id] = impl_->describe(h) + ": new, " + std::to_string(h.refs) + " references";
        }
    }
    std::string out;
    for (auto &line : lines)
        out += line.second + "\n";
    return out;
}

std::string Host::audit(const Snapshot &before)
{
    verify();
    std::string out = changesSince(before);
    for (const std::string &e : takeErrors())
        out += "error: " + e + "\n";
    return out;
}

int64_t Host::liveReferences() const
{
    int64_t total = 0;
    for (auto &entry : impl_->handles)
        if (!entry.second->dead)
            total += entry.second->refs;
    return total;
}

size_t Host::liveHandles() const
{
    size_t n = 0;
    for (auto &entry : impl_->handles)
        n += entry.second->dead ? 0 : 1;
    return n;
}

size_t Host::liveObjects(const std::string &className) const
{
    size_t n = 0;
    for (auto &entry : impl_->handles) {
        const Handle &h = *entry.second;
        if (h.dead)
            continue;
        const std::string name = h.kind == Kind::Object ? h.cls->name : std::string(kindName(h.kind));
        n += sameName(name, className) ? 1 : 0;
    }
    return n;
}

size_t Host::destroyed(const std::string &className) const
{
    size_t n = 0;
    for (auto &entry : impl_->destroyedCount)
        if (sameName(entry.first, className))
            n += entry.second;
    return n;
}

int32_t Host::references(const void *handle) const
{
    Handle *h = impl_->find(handle);
    return h && !h->dead ? h->refs : 0;
}

bool Host::alive(const void *handle) const
{
    Handle *h = impl_->find(handle);
    return h && !h->dead;
}

std::string Host::describe(const void *handle) const
{
    if (!handle)
        return "nil";
    Handle *h = impl_->find(handle);
    if (!h)
        return "unknown handle " + hexAddress(handle);
    return impl_->describe(*h) + (h->dead ? " (destroyed)" : "");
}

} // namespace standin
