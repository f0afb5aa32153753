// Runs arbitrary bytes as a host script (fuzz/script/session.h) against the
// plug-in library in the stand-in host. Besides crashes and sanitizer
// reports it fails on any fault the host records, on any reference left
// behind once everything is released, and on a saved file that does not read
// back as saving promises.
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "fuzz/script/session.h"

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
        script::Session session(gDir);
        session.run(in);
        session.finish(start);
    } catch (const std::exception &e) {
        script::fail(std::string("the harness misused the host: ") + e.what());
    }
    return 0;
}
