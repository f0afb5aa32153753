#include "fixture.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

using DispatchTest = HostTest;

TEST_F(DispatchTest, ScalarPropertiesTravelAsTheirCTypes)
{
    Value c = host.newInstance("FakeCounter");
    host.set(c, "Value", Value::integer(-7));
    EXPECT_EQ(host.get(c, "Value").asInteger(), -7);
    EXPECT_EQ(static_cast<CounterData *>(host.instanceData(c))->value, -7);

    host.set(c, "Flag", Value::boolean(true));
    Value flag = host.get(c, "Flag");
    EXPECT_EQ(flag.kind(), Kind::Boolean);
    EXPECT_TRUE(flag.asBoolean());
    EXPECT_EQ(flag.raw(), 1);
    host.set(c, "Flag", Value::booleanByte(0x7E));
    EXPECT_EQ(host.get(c, "Flag").raw(), 0x7E);

    host.set(c, "Tint", Value::color(0xFF8001));
    EXPECT_EQ(host.get(c, "Tint").asColor(), 0xFF8001u);

    EXPECT_EQ(host.get(c, "Total").asInteger(), -7);
    // Property names are case-insensitive, as in the host language.
    EXPECT_EQ(host.get(c, "value").asInteger(), -7);
}

TEST_F(DispatchTest, EveryCallReadsTheTablesFromThePluginsRecord)
{
    Value c = host.newInstance("FakeCounter");
    host.set(c, "Value", Value::integer(5));
    PropertyRecord &total = FakeCounterClass.properties[8];
    MethodRecord &twice = FakeCounterClass.methods[2];
    ASSERT_STREQ(total.name, "Total");
    ASSERT_STREQ(twice.declaration, "Twice as integer");

    // The getter receives the parameter word the record holds now.
    total.param = 1000;
    EXPECT_EQ(host.get(c, "Total").asInteger(), 1005);
    total.name = "Sum";
    EXPECT_EQ(host.get(c, "Sum").asInteger(), 1005);
    EXPECT_THROW(host.get(c, "Total"), HostError);
    void *twiceFunction = twice.function;
    twice.function = FakeCounterClass.methods[0].function; // Add, with the object's value as its argument
    twice.declaration = "Twice(amount as integer) as integer";
    EXPECT_EQ(host.call(c, "Twice(amount as integer) as integer", {Value::integer(1)}).asInteger(), 6);

    total.param = 0;
    total.name = "Total";
    twice.function = twiceFunction;
    twice.declaration = "Twice as integer";
    EXPECT_EQ(host.call(c, "Twice as integer").asInteger(), 12);
}

TEST_F(DispatchTest, ReferencePropertiesKeepTheirBalance)
{
    Value c = host.newInstance("FakeCounter");
    Value label = host.string("name");
    Value pic = host.picture(3, 1);
    Value block = host.memoryBlock("\x01\x02");
    Value file = host.folderItem("/tmp/x");
    Value partner = host.newInstance("FakeCounter");

    standin::Snapshot mark = host.snapshot();
    host.set(c, "Label", label);
    host.set(c, "Picture", pic);
    host.set(c, "Block", block);
    host.set(c, "File", file);
    host.set(c, "Partner", partner);
    for (const Value *v : {&label, &pic, &block, &file, &partner})
        EXPECT_EQ(host.references(v->handle()), 2) << v->describe();

    {
        Value l = host.get(c, "Label");
        Value p = host.get(c, "Picture");
        Value b = host.get(c, "Block");
        Value f = host.get(c, "File");
        Value o = host.get(c, "Partner");
        EXPECT_EQ(l.handle(), label.handle());
        EXPECT_EQ(p.handle(), pic.handle());
        EXPECT_EQ(b.handle(), block.handle());
        EXPECT_EQ(f.handle(), file.handle());
        EXPECT_EQ(o.handle(), partner.handle());
        EXPECT_EQ(o.kind(), Kind::Object);
        EXPECT_EQ(p.kind(), Kind::Picture);
        EXPECT_EQ(host.text(l), "name");
        EXPECT_EQ(host.references(label.handle()), 3);
    }
    // Setting nil gives the old value back.
    host.set(c, "Label", Value::nil());
    host.set(c, "Partner", Value::adopt(Kind::Object, nullptr));
    EXPECT_TRUE(host.get(c, "Label").isNil());
    EXPECT_EQ(host.references(label.handle()), 1);
    EXPECT_EQ(host.references(partner.handle()), 1);

    // The owner's destructor gives back the rest.
    const std::string owner = host.describe(c.handle());
    c.release();
    EXPECT_EQ(host.changesSince(mark), owner + ": destroyed (had 1 references)\n");
}

