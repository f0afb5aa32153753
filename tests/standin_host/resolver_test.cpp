#include "fixture.h"

namespace {

const char *const kServices[] = {
    "PluginRegisterClass", "PluginRegisterClassExtension", "PluginRegisterMethod", "PluginNewInstance",
    "REALLockObject", "REALUnlockObject", "REALLockString", "REALUnlockString", "REALBuildString",
    "REALSetStringEncoding", "REALConvertString", "REALGetFontEncoding", "REALpathFromFolderItem",
    "newMemoryBlock", "memoryBlockGetPtr", "memoryBlockGetSize", "REALBuildPictureFromBuffer",
    "REALGetPictureMask", "pluginPictureGraphicsGetter", "REALLoadObjectMethod", "RegisterPluginVersion",
    "REALGetRBVersion",
};

using ResolverTest = HostTest;

TEST_F(ResolverTest, AnswersEveryServiceByItsExactName)
{
    REALResolver resolve = Host::resolver();
    for (const char *name : kServices) {
        SCOPED_TRACE(name);
        void *answer = resolve(name);
        EXPECT_NE(answer, nullptr);
        EXPECT_EQ(answer, host.service(name));
    }
    // The services are distinct functions, not one catch-all.
    std::vector<void *> answers;
    for (const char *name : kServices)
        answers.push_back(resolve(name));
    std::sort(answers.begin(), answers.end());
    EXPECT_EQ(std::unique(answers.begin(), answers.end()), answers.end());

    EXPECT_EQ(resolve("REALlockobject"), nullptr);
    EXPECT_EQ(resolve("NoSuchService"), nullptr);
    EXPECT_EQ(resolve(""), nullptr);
    EXPECT_EQ(host.serviceNames().size(), std::size(kServices));
}

TEST_F(ResolverTest, CountsAndJournalsEveryLookup)
{
    host.clearJournal();
    REALResolver resolve = Host::resolver();
    resolve("REALLockObject");
    resolve("REALLockObject");
    resolve("NoSuchService");
    resolve("newMemoryBlock");
    EXPECT_EQ(host.lookups("REALLockObject"), 2);
    EXPECT_EQ(host.lookups("NoSuchService"), 1);
    EXPECT_EQ(host.lookups("newMemoryBlock"), 1);
    EXPECT_EQ(host.lookups("REALUnlockObject"), 0);

    std::vector<std::string> order;
    for (const auto &e : host.journal())
        if (e.type == standin::JournalEntry::Lookup)
            order.push_back(e.name);
    EXPECT_EQ(order, (std::vector<std::string>{"REALLockObject", "REALLockObject", "NoSuchService",
                                               "newMemoryBlock"}));
    EXPECT_EQ(resolve(nullptr), nullptr);
    EXPECT_TRUE(tookError("nil service name"));
}

TEST_F(ResolverTest, WithdrawnServicesAnswerNullAndAreStillCounted)
{
    REALResolver resolve = Host::resolver();
    host.clearJournal();
    host.withdraw("REALBuildString");
    EXPECT_EQ(resolve("REALBuildString"), nullptr);
    EXPECT_EQ(resolve("REALBuildString"), nullptr);
    EXPECT_EQ(host.lookups("REALBuildString"), 2);
    EXPECT_NE(resolve("REALLockString"), nullptr);
    host.restore("REALBuildString");
    EXPECT_EQ(resolve("REALBuildString"), host.service("REALBuildString"));

    for (const char *name : kServices)
        host.withdraw(name);
    for (const char *name : kServices)
        EXPECT_EQ(resolve(name), nullptr) << name;
    host.restoreAll();
    for (const char *name : kServices)
        EXPECT_NE(resolve(name), nullptr) << name;
}

int32_t noBlock(int32_t) { return 0; }

TEST_F(ResolverTest, AReplacedServiceAnswersWithTheTestsFunction)
{
    REALResolver resolve = Host::resolver();
    host.replace("newMemoryBlock", reinterpret_cast<void *>(&noBlock));
    EXPECT_EQ(resolve("newMemoryBlock"), reinterpret_cast<void *>(&noBlock));
    // Replacing also answers a name the host would not know.
    host.replace("SomethingElse", reinterpret_cast<void *>(&noBlock));
    EXPECT_EQ(resolve("SomethingElse"), reinterpret_cast<void *>(&noBlock));
    host.restoreAll();
    EXPECT_EQ(resolve("newMemoryBlock"), host.service("newMemoryBlock"));
    EXPECT_EQ(resolve("SomethingElse"), nullptr);
}

TEST_F(ResolverTest, ServiceCallsAreCountedAndJournalledWithTheirArguments)
{
    host.clearJournal();
    auto build = service<REALBuildStringProc>("REALBuildString");
    auto setEncoding = service<REALSetStringEncodingProc>("REALSetStringEncoding");
    REALstring s = build("abc", 3);
    setEncoding(s, 0x0600);
    Value owned = Value::adopt(Kind::String, s);
    EXPECT_EQ(host.calls("REALBuildString"), 1);
    EXPECT_EQ(host.calls("REALSetStringEncoding"), 1);
    ASSERT_GE(host.journal().size(), 2u);
    const auto &first = host.journal()[0];
    EXPECT_EQ(first.type, standin::JournalEntry::Call);
    EXPECT_EQ(first.name, "REALBuildString");
    EXPECT_EQ(first.numbers, (std::vector<int64_t>{3}));
    EXPECT_EQ(host.journal()[1].numbers, (std::vector<int64_t>{0x0600}));
}

} // namespace
