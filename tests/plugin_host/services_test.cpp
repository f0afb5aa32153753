// The entry and the service wrappers, compiled into this program and run
// against the stand-in host. Every wrapper must keep a found service and
// ask again for a missing one; so each service here is first used in
// this process by the test that checks it.
#include "host/host.h"
#include "tests/plugin_host/entry_double.h"
#include "tests/plugin_host/standin_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using standin::Args;

namespace {

// Index of the n-th journal entry of a type and name, or -1.
long Find(JournalEntry::Type type, const std::string &name, int nth = 0)
{
    const std::vector<JournalEntry> &journal = host().journal();
    for (size_t i = 0; i < journal.size(); i++)
        if (journal[i].type == type && journal[i].name == name && nth-- == 0)
            return static_cast<long>(i);
    return -1;
}

int Count(JournalEntry::Type type, const std::string &name)
{
    int n = 0;
    for (const JournalEntry &e : host().journal())
        n += e.type == type && e.name == name;
    return n;
}

long FirstCallOfAnyService()
{
    const std::vector<JournalEntry> &journal = host().journal();
    for (size_t i = 0; i < journal.size(); i++)
        if (journal[i].type == JournalEntry::Call)
            return static_cast<long>(i);
    return -1;
}

// ---------------------------------------------------------------- entry

class Entry : public ::testing::Test {
protected:
    void SetUp() override
    {
        host().restoreAll();
        host().clearJournal();
        rbversion_rbversion = 0;
        before = host().snapshot();
    }
    void TearDown() override
    {
        host().restoreAll();
        EXPECT_EQ("", host().audit(before));
    }
    standin::Snapshot before;
};

TEST_F(Entry, AnnouncesVersionNineThenReadsHostVersionThenRegisters)
{
    host().setVersion(2019.031);
    int entries = entry_probe::calls;
    host().start(REALPluginMain);

    EXPECT_EQ(reinterpret_cast<void *>(Host::resolver()), reinterpret_cast<void *>(gResolver));
    EXPECT_EQ(2019.031, rbversion_rbversion);
    EXPECT_EQ(entries + 1, entry_probe::calls);

    ASSERT_EQ(1, Count(JournalEntry::Call, "RegisterPluginVersion"));
    long versionCall = Find(JournalEntry::Call, "RegisterPluginVersion");
    ASSERT_FALSE(host().journal()[versionCall].numbers.empty());
    EXPECT_EQ(9, host().journal()[versionCall].numbers[0]);
    EXPECT_EQ(versionCall, FirstCallOfAnyService()) << "version announced first";

    long askVersion = Find(JournalEntry::Lookup, "REALGetRBVersion");
    EXPECT_GT(askVersion, versionCall);
    EXPECT_EQ(1, Count(JournalEntry::Call, "REALGetRBVersion"));
    EXPECT_GT(static_cast<long>(entry_probe::journalAtCall), Find(JournalEntry::Call, "REALGetRBVersion"))
        << "classes are announced after the host version is read";
    // The entry's two services are asked for directly, never kept.
    EXPECT_EQ(1, Count(JournalEntry::Lookup, "RegisterPluginVersion"));
    EXPECT_EQ(1, Count(JournalEntry::Lookup, "REALGetRBVersion"));
}

TEST_F(Entry, WithoutHostVersionKeepsZeroAndStillRegisters)
{
    host().setVersion(5.5);
    host().withdraw("REALGetRBVersion");
    int entries = entry_probe::calls;
    host().start(REALPluginMain);
    EXPECT_EQ(0.0, rbversion_rbversion);
    EXPECT_EQ(entries + 1, entry_probe::calls);
    EXPECT_EQ(1, Count(JournalEntry::Call, "RegisterPluginVersion"));
    EXPECT_EQ(0, Count(JournalEntry::Call, "REALGetRBVersion"));
}

TEST_F(Entry, WithoutPluginVersionServiceSkipsTheCallAndGoesOn)
{
    host().setVersion(3.25);
    host().withdraw("RegisterPluginVersion");
    int entries = entry_probe::calls;
    host().start(REALPluginMain);
    EXPECT_EQ(1, Count(JournalEntry::Lookup, "RegisterPluginVersion"));
    EXPECT_EQ(0, Count(JournalEntry::Call, "RegisterPluginVersion"));
    EXPECT_EQ(3.25, rbversion_rbversion);
    EXPECT_EQ(entries + 1, entry_probe::calls);
}

// ------------------------------------------------------------- wrappers

// One wrapper, called with valid arguments: whether the host service acted,
// and what the wrapper returned (0 for one that returns nothing). Each
// leaves the reference counts as it found them.
struct Outcome {
    bool acted;
    intptr_t result;
};
struct WrapperCase {
    const char *service;
    std::function<Outcome()> call;
};

template <typename T> intptr_t Word(T value)
{
    return reinterpret_cast<intptr_t>(value);
}

REALclassDefinition probeClasses[8];
char probeNames[8][32];
int probeUsed = 0;

// A fresh class record per call: the host keeps every record it takes.
REALclassDefinition *NextProbeClass()
{
    int i = probeUsed++ % 8;
    snprintf(probeNames[i], sizeof probeNames[i], "Probe%dQVR", probeUsed);
    probeClasses[i] = REALclassDefinition();
    probeClasses[i].version = kCurrentREALControlVersion;
    probeClasses[i].name = probeNames[i];
    probeClasses[i].dataSize = 8;
    return &probeClasses[i];
}

int32_t ProbeGlobal(void) { return 1; }
REALmethodDefinition probeGlobal = {reinterpret_cast<void *>(&ProbeGlobal), nullptr, "ProbeGlobalQVR() as integer", 0};
REALclassDefinition probeExtension = {kCurrentREALControlVersion, "Folderitem", nullptr, 0, 0,
    nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, 0,
    nullptr, 0, 0, nullptr, 0, nullptr, 0};

// Registers a class through the host's own service, not the wrapper.
std::string RegisterProbeDirectly()
{
    REALclassDefinition *cls = NextProbeClass();
    reinterpret_cast<PluginRegisterClassProc>(host().service("PluginRegisterClass"))(cls);
    return cls->name;
}

Outcome Released(Kind kind, void *handle)
{
    if (handle)
        Value::adopt(kind, handle).release();
    return {handle != nullptr, Word(handle)};
}

// Whether a lock or unlock changed the handle's count by delta; the change
// is undone.
Outcome Counted(const Value &v, Kind kind, int delta, const std::function<void()> &call)
{
    if (delta < 0)
        host().lockHandle(v.handle(), kind);
    int32_t refs = host().references(v.handle());
    call();
    bool acted = host().references(v.handle()) == refs + delta;
    if (acted == (delta > 0))
        host().unlockHandle(v.handle(), kind);
    return {acted, 0};
}

std::vector<WrapperCase> Wrappers(const Value &object, const Value &string, const Value &item,
                                  const Value &block, const Value &picture, const Value &graphics)
{
    return {
        {"PluginRegisterClass", [] {
             size_t before = host().classes().size();
             int32_t result = REALRegisterClass(NextProbeClass());
             bool acted = host().classes().size() == before + 1;
             host().forgetRegistrations();
             return Outcome{acted, result};
         }},
        {"PluginRegisterClassExtension", [] {
             int32_t result = REALRegisterClassExtension(&probeExtension);
             bool acted = host().extensions().size() == 1;
             host().forgetRegistrations();
             return Outcome{acted, result};
         }},
        {"PluginRegisterMethod", [] {
             int32_t result = REALRegisterMethod(&probeGlobal);
             bool acted = host().globalMethods().size() == 1;
             host().forgetRegistrations();
             return Outcome{acted, result};
         }},
        {"PluginNewInstance", [] {
             std::string name = RegisterProbeDirectly();
             Outcome made = Released(Kind::Object, REALnewInstance(name.c_str()));
             host().forgetRegistrations();
             return made;
         }},
        {"REALLockObject", [&] {
             return Counted(object, Kind::MemoryBlock, 1, [&] { REALLockObject(object.object()); });
         }},
        {"REALUnlockObject", [&] {
             return Counted(object, Kind::MemoryBlock, -1, [&] { REALUnlockObject(object.object()); });
         }},
        {"REALLockString", [&] {
             return Counted(string, Kind::String, 1, [&] { REALLockString(string.string()); });
         }},
        {"REALUnlockString", [&] {
             return Counted(string, Kind::String, -1, [&] { REALUnlockString(string.string()); });
         }},
        {"REALBuildString", [] {
             return Released(Kind::String, originalREALBuildString("abc", 3));
         }},
        {"REALSetStringEncoding", [&] {
             uint32_t code = host().encoding(string) == standin::kEncodingLatin1
                                 ? standin::kEncodingASCII : standin::kEncodingLatin1;
             REALSetStringEncoding(string.string(), code);
             return Outcome{host().encoding(string) == code, 0};
         }},
        {"REALConvertString", [&] {
             return Released(Kind::String, REALConvertString(string.string(), standin::kEncodingASCII));
         }},
        {"REALGetFontEncoding", [] {
             uint32_t code = REALGetFontEncoding("System");
             return Outcome{code == host().systemEncoding(), static_cast<intptr_t>(code)};
         }},
        {"REALpathFromFolderItem", [&] {
             return Released(Kind::String, REALpathFromFolderItem(item.folderItem()));
         }},
        {"newMemoryBlock", [] {
             return Released(Kind::MemoryBlock, REALNewMemoryBlock(16));
         }},
        {"memoryBlockGetPtr", [&] {
             void *bytes = REALMemoryBlockGetPtr(block.memoryBlock());
             return Outcome{bytes != nullptr, Word(bytes)};
         }},
        {"memoryBlockGetSize", [&] {
             int32_t size = REALMemoryBlockGetSize(block.memoryBlock());
             return Outcome{size == 5, size};
         }},
        {"REALBuildPictureFromBuffer", [] {
             unsigned char rgb[6] = {1, 2, 3, 4, 5, 6};
             return Released(Kind::Picture, REALBuildPictureFromBuffer(2, 1, RBPixelType24, rgb, 6));
         }},
        {"REALGetPictureMask", [&] {
             return Released(Kind::Picture, REALGetPictureMask(picture.picture(), 1));
         }},
        {"pluginPictureGraphicsGetter", [&] {
             return Released(Kind::Graphics, REALGetPictureGraphics(picture.picture()));
         }},
        {"REALLoadObjectMethod", [&] {
             void *method = REALLoadObjectMethod(reinterpret_cast<REALobject>(graphics.handle()),
                                                 standin::kDrawPictureDeclaration);
             return Outcome{method != nullptr, Word(method)};
         }},
    };
}

TEST(Wrappers, KeepAFoundServiceAndAskAgainForAMissingOne)
{
    host().restoreAll();
    host().start(REALPluginMain);
    standin::Snapshot before = host().snapshot();
    {
        Value object = host().memoryBlock(4); // memory blocks are objects
        Value string = host().string("path", standin::kEncodingUTF8);
        Value item = host().folderItem("/tmp");
        Value block = host().memoryBlock(5);
        Value picture = host().picture(2, 2);
        Value graphics = host().graphics(picture);

        std::vector<WrapperCase> cases = Wrappers(object, string, item, block, picture, graphics);
        ASSERT_EQ(20u, cases.size());
        for (WrapperCase &c : cases) {
            SCOPED_TRACE(c.service);
            ASSERT_EQ(0, host().lookups(c.service)) << "service used before its test";
            int calls = host().calls(c.service);

            host().withdraw(c.service);
            for (int i = 1; i <= 3; i++) {
                Outcome missing = c.call();
                EXPECT_FALSE(missing.acted) << "a missing service acted";
                // 0, null or nothing: what every caller takes for failure.
                EXPECT_EQ(0, missing.result) << "the wrapper's answer without its service";
                EXPECT_EQ(i, host().lookups(c.service)) << "missing service not asked again";
            }
            EXPECT_EQ(calls, host().calls(c.service));

            host().restore(c.service);
            EXPECT_TRUE(c.call().acted);
            EXPECT_TRUE(c.call().acted);
            EXPECT_EQ(4, host().lookups(c.service)) << "found service asked again";
            EXPECT_EQ(calls + 2, host().calls(c.service));

            // Once found, the address is kept even if the resolver would
            // now answer null.
            host().withdraw(c.service);
            EXPECT_TRUE(c.call().acted);
            EXPECT_EQ(4, host().lookups(c.service));
            host().restore(c.service);
        }
    }
    EXPECT_EQ("", host().audit(before));
}

} // namespace
