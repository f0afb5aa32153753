// Plug-ins that are wrong about the host, each fault one a real host would
// suffer from: the stand-in must report it, or make it show.
#include "fixture.h"

#include <map>

namespace {

class WrongPluginTest : public HostTest {
protected:
    // Loads a fixture library once; what the host reported while it loaded.
    std::string load(const std::string &path)
    {
        static std::map<std::string, std::string> reported;
        if (!reported.count(path)) {
            host.loadPlugin(path);
            for (const std::string &e : host.takeErrors())
                reported[path] += e + "\n";
        }
        return reported[path];
    }
    static bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
    // True when one line of text holds both parts.
    static bool line(const std::string &text, const std::string &a, const std::string &b)
    {
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find('\n', at);
            const std::string one = text.substr(at, end - at);
            if (has(one, a) && has(one, b))
                return true;
            at = end == std::string::npos ? end : end + 1;
        }
        return false;
    }
};

TEST_F(WrongPluginTest, RecordsInAnotherLayoutAreReportedAtRegistration)
{
    const std::string errors = load(WRONG_LAYOUT_PLUGIN);
    // Property entries a word short: the getter is read as the flags word,
    // and from the second entry on every word is its neighbour's.
    EXPECT_TRUE(has(errors, "OldPropertiesQVR: property First: flags is")) << errors;
    EXPECT_TRUE(has(errors, "OldPropertiesQVR: property Integer: group is")) << errors;
    const standin::ClassInfo *old = host.findClass("OldPropertiesQVR");
    ASSERT_NE(old, nullptr);
    ASSERT_EQ(old->properties.size(), 3u);
    EXPECT_NE(old->properties[1].name, "Second");
    // Method entries two words too long: the second is read from the first's
    // extra words and the start of the second, and so on.
    EXPECT_TRUE(line(errors, "WideMethodsQVR: method", "has no function")) << errors;
    EXPECT_TRUE(has(errors, "WideMethodsQVR: method \"\": cannot parse the declaration")) << errors;
    const standin::ClassInfo *wide = host.findClass("WideMethodsQVR");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->methods[0].declaration, "First as integer");
    EXPECT_NE(wide->methods[1].declaration, "Second as integer");
    EXPECT_TRUE(has(errors, "OldVersionQVR: format version 8, expected 9")) << errors;
}

TEST_F(WrongPluginTest, DataReachedThroughAnotherClassesOffsetIsGuardBytes)
{
    load(WRONG_CALLS_PLUGIN);
    Value left = host.newInstance("LeftQVR");
    Value right = host.newInstance("RightQVR");
    // Left's setter writes past Left's data, Right's before Right's data.
    host.set(left, "Reach", Value::integer(5));
    EXPECT_TRUE(tookError("LeftQVR#")) << "a write after the data went unseen";
    host.set(right, "Reach", Value::integer(5));
    EXPECT_TRUE(tookError("wrote into the host's part of the handle")) << "a write before the data went unseen";
    EXPECT_EQ(host.get(left, "First").asInteger(), 0);
    EXPECT_EQ(host.get(right, "First").asInteger(), 0);
}

TEST_F(WrongPluginTest, ABorrowedStringKeptWithoutALockIsCaughtWhenUsed)
{
    load(WRONG_CALLS_PLUGIN);
    Value keeper = host.newInstance("KeeperQVR");
    Value label = host.string("kept");
    host.set(keeper, "Label", label);
    EXPECT_EQ(host.references(label.handle()), 1) << "the setter took no reference";
    label.release(); // the string dies; the object still points at it
    Value back = host.get(keeper, "Label");
    EXPECT_TRUE(back.isNil());
    EXPECT_TRUE(tookError("already destroyed"));
}

TEST_F(WrongPluginTest, ABooleanKeptAsAWholeWordReadsBackWrong)
{
    load(WRONG_CALLS_PLUGIN);
    Value keeper = host.newInstance("KeeperQVR");
    host.set(keeper, "Flag", Value::boolean(false));
    EXPECT_TRUE(host.get(keeper, "Flag").asBoolean()) << "the word above the Boolean's byte was clean";
    // A plug-in that keeps the byte alone reads back what it was given.
    Value counter = host.newInstance("FakeCounter");
    host.set(counter, "Flag", Value::boolean(true));
    host.set(counter, "Flag", Value::boolean(false));
    EXPECT_FALSE(host.get(counter, "Flag").asBoolean());
    EXPECT_EQ(static_cast<CounterData *>(host.instanceData(counter))->flag, 0);
}

TEST_F(WrongPluginTest, WritesIntoDestroyedHandlesAreReported)
{
    load(WRONG_CALLS_PLUGIN);
    Value keeper = host.newInstance("KeeperQVR");

    Value block = host.memoryBlock("abcd");
    host.call(keeper, "HoldBytes", {block});
    block.release();
    host.call(keeper, "Scrawl");
    host.verify();
    EXPECT_TRUE(tookError("written after it was destroyed, at byte 0 of its bytes"));

    Value text = host.string("abc");
    host.call(keeper, "HoldText", {text});
    text.release();
    host.call(keeper, "Scrawl");
    EXPECT_GT(host.quarantined(), 0u);
    host.purgeDestroyed();
    EXPECT_EQ(host.quarantined(), 0u);
    EXPECT_TRUE(tookError("written after it was destroyed, at byte 1 of its buffer"));

    Value other = host.newInstance("KeeperQVR");
    host.call(keeper, "HoldObject", {other});
    other.release();
    host.call(keeper, "Scrawl");
    host.verify();
    EXPECT_TRUE(tookError("written after it was destroyed"));
    host.verify();
    EXPECT_TRUE(host.errors().empty()) << "reported twice";
}

} // namespace