TEST_F(DispatchTest, TheTestsMistakesThrow)
{
    Value c = host.newInstance("FakeCounter");
    Value g = host.newInstance("FakeGadget");
    EXPECT_THROW(host.set(c, "Total", Value::integer(1)), HostError);
    EXPECT_THROW(host.get(c, "Nothing"), HostError);
    EXPECT_THROW(host.set(c, "Value", host.string("1")), HostError);
    EXPECT_THROW(host.set(c, "Tint", Value::boolean(true)), HostError);
    EXPECT_THROW(host.set(c, "Partner", g), HostError);
    EXPECT_THROW(host.set(c, "Picture", host.memoryBlock(1)), HostError);
    EXPECT_THROW(host.get(Value::integer(3), "Value"), HostError);
    EXPECT_THROW(host.get(host.string("s"), "Value"), HostError);
    EXPECT_THROW(host.call(c, "Add(amount as integer) as integer", {}), HostError);
    EXPECT_THROW(host.callGlobal("Nowhere"), HostError);
    try {
        host.get(c, "Level");
        ADD_FAILURE() << "a property of another class was read";
    } catch (const HostError &e) {
        EXPECT_NE(std::string(e.what()).find("FakeGadget"), std::string::npos) << e.what();
    }
    EXPECT_EQ(host.get(c, "Value").asInteger(), 0);
}

TEST_F(DispatchTest, MethodsAreFoundByExactDeclarationOrByUnambiguousName)
{
    Value c = host.newInstance("FakeCounter");
    EXPECT_EQ(host.call(c, "Add(amount as integer) as integer", {Value::integer(5)}).asInteger(), 5);
    EXPECT_EQ(host.call(c, "Add", {Value::integer(-2)}).asInteger(), 3);
    EXPECT_EQ(host.call(c, "add", {Value::integer(1)}).asInteger(), 4);

    // Same name, told apart by the number of arguments.
    EXPECT_EQ(host.call(c, "Twice").asInteger(), 8);
    EXPECT_EQ(host.call(c, "Twice", {Value::integer(21)}).asInteger(), 42);
    // Same name and count: only the declaration will do.
    EXPECT_THROW(host.call(c, "Pick", {Value::integer(1)}), HostError);
    EXPECT_EQ(host.call(c, "Pick(n as integer) as integer", {Value::integer(9)}).asInteger(), 9);
    EXPECT_EQ(host.call(c, "Pick(s as string) as integer", {host.string("four")}).asInteger(), 4);
    // A declaration is matched to the letter.
    EXPECT_THROW(host.call(c, "Add(amount As Integer) as integer", {Value::integer(1)}), HostError);
    EXPECT_THROW(host.call(c, "Add(amount as integer)  as integer", {Value::integer(1)}), HostError);

    Value other = host.newInstance("FakeCounter");
    Value joined = host.call(c, "Join", {other});
    EXPECT_EQ(joined.handle(), other.handle());
    EXPECT_EQ(host.references(other.handle()), 2);
    Value none = host.call(c, "Join", {Value::nil()});
    EXPECT_TRUE(none.isNil());
    EXPECT_EQ(none.kind(), Kind::Object);
    Value s = host.string("same");
    EXPECT_EQ(host.call(c, "Echo", {s}).handle(), s.handle());
    EXPECT_THROW(host.call(c, "Join", {host.newInstance("FakeGadget")}), HostError);
}

