// The setters that keep a reference: each lets go of the value it replaces
// before it locks the new one, and storing the value already held, or nil,
// keeps the counts right.
#include "tests/object_classes/support.h"

namespace objtest {
namespace {

class SetterOrder : public HostTest {
protected:
    // The lock and unlock calls the plug-in made since the journal had
    // mark entries.
    std::vector<std::string> LockCalls(size_t mark)
    {
        std::vector<std::string> calls;
        const auto &journal = host.journal();
        for (size_t i = mark; i < journal.size(); i++) {
            const std::string &name = journal[i].name;
            if (journal[i].type == standin::JournalEntry::Call &&
                (name == "REALLockObject" || name == "REALUnlockObject" || name == "REALLockString" ||
                 name == "REALUnlockString"))
                calls.push_back(name);
        }
        return calls;
    }
};

TEST_F(SetterOrder, TheOldValueIsUnlockedBeforeTheNewOneIsLocked)
{
    const std::vector<std::string> objectOrder = {"REALUnlockObject", "REALLockObject"};
    const std::vector<std::string> stringOrder = {"REALUnlockString", "REALLockString"};
    const struct {
        const char *owner, *property, *value;  // value: a class, "string" or "memory"
    } setters[] = {
        {"GIFQVR", "Screen", "GifScreenQVR"},
        {"GIFQVR", "Header", "string"},
        {"GifScreenQVR", "Palette", "GifPaletteQVR"},
        {"GifBlockQVR", "Extension", "GifExtensionQVR"},
        {"GifBlockQVR", "Picture", "GifPictureQVR"},
        {"GifDataQVR", "DataString", "string"},
        {"GifPictureQVR", "Palette", "GifPaletteQVR"},
        {"GifPictureQVR", "Data", "memory"},
    };
    for (const auto &s : setters) {
        SCOPED_TRACE(std::string(s.owner) + "." + s.property);
        const std::string kind = s.value;
        auto make = [&] {
            if (kind == "string")
                return String("GIF89a");
            if (kind == "memory")
                return Memory("\x01\x02");
            return New(kind);
        };
        const auto &order = kind == "string" ? stringOrder : objectOrder;
        Value owner = New(s.owner);
        Value first = make();
        Value second = make();
        Set(owner, s.property, first, 1);

        size_t mark = host.journal().size();
        Set(owner, s.property, second);
        EXPECT_EQ(order, LockCalls(mark));
        EXPECT_EQ(1, host.references(first.handle()));
        EXPECT_EQ(2, host.references(second.handle()));

        // The same value again, then nil.
        mark = host.journal().size();
        Set(owner, s.property, second);
        EXPECT_EQ(order, LockCalls(mark));
        EXPECT_EQ(2, host.references(second.handle()));
        Set(owner, s.property, Value::nil(), -1);
        EXPECT_EQ(1, host.references(second.handle()));
    }
}

}  // namespace
}  // namespace objtest
