// The built plug-in loaded into the stand-in host as the host loads it: it
// registers what the host can use, and each class's instances live and die
// without a fault the host can see.
#include "standin_host/standin_host.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

using standin::ClassInfo;
using standin::Host;
using standin::Value;

class PluginSmokeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Host &h = Host::instance();
        h.clearJournal();
        h.loadPlugin(GIFQVR_PLUGIN_FILE);
        loadErrors() = h.takeErrors();
    }
    static std::vector<std::string> &loadErrors()
    {
        static std::vector<std::string> errors;
        return errors;
    }
    void SetUp() override { before = host.snapshot(); }
    void TearDown() override { EXPECT_EQ(host.audit(before), ""); }

    /* Every type a declaration may name: the host's own and the classes. */
    bool knownType(const std::string &type) const
    {
        static const std::set<std::string> builtins = {"integer", "boolean",     "color",     "string",
                                                       "picture", "memoryblock", "folderitem"};
        std::string lower;
        for (char c : type)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return builtins.count(lower) || host.findClass(type);
    }

    Host &host = Host::instance();
    standin::Snapshot before;
};

TEST_F(PluginSmokeTest, LoadsWithoutAFaultTheHostCanSee)
{
    EXPECT_TRUE(loadErrors().empty()) << loadErrors().front();
    EXPECT_EQ(host.calls("RegisterPluginVersion"), 1);
    EXPECT_EQ(host.calls("PluginRegisterClass"), 7);
    EXPECT_EQ(host.calls("PluginRegisterClassExtension"), 1);
    EXPECT_EQ(host.calls("PluginRegisterMethod"), 2);
}

TEST_F(PluginSmokeTest, RegistersTheClassesInOrderEachWithItsOwnOffset)
{
    const std::vector<std::string> names = {"GIFQVR",       "GifPictureQVR", "GifDataQVR",     "GifBlockQVR",
                                            "GifScreenQVR", "GifPaletteQVR", "GifExtensionQVR"};
    const std::vector<std::string> records = {"GifClass",      "GifPictureClass", "GifDataClass",
                                              "GifBlockClass", "GifScreenClass",  "GifPaletteClass",
                                              "GifExtensionClass"};
    std::vector<const ClassInfo *> classes = host.classes();
    ASSERT_EQ(classes.size(), names.size());
    std::set<intptr_t> offsets;
    for (size_t i = 0; i < classes.size(); i++) {
        SCOPED_TRACE(names[i]);
        const ClassInfo &c = *classes[i];
        EXPECT_EQ(c.name, names[i]);
        // The host keeps the exported record itself and wrote into it.
        EXPECT_EQ(static_cast<void *>(c.definition), host.pluginSymbol(GIFQVR_PLUGIN_FILE, records[i]));
        EXPECT_NE(c.offset, 0);
        EXPECT_EQ(c.definition->forSystemUse, c.offset);
        EXPECT_GT(c.dataSize, 0u);
        offsets.insert(c.offset);
        for (const standin::PropertyInfo &p : c.properties)
            EXPECT_TRUE(knownType(p.type)) << p.name << " as " << p.type;
        for (const standin::MethodInfo &m : c.methods) {
            EXPECT_TRUE(m.parsed.valid) << m.declaration;
            for (const standin::Parameter &p : m.parsed.params)
                EXPECT_TRUE(knownType(p.type)) << m.declaration;
            EXPECT_TRUE(m.parsed.returnType.empty() || knownType(m.parsed.returnType)) << m.declaration;
        }
    }
    EXPECT_EQ(offsets.size(), classes.size());
}

TEST_F(PluginSmokeTest, ExtendsFolderitemAndAddsTheGlobalMethods)
{
    std::vector<const ClassInfo *> extensions = host.extensions();
    ASSERT_EQ(extensions.size(), 1u);
    EXPECT_EQ(extensions[0]->name, "Folderitem");
    EXPECT_EQ(static_cast<void *>(extensions[0]->definition),
              host.pluginSymbol(GIFQVR_PLUGIN_FILE, "folderitem2Class3"));
    ASSERT_EQ(extensions[0]->methods.size(), 2u);
    EXPECT_EQ(extensions[0]->methods[0].declaration, "OpenAsGIFQVR as GIFQVR");
    EXPECT_EQ(extensions[0]->methods[1].declaration, "SaveAsGIFQVR(data as GIFQVR) as boolean");

    std::vector<const standin::MethodInfo *> globals = host.globalMethods();
    ASSERT_EQ(globals.size(), 2u);
    EXPECT_EQ(globals[0]->declaration, "GifStringToPictureQVR(data as string) as Picture");
    EXPECT_EQ(globals[1]->declaration, "GifStringToGifQVR(data as string) as GIFQVR");
    for (const standin::MethodInfo *m : globals)
        EXPECT_TRUE(m->parsed.valid && knownType(m->parsed.returnType)) << m->declaration;
}

TEST_F(PluginSmokeTest, EveryClassMakesFreshInstancesThatDieCleanly)
{
    for (const ClassInfo *c : host.classes()) {
        SCOPED_TRACE(c->name);
        const size_t destroyed = host.destroyed(c->name);
        {
            Value object = host.newInstance(c->name);
            // Reading every property of a fresh object leaves nothing behind.
            for (const standin::PropertyInfo &p : c->properties)
                host.get(object, p.name);
        }
        EXPECT_EQ(host.destroyed(c->name), destroyed + 1);
        EXPECT_EQ(host.liveObjects(c->name), 0u);
    }
}

} // namespace