TEST_F(DispatchTest, TheSetterFormPassesTheValueLast)
{
    Value c = host.newInstance("FakeCounter");
    const std::string item = "Item(index as integer) as color";
    host.assign(c, item, {Value::integer(2)}, Value::color(0x123456));
    host.assign(c, "Item", {Value::integer(1)}, Value::color(0xABCDEF));
    EXPECT_EQ(host.call(c, item, {Value::integer(2)}).asColor(), 0x123456u);
    EXPECT_EQ(host.call(c, item, {Value::integer(1)}).asColor(), 0xABCDEFu);
    EXPECT_EQ(host.call(c, item, {Value::integer(0)}).asColor(), 0u);
    EXPECT_THROW(host.assign(c, "Add", {}, Value::integer(1)), HostError);
    EXPECT_THROW(host.assign(c, item, {Value::integer(1)}, host.string("red")), HostError);
}

TEST_F(DispatchTest, FolderItemMethodsGetTheItemFirst)
{
    char path[] = "/tmp/standin_host_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    Value item = host.folderItem(path);
    EXPECT_EQ(host.path(item), path);
    EXPECT_TRUE(host.callFolderItem(item, "Write(text as string) as boolean", {host.string("12345")}).asBoolean());
    EXPECT_EQ(host.callFolderItem(item, "Size as integer").asInteger(), 5);
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "12345");
    std::remove(path);
    EXPECT_EQ(host.callFolderItem(item, "Size").asInteger(), -1);
    EXPECT_THROW(host.callFolderItem(host.newInstance("FakeCounter"), "Size"), HostError);
}

TEST_F(DispatchTest, GlobalMethodsTakeOnlyTheirArguments)
{
    EXPECT_EQ(host.callGlobal("Sum(a as integer, b as integer) as integer", {Value::integer(40), Value::integer(2)})
                  .asInteger(),
              42);
    Value loud = host.callGlobal("Shout", {host.string("quiet")});
    EXPECT_EQ(host.text(loud), "QUIET");
    EXPECT_EQ(host.encoding(loud), standin::kEncodingASCII);
    EXPECT_EQ(host.references(loud.handle()), 1);
    EXPECT_TRUE(host.callGlobal("Shout", {Value::nil()}).isNil());
}

TEST_F(DispatchTest, WhatThePluginGetsWrongIsRecorded)
{
    Value c = host.newInstance("FakeCounter");

    Value wrong = host.call(c, "WrongClass as FakeCounter");
    EXPECT_TRUE(tookError("where FakeCounter was declared"));
    // The reference still counts, so it can be given back.
    EXPECT_EQ(host.className(wrong), "FakeGadget");
    wrong.release();

    Value ghost = host.call(c, "Ghost as FakeCounter");
    EXPECT_TRUE(ghost.isNil());
    EXPECT_TRUE(tookError("already destroyed"));

    // A write into the guard bytes before the data: natively the guards are
    // poisoned and the sanitizer stops it; elsewhere the check after the
    // call reports it.
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_DEATH(host.call(c, "Scribble"), "use-after-poison");
#else
    host.call(c, "Scribble");
    EXPECT_TRUE(tookError("wrote into the host's part"));
    host.verify();
    EXPECT_TRUE(host.errors().empty());
#endif
}

TEST_F(DispatchTest, DataReachedThroughAnotherClassesOffsetIsNotTheData)
{
    Value c = host.newInstance("FakeCounter");
    host.set(c, "Value", Value::integer(77));
    ASSERT_NE(FakeGadgetClass.forSystemUse, FakeCounterClass.forSystemUse);
    // The other class's offset lands in guard bytes, never in data.
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_DEATH(host.call(c, "Misread"), "use-after-poison");
#else
    EXPECT_EQ(host.call(c, "Misread").asInteger(), static_cast<int32_t>(0xA5A5A5A5));
#endif
}

} // namespace
