// Every test runs against the one host of the process, with the fake
// plug-in started once, and ends with the host's reference balance as it
// was and no error left unread.
#ifndef GIFQVR_TESTS_STANDIN_HOST_FIXTURE_H
#define GIFQVR_TESTS_STANDIN_HOST_FIXTURE_H

#include "fake_plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

// The host's own names: its records, services and value API.
using namespace standin;

class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static bool started = false;
        if (!started) {
            Host::instance().start(FakePluginMain);
            started = true;
        }
    }
    void SetUp() override
    {
        host.restoreAll();
        host.takeErrors();
        before = host.snapshot();
    }
    void TearDown() override
    {
        host.restoreAll();
        EXPECT_EQ(host.audit(before), "");
    }

    /* The errors recorded so far, cleared; true when one contains part. */
    bool tookError(const std::string &part)
    {
        std::vector<std::string> errors = host.takeErrors();
        return std::any_of(errors.begin(), errors.end(),
                           [&](const std::string &e) { return e.find(part) != std::string::npos; });
    }

    template <typename Proc> Proc service(const char *name) { return reinterpret_cast<Proc>(host.service(name)); }

    Host &host = Host::instance();
    standin::Snapshot before;
};

#endif
