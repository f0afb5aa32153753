// Runs arbitrary bytes as a host script (fuzz/script/session.h) against the
// plug-in library in the stand-in host. Besides crashes and sanitizer
// reports it fails on any fault the host records, on any reference left
// behind once everything is released, and on a saved file that does not read
// back as saving promises.
//
// Built with GIFQVR_REFUSALS (the target script_exhaustion_fuzz) it runs the
// plug-in's test build instead, and refuses what the plug-in asks for (its
// allocations, the values it asks the host to make) from a point the input
// chooses: its first two bytes name the request (0: none), the third says
// whether only that one or every one from it on. Saved files are loaded
// again but not checked: under a refusal saving may fail or lose parts, and
// so may the reading back.
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "fuzz/script/session.h"
#ifdef GIFQVR_REFUSALS
#include "tests/support/refusals.h"
#endif

namespace {
std::string gDir;

// The files a session may leave in its folder, and the folder, removed when
// the fuzzer ends (listing the folder fails under qemu-i386).
void removeFolder()
{
    for (const char *name : {"/saved.gif", "/file0", "/file1"})
        std::remove((gDir + name).c_str());
    rmdir(gDir.c_str());
}
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char pattern[] = "/tmp/script_fuzz_XXXXXX";
    if (!mkdtemp(pattern))
        script::fail("no temporary folder");
    gDir = pattern;
    atexit(removeFolder);
    standin::Host &host = standin::Host::instance();
    host.setJournalling(false);
#ifdef GIFQVR_REFUSALS
    refusals::InstallRefusingServices();
#endif
    if (!host.loadPlugin(GIFQVR_PLUGIN_FILE) || !host.errors().empty())
        script::fail("the plug-in did not load cleanly: " GIFQVR_PLUGIN_FILE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    standin::Host &host = standin::Host::instance();
    try {
        standin::Snapshot start = host.snapshot();
        script::Input in(data, size);
#ifdef GIFQVR_REFUSALS
        refusals::gRequests = refusals::Requests();
        refusals::gRequests.failAt = in.word16();
        refusals::gRequests.forGood = in.byte() & 1;
        refusals::gRequests.armed = true;
        script::Session session(gDir, false);
#else
        script::Session session(gDir);
#endif
        session.run(in);
        session.finish(start);
#ifdef GIFQVR_REFUSALS
        refusals::gRequests.armed = false;
#endif
    } catch (const std::exception &e) {
        script::fail(std::string("the harness misused the host: ") + e.what());
    }
    return 0;
}
