// Lists of locked host objects, the string and memory block builders, and
// folder items opened as files: the host bridge compiled into this program
// and run against the stand-in host.
#include "host/host.h"
#include "tests/plugin_host/standin_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <stdio_ext.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Services that a test can make fail; otherwise they pass on to the host's
// own. Installed before the plug-in first asks for them.
bool failGetPtr = false;
bool failConvert = false;

void *SwitchableGetPtr(REALmemoryBlock block)
{
    if (failGetPtr)
        return nullptr;
    return reinterpret_cast<memoryBlockGetPtrProc>(host().service("memoryBlockGetPtr"))(block);
}

REALstring SwitchableConvert(REALstring str, uint32_t encoding)
{
    if (failConvert)
        return nullptr;
    return reinterpret_cast<REALConvertStringProc>(host().service("REALConvertString"))(str, encoding);
}

class Started : public ::testing::Environment {
public:
    void SetUp() override
    {
        host().replace("memoryBlockGetPtr", reinterpret_cast<void *>(&SwitchableGetPtr));
        host().replace("REALConvertString", reinterpret_cast<void *>(&SwitchableConvert));
        host().start(REALPluginMain);
    }
};
::testing::Environment *const started = ::testing::AddGlobalTestEnvironment(new Started);

// Every test ends with the host's reference counts as they were.
class Balanced : public ::testing::Test {
protected:
    void SetUp() override
    {
        failGetPtr = failConvert = false;
        host().clearJournal();
        before = host().snapshot();
    }
    void TearDown() override
    {
        failGetPtr = failConvert = false;
        EXPECT_EQ("", host().audit(before));
    }
    int Calls(const std::string &name) const
    {
        int n = 0;
        for (const JournalEntry &e : host().journal())
            n += e.type == JournalEntry::Call && e.name == name;
        return n;
    }
    standin::Snapshot before;
};

// ------------------------------------------------------------------ lists

using MyList = Balanced;

TEST_F(MyList, AppendingNilLeavesTheListAsItWas)
{
    MyListData *list = nullptr;
    EXPECT_EQ(0, MyListAppend(&list, nullptr));
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(0, MyListCount(list));

    Value a = host().memoryBlock(1);
    ASSERT_EQ(1, MyListAppend(&list, a.object()));
    EXPECT_EQ(0, MyListAppend(&list, nullptr));
    EXPECT_EQ(1, MyListCount(list));
    MyListFree(&list);
}

TEST_F(MyList, KeepsAppendOrderAndOneReferencePerNode)
{
    Value a = host().memoryBlock(1), b = host().memoryBlock(2), c = host().memoryBlock(3);
    int32_t refsA = host().references(a.handle());
    MyListData *list = nullptr;
    EXPECT_EQ(1, MyListAppend(&list, a.object()));
    EXPECT_EQ(1, MyListAppend(&list, b.object()));
    EXPECT_EQ(1, MyListAppend(&list, a.object())); // the same object twice
    EXPECT_EQ(1, MyListAppend(&list, c.object()));
    EXPECT_EQ(4, MyListCount(list));
    EXPECT_EQ(refsA + 2, host().references(a.handle()));

    const Value *expected[] = {&a, &b, &a, &c};
    for (int32_t i = 0; i < 4; i++) {
        REALobject got = MyListGet(list, i);
        EXPECT_EQ(expected[i]->handle(), got) << "position " << i;
        Value::adopt(Kind::MemoryBlock, got).release();
    }

    MyListFree(&list);
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(refsA, host().references(a.handle()));
}

