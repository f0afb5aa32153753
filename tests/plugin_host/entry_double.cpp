#include "tests/plugin_host/entry_double.h"

#include "standin_host/standin_host.h"

namespace entry_probe {
int calls = 0;
size_t journalAtCall = 0;
} // namespace entry_probe

void PluginEntry(void)
{
    entry_probe::calls++;
    entry_probe::journalAtCall = standin::Host::instance().journal().size();
}
