// The definition records and the host string in the host's layout for format
// version 9, pinned field by field: the plug-in's declarations and the
// stand-in host's, each written on its own, against the host's facts. The
// byte offsets are those of the real target (i386), where every field is
// one 32-bit word; elsewhere a word is pointer-sized and the offsets scale.
#include "host/host.h"
#include "standin_host/sdk.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

constexpr size_t kWord = sizeof(void *);

// A byte offset or size on the real target, on this one.
constexpr size_t Here(size_t i386Bytes)
{
    return i386Bytes / 4 * kWord;
}

#define AT(T, field, i386Offset) EXPECT_EQ(offsetof(T, field), Here(i386Offset)) << #T "." #field

#define PROPERTY_FIELDS(T)                                                                               \
    AT(T, group, 0);                                                                                     \
    AT(T, name, 4);                                                                                      \
    AT(T, type, 8);                                                                                      \
    AT(T, flags, 12);                                                                                    \
    AT(T, getter, 16);                                                                                   \
    AT(T, setter, 20);                                                                                   \
    AT(T, param, 24);                                                                                    \
    AT(T, editor, 28);                                                                                   \
    AT(T, enumCount, 32);                                                                                \
    AT(T, enumEntries, 36)

TEST(RecordLayout, PropertyEntryIsTenWords)
{
    EXPECT_EQ(sizeof(REALproperty), Here(40));
    PROPERTY_FIELDS(REALproperty);
    EXPECT_EQ(sizeof(standin::PropertyRecord), Here(40));
    PROPERTY_FIELDS(standin::PropertyRecord);
}

#define METHOD_FIELDS(T)                                                                                 \
    AT(T, function, 0);                                                                                  \
    AT(T, setterFunction, 4);                                                                            \
    AT(T, declaration, 8);                                                                               \
    AT(T, mFlags, 12)

TEST(RecordLayout, MethodEntryIsFourWords)
{
    EXPECT_EQ(sizeof(REALmethodDefinition), Here(16));
    METHOD_FIELDS(REALmethodDefinition);
    EXPECT_EQ(sizeof(standin::MethodRecord), Here(16));
    METHOD_FIELDS(standin::MethodRecord);
}

#define CLASS_FIELDS(T)                                                                                  \
    AT(T, version, 0);                                                                                   \
    AT(T, name, 4);                                                                                      \
    AT(T, superName, 8);                                                                                 \
    AT(T, dataSize, 12);                                                                                 \
    AT(T, forSystemUse, 16);                                                                             \
    AT(T, constructor, 20);                                                                              \
    AT(T, destructor, 24);                                                                               \
    AT(T, properties, 28);                                                                               \
    AT(T, propertyCount, 32);                                                                            \
    AT(T, methods, 36);                                                                                  \
    AT(T, methodCount, 40);                                                                              \
    AT(T, events, 44);                                                                                   \
    AT(T, eventCount, 48);                                                                               \
    AT(T, eventInstances, 52);                                                                           \
    AT(T, eventInstanceCount, 56);                                                                       \
    AT(T, interfaces, 60);                                                                               \
    AT(T, bindDescriptions, 64);                                                                         \
    AT(T, bindDescriptionCount, 68);                                                                     \
    AT(T, constants, 72);                                                                                \
    AT(T, constantCount, 76);                                                                            \
    AT(T, mFlags, 80);                                                                                   \
    AT(T, sharedProperties, 84);                                                                         \
    AT(T, sharedPropertyCount, 88);                                                                      \
    AT(T, sharedMethods, 92);                                                                            \
    AT(T, sharedMethodCount, 96)

TEST(RecordLayout, ClassDefinitionIsTwentyFiveWords)
{
    EXPECT_EQ(sizeof(REALclassDefinition), Here(100));
    CLASS_FIELDS(REALclassDefinition);
    EXPECT_EQ(sizeof(standin::ClassRecord), Here(100));
    CLASS_FIELDS(standin::ClassRecord);
}

// The plug-in reads a host string's second and fourth words only.
TEST(RecordLayout, StringsAreReadFromTheSecondAndFourthWord)
{
    char buffer[] = "\xFFGIF89a";
    standin::StringRecord record = {7, buffer, 99, 6};
    REALstring s = reinterpret_cast<REALstring>(&record);
    EXPECT_EQ(REALStringBytes(s), buffer + 1);
    EXPECT_EQ(REALStringLength(s), 6);
    record.length = static_cast<standin::Word>(-3);
    EXPECT_EQ(REALStringLength(s), -3);
    record.buffer = nullptr;
    EXPECT_EQ(REALStringBytes(s), nullptr);
    EXPECT_EQ(REALStringLength(s), 0);
    EXPECT_EQ(REALStringBytes(nullptr), nullptr);
    EXPECT_EQ(REALStringLength(nullptr), 0);
}

} // namespace
