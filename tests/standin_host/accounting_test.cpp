#include "fixture.h"

#include <cstddef>
#include <cstring>

namespace {

using InstanceTest = HostTest;

TEST_F(InstanceTest, NewInstancesAreZeroFilledAndDieWithTheirLastReference)
{
    const int64_t referencesBefore = host.liveReferences();
    const int runs = gCounterDestructorRuns;
    Value a = host.newInstance("FakeCounter");
    const auto *data = static_cast<const unsigned char *>(host.instanceData(a));
    EXPECT_EQ(data, reinterpret_cast<unsigned char *>(a.object()) + FakeCounterClass.forSystemUse);
    for (size_t i = 0; i < sizeof(CounterData); i++)
        ASSERT_EQ(data[i], 0) << "byte " << i;
    EXPECT_EQ(host.references(a.handle()), 1);
    EXPECT_EQ(host.liveReferences(), referencesBefore + 1);
    EXPECT_EQ(host.liveObjects("FakeCounter"), 1u);

    void *handle = a.handle();
    Value b = a;
    EXPECT_EQ(host.references(handle), 2);
    a.release();
    EXPECT_TRUE(host.alive(handle));
    EXPECT_EQ(gCounterDestructorRuns, runs);
    const size_t destroyed = host.destroyed("FakeCounter");
    b.release();
    EXPECT_FALSE(host.alive(handle));
    EXPECT_EQ(gCounterDestructorRuns, runs + 1);
    EXPECT_EQ(host.destroyed("FakeCounter"), destroyed + 1);
    EXPECT_EQ(host.liveReferences(), referencesBefore);
}

TEST_F(InstanceTest, PluginNewInstanceTakesTheExactRegisteredName)
{
    auto newInstance = service<PluginNewInstanceProc>("PluginNewInstance");
    REALobject o = newInstance("FakeGadget");
    ASSERT_NE(o, nullptr);
    Value owned = Value::adopt(Kind::Object, o);
    EXPECT_EQ(host.className(owned), "FakeGadget");
    EXPECT_EQ(host.references(o), 1);

    EXPECT_EQ(newInstance("fakegadget"), nullptr);
    EXPECT_TRUE(tookError("fakegadget"));
    EXPECT_EQ(newInstance("Folderitem"), nullptr);
    EXPECT_TRUE(tookError("no class registered"));
    EXPECT_EQ(newInstance(nullptr), nullptr);
    EXPECT_TRUE(tookError("nil class name"));
}

TEST_F(InstanceTest, DestroyingAnObjectReleasesWhatItHolds)
{
    Value partner = host.newInstance("FakeCounter");
    Value pic = host.picture(2, 2);
    void *partnerHandle = partner.handle(), *picHandle = pic.handle();
    {
        Value owner = host.newInstance("FakeCounter");
        host.set(owner, "Partner", partner);
        host.set(owner, "Picture", pic);
        host.set(owner, "Label", host.string("kept"));
        partner.release();
        pic.release();
        EXPECT_EQ(host.references(partnerHandle), 1);
        EXPECT_EQ(host.references(picHandle), 1);
    }
    EXPECT_FALSE(host.alive(partnerHandle));
    EXPECT_FALSE(host.alive(picHandle));
}

using AccountingTest = HostTest;

TEST_F(AccountingTest, UnlockingDeadUnknownOrMismatchedHandlesIsReportedNotFatal)
{
    auto lockObject = service<REALLockObjectProc>("REALLockObject");
    auto unlockObject = service<REALLockObjectProc>("REALUnlockObject");
    auto unlockString = service<REALLockStringProc>("REALUnlockString");
    auto lockString = service<REALLockStringProc>("REALLockString");

    Value counter = host.newInstance("FakeGadget");
    REALobject o = counter.object();
    counter.release();
    unlockObject(o);
    EXPECT_TRUE(tookError("already destroyed"));
    lockObject(o);
    EXPECT_TRUE(tookError("already destroyed"));

    int local = 0;
    unlockObject(reinterpret_cast<REALobject>(&local));
    EXPECT_TRUE(tookError("unknown handle"));
    unlockString(reinterpret_cast<REALstring>(&local));
    EXPECT_TRUE(tookError("unknown handle"));

    Value s = host.string("text");
    unlockObject(reinterpret_cast<REALobject>(s.string()));
    EXPECT_TRUE(tookError("is not an object"));
    Value block = host.memoryBlock(4);
    lockString(reinterpret_cast<REALstring>(block.handle()));
    EXPECT_TRUE(tookError("is not a string"));
    EXPECT_EQ(host.references(s.handle()), 1);
    EXPECT_EQ(host.references(block.handle()), 1);

    // Nil is quietly ignored, as hosts do.
    unlockObject(nullptr);
    lockString(nullptr);
    EXPECT_TRUE(host.errors().empty());
}

TEST_F(AccountingTest, SnapshotsShowLeaksAndObjectsDestroyedWhileInUse)
{
    Value kept = host.newInstance("FakeCounter");
    Value partner = host.newInstance("FakeCounter");
    host.set(kept, "Partner", partner);
    partner.release();
    standin::Snapshot mark = host.snapshot();
    EXPECT_EQ(host.changesSince(mark), "");

    // A getter that hands out its stored object without a reference of the
    // caller's: releasing the result destroys what the owner still holds.
    Value leaked = host.call(kept, "LeakyPartner as FakeCounter");
    void *partnerHandle = leaked.handle();
    leaked.release();
    EXPECT_FALSE(host.alive(partnerHandle));
    std::string changes = host.changesSince(mark);
    EXPECT_NE(changes.find("destroyed"), std::string::npos) << changes;

    Value late = host.get(kept, "Partner");
    EXPECT_TRUE(late.isNil());
    EXPECT_TRUE(tookError("already destroyed"));

    // The owner's destructor now unlocks a dead handle: reported, no crash.
    kept.release();
    EXPECT_TRUE(tookError("REALUnlockObject"));

    standin::Snapshot mark2 = host.snapshot();
    void *stray = host.string("stray").detach();
    changes = host.changesSince(mark2);
    EXPECT_NE(changes.find("new, 1 references"), std::string::npos) << changes;
    EXPECT_NE(changes.find("\"stray\""), std::string::npos) << changes;
    Value::adopt(Kind::String, stray).release();
    EXPECT_EQ(host.changesSince(mark2), "");
}

TEST_F(AccountingTest, AuditCollectsChangesAndErrors)
{
    standin::Snapshot mark = host.snapshot();
    Value s = host.string("x");
    service<REALLockObjectProc>("REALUnlockObject")(reinterpret_cast<REALobject>(s.string()));
    std::string report = host.audit(mark);
    EXPECT_NE(report.find("new, 1 references"), std::string::npos) << report;
    EXPECT_NE(report.find("error: REALUnlockObject"), std::string::npos) << report;
    EXPECT_TRUE(host.errors().empty());
}

TEST_F(AccountingTest, ReleasingAValueOfAnOverReleasedHandleIsReported)
{
    Value counter = host.newInstance("FakeCounter");
    Value s = host.string("borrowed");
    host.call(counter, "DoubleUnlock(s as string)", {s});
    EXPECT_FALSE(host.alive(s.handle()));
    s.release();
    EXPECT_TRUE(tookError("already destroyed"));
}

using StringTest = HostTest;

TEST_F(StringTest, LaidOutAsTheRecordDescribes)
{
    if (sizeof(void *) == 4) {
        // On the real target every field is one 32-bit word.
        EXPECT_EQ(sizeof(StringRecord), 16u);
        EXPECT_EQ(offsetof(StringRecord, buffer), 4u);
        EXPECT_EQ(offsetof(StringRecord, allocated), 8u);
        EXPECT_EQ(offsetof(StringRecord, length), 12u);
    }
    Value v = host.string("GIF89a", standin::kEncodingASCII);
    const StringRecord *s = stringRecord(v.string());
    EXPECT_EQ(s->length, 6u);
    EXPECT_EQ(s->allocated, 8u);
    EXPECT_EQ(s->useCount, 1u);
    EXPECT_NE(s->buffer[0], 'G');
    EXPECT_EQ(std::string(s->buffer + 1), "GIF89a");
    EXPECT_EQ(s->buffer[7], '\0');

    // Embedded zero bytes are text too; the length says how much.
    Value raw = host.string(std::string("a\0b", 3), standin::kEncodingRaw);
    EXPECT_EQ(stringRecord(raw.string())->length, 3u);
    EXPECT_EQ(std::memcmp(stringRecord(raw.string())->buffer + 1, "a\0b\0", 4), 0);

    Value copy = v;
    EXPECT_EQ(s->useCount, 2u);
}

TEST_F(StringTest, ChangesByThePluginAreReportedAndUndone)
{
    Value counter = host.newInstance("FakeCounter");
    Value s = host.string("abc");
    host.call(counter, "Tamper(s as string)", {s});
    EXPECT_TRUE(tookError("changed by the plug-in: text"));
    EXPECT_EQ(host.text(s), "abc");
    StringRecord *record = stringRecord(s.string());
    EXPECT_EQ(std::string(record->buffer + 1), "abc");

    record->length = 2;
    record->allocated = 99;
    record->buffer[0] = 'x';
    host.verify();
    std::vector<std::string> errors = host.takeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("length; allocated length; first byte;"), std::string::npos) << errors[0];
    EXPECT_EQ(record->length, 3u);
    EXPECT_EQ(record->allocated, 5u);
}

