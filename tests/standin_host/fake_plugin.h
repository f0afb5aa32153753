// A small plug-in of the test's own, linked into the test program and
// started through the resolver, so the host can be tested without the real
// one. It uses the host's own declarations of the records. Some of its
// methods are wrong about the host on purpose.
#ifndef GIFQVR_TESTS_STANDIN_HOST_FAKE_PLUGIN_H
#define GIFQVR_TESTS_STANDIN_HOST_FAKE_PLUGIN_H

#include "standin_host/standin_host.h"

struct CounterData {
    int32_t value;
    uint8_t flag;
    uint32_t tint;
    REALstring label;
    REALobject partner;
    REALpicture picture;
    REALmemoryBlock block;
    REALfolderItem file;
    uint32_t items[4];
};

struct GadgetData {
    int32_t level;
};

extern standin::ClassRecord FakeGadgetClass;
extern standin::ClassRecord FakeCounterClass;
extern standin::ClassRecord FakeFolderItemClass;
extern int gCounterDestructorRuns;
extern double gFakeVersionSeen;

void FakePluginMain(REALResolver resolver);

#endif
