// The built plug-in loaded into the stand-in host once per test program,
// with the host's "PluginNewInstance" routed through a switch so that tests
// can make the host refuse to make objects of chosen classes.
#ifndef GIFQVR_TESTS_GIFQVR_CLASS_HOST_FIXTURE_H
#define GIFQVR_TESTS_GIFQVR_CLASS_HOST_FIXTURE_H

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "standin_host/standin_host.h"
#include "tests/gifqvr_class/gif_bytes.h"

namespace fixture {

using standin::Args;
using standin::Host;
using standin::Kind;
using standin::Snapshot;
using standin::Value;

// What a host program sees of a picture it was handed.
struct Shot {
    bool nil = true;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
    bool hasMask = false;
    std::vector<uint8_t> mask;
};

// The first two instance fields of every view class.
struct ViewFields {
    void *record;
    REALobject owner;
};

// Class names whose instances the host refuses to make; cleared per test.
std::set<std::string> &refusedClasses();

// Picture services the host withholds from the plug-in; cleared per test.
struct PictureGaps {
    bool noMask = false;        // "REALGetPictureMask" gives nil
    bool noGraphics = false;    // "pluginPictureGraphicsGetter" gives nil
    bool noDrawPicture = false; // "REALLoadObjectMethod" finds no method
};
PictureGaps &pictureGaps();

class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    // Every test leaves every reference count as it found it.
    void TearDown() override;

    Host &host = Host::instance();
    Snapshot start;

    static std::string pluginPath();
    template <typename T>
    static T *pluginSymbol(const char *name)
    {
        return static_cast<T *>(Host::instance().pluginSymbol(pluginPath(), name));
    }
    // A fresh directory for this test's files.
    std::string scratch(const std::string &name);

    Value bytesString(const std::string &bytes) { return host.string(bytes, standin::kEncodingRaw); }
    // Reads the picture, then gives the caller's reference back.
    Shot take(Value &picture);
    // Calls a picture-returning method and takes its result; the call must
    // leave every count as it found it once the result is given back.
    Shot pictureCall(const Value &object, const std::string &method);
    Shot globalPicture(const std::string &bytes);
    // Loads a GIFQVR from bytes; checks that only the new object appeared.
    Value load(const std::string &bytes);
    void expectBalanced(const Snapshot &before) { EXPECT_EQ("", host.audit(before)); }
    ViewFields view(const Value &object) const;

private:
    std::string dir_;
};

} // namespace fixture

#endif