TEST_F(StringTest, BuildStringCopiesItsBytesAndLeavesTheEncodingToTheCaller)
{
    auto build = service<REALBuildStringProc>("REALBuildString");
    auto setEncoding = service<REALSetStringEncodingProc>("REALSetStringEncoding");
    char bytes[] = "hello";
    Value s = Value::adopt(Kind::String, build(bytes, 5));
    bytes[0] = 'J';
    EXPECT_EQ(host.text(s), "hello");
    EXPECT_EQ(host.encoding(s), standin::kEncodingUntagged);
    setEncoding(s.string(), 0xFFFF);
    EXPECT_EQ(host.encoding(s), 0xFFFFu);
    EXPECT_EQ(host.text(s), "hello");

    Value empty = Value::adopt(Kind::String, build(nullptr, 0));
    ASSERT_FALSE(empty.isNil());
    EXPECT_EQ(stringRecord(empty.string())->length, 0u);
    EXPECT_EQ(stringRecord(empty.string())->buffer[1], '\0');

    EXPECT_EQ(build("x", -1), nullptr);
    EXPECT_TRUE(tookError("REALBuildString"));
    EXPECT_EQ(build(nullptr, 3), nullptr);
    EXPECT_TRUE(tookError("REALBuildString"));
    setEncoding(nullptr, 0x0600);
    EXPECT_TRUE(tookError("REALSetStringEncoding: nil"));
}