TEST_F(MyList, TwoGetsOfOnePositionAreTwoReferencesForTheCaller)
{
    Value a = host().memoryBlock(1);
    MyListData *list = nullptr;
    ASSERT_EQ(1, MyListAppend(&list, a.object()));
    int32_t held = host().references(a.handle());
    REALobject first = MyListGet(list, 0);
    REALobject second = MyListGet(list, 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(held + 2, host().references(a.handle()));
    Value::adopt(Kind::MemoryBlock, first).release();
    Value::adopt(Kind::MemoryBlock, second).release();
    EXPECT_EQ(held, host().references(a.handle()));
    MyListFree(&list);
}

TEST_F(MyList, GetsOutsideTheListTakeNothing)
{
    Value a = host().memoryBlock(1), b = host().memoryBlock(2);
    MyListData *list = nullptr;
    ASSERT_EQ(1, MyListAppend(&list, a.object()));
    ASSERT_EQ(1, MyListAppend(&list, b.object()));
    int locks = Calls("REALLockObject");
    for (int32_t index : {-1, 2, 3, INT_MIN, INT_MAX})
        EXPECT_EQ(nullptr, MyListGet(list, index)) << index;
    EXPECT_EQ(nullptr, MyListGet(nullptr, 0));
    EXPECT_EQ(locks, Calls("REALLockObject"));
    MyListFree(&list);
}

TEST_F(MyList, HoldsItsElementsAliveUntilFreed)
{
    MyListData *list = nullptr;
    void *handle;
    {
        Value a = host().memoryBlock(8);
        handle = a.handle();
        ASSERT_EQ(1, MyListAppend(&list, a.object()));
    } // the test's own reference is gone
    EXPECT_TRUE(host().alive(handle));
    MyListFree(&list);
    EXPECT_FALSE(host().alive(handle));
}

TEST_F(MyList, FreeingAnEmptyListUnlocksNothing)
{
    MyListData *list = nullptr;
    MyListFree(&list);
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(0, Calls("REALUnlockObject"));
}

// --------------------------------------------------------------- builders

using Builders = Balanced;

TEST_F(Builders, MemoryBlockCopiesTheBytesAndHandsOverOneReference)
{
    const char bytes[] = {'G', '\0', 'I', '\xff', 'F'};
    REALmemoryBlock made = REALBuildMemoryblock(bytes, 5);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(1, host().references(made));
    Value block = Value::adopt(Kind::MemoryBlock, made);
    EXPECT_EQ(std::string(bytes, 5), host().bytes(block));
}

TEST_F(Builders, MemoryBlockRefusesEmptyInputWithoutAskingTheHost)
{
    const char bytes[] = "x";
    EXPECT_EQ(nullptr, REALBuildMemoryblock(bytes, 0));
    EXPECT_EQ(nullptr, REALBuildMemoryblock(bytes, -1));
    EXPECT_EQ(nullptr, REALBuildMemoryblock(bytes, INT_MIN));
    EXPECT_EQ(nullptr, REALBuildMemoryblock(nullptr, 4));
    EXPECT_EQ(0, Calls("newMemoryBlock"));
}

TEST_F(Builders, MemoryBlockWithoutBytePointerIsGivenBack)
{
    failGetPtr = true;
    const char bytes[] = "abcd";
    EXPECT_EQ(nullptr, REALBuildMemoryblock(bytes, 4));
    EXPECT_EQ(1, Calls("newMemoryBlock"));
    // TearDown's balance check shows that the block was given back.
}

TEST_F(Builders, StringCopiesTheBytesAndTagsTheEncoding)
{
    const char bytes[] = {'a', '\0', 'b'};
    REALstring made = REALBuildUnicodeString(bytes, 3, kREALTextEncodingRaw);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(1, host().references(made));
    Value raw = Value::adopt(Kind::String, made);
    EXPECT_EQ(std::string(bytes, 3), host().text(raw));
    EXPECT_EQ(uint32_t(kREALTextEncodingRaw), host().encoding(raw));

    Value header = Value::adopt(Kind::String, REALBuildUnicodeString("GIF89a", 6, kREALTextEncodingASCII));
    ASSERT_FALSE(header.isNil());
    EXPECT_EQ("GIF89a", host().text(header));
    EXPECT_EQ(uint32_t(kREALTextEncodingASCII), host().encoding(header));
}

TEST_F(Builders, StringRefusesEmptyInputWithoutAskingTheHost)
{
    EXPECT_EQ(nullptr, REALBuildUnicodeString("abc", 0, kREALTextEncodingRaw));
    EXPECT_EQ(nullptr, REALBuildUnicodeString(nullptr, 3, kREALTextEncodingRaw));
    EXPECT_EQ(0, Calls("REALBuildString"));
    EXPECT_EQ(0, Calls("REALSetStringEncoding"));
}

// ------------------------------------------------------------------ files

class Files : public Balanced {
protected:
    void SetUp() override
    {
        Balanced::SetUp();
        char pattern[] = "/tmp/plugin_host_files_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(0, system(command.c_str()));
        Balanced::TearDown();
    }
    std::string Write(const std::string &name, const std::string &content)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Read(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static bool Exists(const std::string &path)
    {
        struct stat st;
        return stat(path.c_str(), &st) == 0;
    }
    std::string dir;
};

TEST_F(Files, NilItemGivesNullWithoutAskingTheHost)
{
    EXPECT_EQ(nullptr, OpenCFILEread(nullptr, 0));
    EXPECT_EQ(nullptr, OpenCFILEwrite(nullptr, 0));
    EXPECT_EQ(nullptr, OpenCFILEmode(nullptr, "rb", 0));
    EXPECT_EQ(nullptr, GetFolderItemPathWithSystemEncoding(nullptr));
    EXPECT_TRUE(host().journal().empty());
}

TEST_F(Files, PathIsConvertedToTheSystemFontEncoding)
{
    Value item = host().folderItem(Write("a.gif", "x"));
    uint32_t saved = host().systemEncoding();
    host().setSystemEncoding(standin::kEncodingLatin1);
    REALstring made = GetFolderItemPathWithSystemEncoding(item.folderItem());
    host().setSystemEncoding(saved);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(1, host().references(made));
    Value path = Value::adopt(Kind::String, made);
    EXPECT_EQ(dir + "/a.gif", host().text(path));
    EXPECT_EQ(uint32_t(standin::kEncodingLatin1), host().encoding(path));

    bool askedSystem = false;
    for (const JournalEntry &e : host().journal())
        askedSystem |= e.type == JournalEntry::Call && e.name == "REALGetFontEncoding" && e.text == "System";
    EXPECT_TRUE(askedSystem);
}

TEST_F(Files, ReadOpensTheNamedFile)
{
    Value item = host().folderItem(Write("in.gif", "GIF89a"));
    FILE *file = OpenCFILEread(item.folderItem(), 0);
    ASSERT_NE(nullptr, file);
    char buffer[16] = {};
    EXPECT_EQ(6u, fread(buffer, 1, sizeof buffer, file));
    EXPECT_STREQ("GIF89a", buffer);
    fclose(file);
}

TEST_F(Files, ReadOfAMissingFileGivesNull)
{
    Value item = host().folderItem(dir + "/missing.gif");
    EXPECT_EQ(nullptr, OpenCFILEread(item.folderItem(), 0));
    EXPECT_FALSE(Exists(dir + "/missing.gif"));
}

TEST_F(Files, WriteTruncatesAnExistingFileAndStartsAtItsBeginning)
{
    std::string path = Write("out.gif", "old contents");
    Value item = host().folderItem(path);
    FILE *file = OpenCFILEwrite(item.folderItem(), 0);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(0L, ftell(file));
    fputs("new", file);
    fclose(file);
    EXPECT_EQ("new", Read(path));
}

TEST_F(Files, WriteWhereNoFileCanBeMadeGivesNull)
{
    Value item = host().folderItem(dir + "/no/such/dir/out.gif");
    EXPECT_EQ(nullptr, OpenCFILEwrite(item.folderItem(), 0));
}

TEST_F(Files, ModeReachesTheStream)
{
    std::string path = Write("append.gif", "ab");
    Value item = host().folderItem(path);
    FILE *file = OpenCFILEmode(item.folderItem(), "ab", 0);
    ASSERT_NE(nullptr, file);
    fputs("cd", file);
    fclose(file);
    EXPECT_EQ("abcd", Read(path));
}

// The C library sets up a stream's buffer on its first transfer unless the
// opener asked for full buffering, which sets it up at once.
TEST_F(Files, OnlyAPositiveBufferSizeAsksForFullBuffering)
{
    Value item = host().folderItem(Write("in.gif", "GIF89a"));
    for (int32_t size : {0, -5}) {
        FILE *file = OpenCFILEread(item.folderItem(), size);
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(0u, __fbufsize(file)) << size;
        fclose(file);
    }
    FILE *file = OpenCFILEread(item.folderItem(), 8192);
    ASSERT_NE(nullptr, file);
    EXPECT_GT(__fbufsize(file), 0u);
    EXPECT_EQ(0, __flbf(file));
    EXPECT_EQ('G', fgetc(file));
    fclose(file);
}

TEST_F(Files, UnconvertiblePathOpensNothing)
{
    failConvert = true;
    std::string existing = Write("in.gif", "GIF");
    Value in = host().folderItem(existing);
    Value out = host().folderItem(dir + "/created.gif");
    EXPECT_EQ(nullptr, GetFolderItemPathWithSystemEncoding(in.folderItem()));
    EXPECT_EQ(nullptr, OpenCFILEread(in.folderItem(), 0));
    EXPECT_EQ(nullptr, OpenCFILEwrite(out.folderItem(), 0));
    EXPECT_FALSE(Exists(dir + "/created.gif")) << "fopen was called";
}

} // namespace
