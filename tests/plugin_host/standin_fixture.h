// The stand-in host as these tests reach it: its common names and the
// process-wide instance.
#ifndef GIFQVR_TESTS_PLUGIN_HOST_STANDIN_FIXTURE_H
#define GIFQVR_TESTS_PLUGIN_HOST_STANDIN_FIXTURE_H

#include "standin_host/standin_host.h"

using standin::Host;
using standin::JournalEntry;
using standin::Kind;
using standin::Value;

namespace {

inline Host &host() { return Host::instance(); }

} // namespace

#endif
