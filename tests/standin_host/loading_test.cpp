#include "fixture.h"

namespace {

using LoadingTest = HostTest;

TEST_F(LoadingTest, LoadsALibraryAndCallsItsEntryWithTheResolver)
{
    const std::string path = TINY_PLUGIN_PATH;
    host.clearJournal();
    ASSERT_TRUE(host.loadPlugin(path));
    EXPECT_EQ(host.lookups("PluginRegisterClass"), 1);
    const standin::ClassInfo *tiny = host.findClass("TinyThing");
    ASSERT_NE(tiny, nullptr);
    EXPECT_EQ(tiny->definition->forSystemUse, tiny->offset);
    EXPECT_EQ(host.callGlobal("TinyEntryCalls").asInteger(), 1);
    {
        Value thing = host.newInstance("TinyThing");
        EXPECT_EQ(host.get(thing, "Answer").asInteger(), 40);
        *static_cast<int32_t *>(host.instanceData(thing)) = 2;
        EXPECT_EQ(host.get(thing, "Answer").asInteger(), 42);
    }

    // Loaded once per path: the entry does not run again.
    EXPECT_FALSE(host.loadPlugin(path));
    EXPECT_EQ(host.callGlobal("TinyEntryCalls").asInteger(), 1);
    EXPECT_NE(host.pluginSymbol(path, "REALPluginMain"), nullptr);
    EXPECT_EQ(host.pluginSymbol(path, "NoSuchSymbol"), nullptr);
}

TEST_F(LoadingTest, RefusesLibrariesItCannotLoadOrStart)
{
    EXPECT_THROW(host.loadPlugin("/nonexistent/plugin.so"), HostError);
    // A real shared library, but not a plug-in.
    EXPECT_THROW(host.loadPlugin(STANDIN_HOST_LIBRARY_WITHOUT_ENTRY), HostError);
    EXPECT_THROW(host.pluginSymbol("/nonexistent/plugin.so", "REALPluginMain"), HostError);
}

} // namespace
