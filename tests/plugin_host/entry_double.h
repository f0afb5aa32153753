// The class table's registration, replaced in the bridge tests by a probe
// that records when the entry reached it.
#ifndef GIFQVR_TESTS_PLUGIN_HOST_ENTRY_DOUBLE_H
#define GIFQVR_TESTS_PLUGIN_HOST_ENTRY_DOUBLE_H

#include <cstddef>

namespace entry_probe {
extern int calls;
extern size_t journalAtCall; // journal length when the entry reached it
} // namespace entry_probe

#endif
