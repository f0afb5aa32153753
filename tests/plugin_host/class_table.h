// What the class-table and instance-data tests share: a fresh copy of the
// built plug-in per scenario, the host's audit around each test, and the
// instance data of each class as the host sees it.
#ifndef GIFQVR_TESTS_PLUGIN_HOST_CLASS_TABLE_H
#define GIFQVR_TESTS_PLUGIN_HOST_CLASS_TABLE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/plugin_host/standin_fixture.h"

// Each scenario loads its own copy of the library, so that it starts with
// empty service slots and globals, as after a fresh load.
std::string LoadFreshCopy();

// Instance data as the host sees it: 32-bit integers, one-byte booleans,
// pointer-sized handles, in the listed order.
struct GifLayout { void *gif, *blocks, *screen, *header; };
struct ScreenLayout {
    void *record, *owner;
    int32_t width, height, colorResolution;
    uint8_t sorted;
    int32_t paletteDepth, backgroundColor, aspect;
    void *palette;
};
struct PaletteLayout {
    void *record, *owner;
    int32_t count;
    uint8_t colours[256][4];
};
struct BlockLayout { void *record, *owner; int32_t intro; void *extension, *picture; };
struct ExtensionLayout { void *record, *owner; int32_t marker; void *data; };
struct DataLayout { void *record, *owner, *string; };
struct PictureLayout {
    void *record, *owner;
    int32_t left, top, width, height;
    uint8_t sorted;
    int32_t paletteDepth;
    uint8_t interlace;
    void *palette, *data;
};

class Loaded : public ::testing::Test {
protected:
    void SetUp() override
    {
        host().restoreAll();
        before = host().snapshot();
    }
    void TearDown() override
    {
        host().restoreAll();
        EXPECT_EQ("", host().audit(before));
    }
    standin::Snapshot before;
};

#endif