TEST_F(StringTest, ConvertStringReencodesIntoANewString)
{
    auto convert = service<REALConvertStringProc>("REALConvertString");
    Value utf8 = host.string("Gr\xC3\xBC\xC3\x9F" "e", standin::kEncodingUTF8);
    Value latin = Value::adopt(Kind::String, convert(utf8.string(), standin::kEncodingLatin1));
    ASSERT_FALSE(latin.isNil());
    EXPECT_NE(latin.handle(), utf8.handle());
    EXPECT_EQ(host.text(latin), "Gr\xFC\xDF" "e");
    EXPECT_EQ(host.encoding(latin), standin::kEncodingLatin1);
    EXPECT_EQ(host.text(utf8), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(host.references(utf8.handle()), 1);

    Value back = Value::adopt(Kind::String, convert(latin.string(), standin::kEncodingUTF8));
    EXPECT_EQ(host.text(back), host.text(utf8));
    Value ascii = Value::adopt(Kind::String, convert(utf8.string(), standin::kEncodingASCII));
    EXPECT_EQ(host.text(ascii), "Gr??e");
    Value raw = Value::adopt(Kind::String, convert(utf8.string(), standin::kEncodingRaw));
    EXPECT_EQ(host.text(raw), host.text(utf8));

    EXPECT_EQ(convert(utf8.string(), 0x1234), nullptr);
    Value broken = host.string("\xC3", standin::kEncodingUTF8);
    EXPECT_EQ(convert(broken.string(), standin::kEncodingLatin1), nullptr);
    EXPECT_EQ(convert(nullptr, standin::kEncodingUTF8), nullptr);
    EXPECT_TRUE(tookError("REALConvertString: nil"));
}

TEST_F(StringTest, TheSystemFontHasAnEncodingConvertStringAccepts)
{
    auto fontEncoding = service<REALGetFontEncodingProc>("REALGetFontEncoding");
    auto convert = service<REALConvertStringProc>("REALConvertString");
    const uint32_t system = fontEncoding("System");
    EXPECT_EQ(system, standin::kEncodingUTF8);
    // No other font has one: a plug-in that asks for another gets 0.
    EXPECT_EQ(fontEncoding("Arial"), 0u);
    EXPECT_EQ(fontEncoding("system"), 0u);
    EXPECT_EQ(fontEncoding(""), 0u);
    Value path = host.string("/tmp/\xC3\xA9t\xC3\xA9.gif", standin::kEncodingUTF8);
    Value converted = Value::adopt(Kind::String, convert(path.string(), system));
    ASSERT_FALSE(converted.isNil());
    EXPECT_EQ(host.text(converted), host.text(path));

    host.setSystemEncoding(standin::kEncodingLatin1);
    EXPECT_EQ(fontEncoding("System"), standin::kEncodingLatin1);
    Value latin = Value::adopt(Kind::String, convert(path.string(), fontEncoding("System")));
    EXPECT_EQ(host.text(latin), "/tmp/\xE9t\xE9.gif");
    host.setSystemEncoding(standin::kEncodingUTF8);
}

} // namespace
