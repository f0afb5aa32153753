// The built plug-in loaded as the host loads it: what the host receives at
// start-up (order, names, types, access, declarations).
#include "tests/plugin_host/class_table.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

using standin::Args;
using standin::ClassInfo;

namespace {

// ----------------------------------------- the interface the host must see

struct Prop {
    const char *name, *type;
    bool writable;
};
struct Meth {
    const char *declaration;
    bool setterForm;
};
struct ExpectedClass {
    const char *name, *record;
    std::vector<Prop> properties;
    std::vector<Meth> methods;
};

const std::vector<ExpectedClass> &Expected()
{
    static const std::vector<ExpectedClass> classes = {
        {"GIFQVR", "GifClass",
         {{"Count", "Integer", false}, {"Screen", "GifScreenQVR", true}, {"Header", "String", true}},
         {{"Block(index as integer) as GifBlockQVR", false},
          {"Add(block as GifBlockQVR)", false},
          {"MakeFirstPicture as picture", false},
          {"MakeFirstMask as picture", false},
          {"MakeFirstPictureWithMask as picture", false},
          {"Print(file as folderitem) as boolean", false}}},
        {"GifPictureQVR", "GifPictureClass",
         {{"Left", "Integer", true}, {"Top", "Integer", true}, {"Width", "Integer", true},
          {"Height", "Integer", true}, {"Interlace", "Boolean", true}, {"Sorted", "Boolean", true},
          {"PaletteDepth", "Integer", true}, {"Palette", "GifPaletteQVR", true},
          {"Data", "Memoryblock", true}},
         {{"PixelData(row as integer) as memoryblock", false},
          {"MakePicture as picture", false},
          {"MakeMask as picture", false},
          {"MakeMask(TransparentColorIndex as integer) as picture", false}}},
        {"GifDataQVR", "GifDataClass",
         {{"Length", "Integer", false}, {"DataString", "String", true},
          {"DataMemory", "Memoryblock", true}},
         {}},
        {"GifBlockQVR", "GifBlockClass",
         {{"Intro", "Integer", true}, {"Extension", "GifExtensionQVR", true},
          {"Picture", "GifPictureQVR", true}},
         {}},
        {"GifScreenQVR", "GifScreenClass",
         {{"Width", "Integer", true}, {"Height", "Integer", true},
          {"ColorResolution", "Integer", true}, {"Sorted", "Boolean", true},
          {"PaletteDepth", "Integer", true}, {"Palette", "GifPaletteQVR", true},
          {"BackgroundColor", "Integer", true}, {"Aspect", "Integer", true}},
         {}},
        {"GifPaletteQVR", "GifPaletteClass",
         {{"Count", "Integer", true}},
         {{"Value(index as integer) as color", true},
          {"Blue(index as integer) as integer", true},
          {"Green(index as integer) as integer", true},
          {"Red(index as integer) as integer", true}}},
        {"GifExtensionQVR", "GifExtensionClass",
         {{"Count", "Integer", false}, {"Marker", "Integer", true}},
         {{"Data(index as integer) as GifDataQVR", false}, {"Add(data as GifDataQVR)", false}}},
    };
    return classes;
}

size_t ExpectedSize(const std::string &name)
{
    if (name == "GIFQVR") return sizeof(GifLayout);
    if (name == "GifScreenQVR") return sizeof(ScreenLayout);
    if (name == "GifPaletteQVR") return sizeof(PaletteLayout);
    if (name == "GifBlockQVR") return sizeof(BlockLayout);
    if (name == "GifExtensionQVR") return sizeof(ExtensionLayout);
    if (name == "GifDataQVR") return sizeof(DataLayout);
    return sizeof(PictureLayout);
}

long Find(JournalEntry::Type type, const std::string &name, bool last = false)
{
    const std::vector<JournalEntry> &journal = host().journal();
    long found = -1;
    for (size_t i = 0; i < journal.size(); i++)
        if (journal[i].type == type && journal[i].name == name) {
            found = static_cast<long>(i);
            if (!last)
                break;
        }
    return found;
}

int Count(JournalEntry::Type type, const std::string &name)
{
    int n = 0;
    for (const JournalEntry &e : host().journal())
        n += e.type == type && e.name == name;
    return n;
}

// ----------------------------------------------------------------- tests


using StartUp = Loaded;

TEST_F(StartUp, AnnouncesVersionAndReadsHostVersionBeforeAnyClass)
{
    host().setVersion(2021.5);
    std::string path = LoadFreshCopy();

    ASSERT_EQ(1, Count(JournalEntry::Call, "RegisterPluginVersion"));
    long version = Find(JournalEntry::Call, "RegisterPluginVersion");
    ASSERT_FALSE(host().journal()[version].numbers.empty());
    EXPECT_EQ(9, host().journal()[version].numbers[0]);
    long askVersion = Find(JournalEntry::Lookup, "REALGetRBVersion");
    long firstClass = Find(JournalEntry::Call, "PluginRegisterClass");
    ASSERT_GE(firstClass, 0);
    EXPECT_LT(version, askVersion);
    EXPECT_LT(askVersion, firstClass);

    auto *rbversion = static_cast<double *>(host().pluginSymbol(path, "rbversion_rbversion"));
    ASSERT_NE(nullptr, rbversion);
    EXPECT_EQ(2021.5, *rbversion);
    auto *resolver = static_cast<REALResolver *>(host().pluginSymbol(path, "gResolver"));
    ASSERT_NE(nullptr, resolver);
    EXPECT_EQ(reinterpret_cast<void *>(Host::resolver()), reinterpret_cast<void *>(*resolver));
}

TEST_F(StartUp, RegistersClassesThenFolderitemMethodsThenGlobalMethods)
{
    LoadFreshCopy();
    std::vector<const ClassInfo *> classes = host().classes();
    ASSERT_EQ(Expected().size(), classes.size());
    for (size_t i = 0; i < classes.size(); i++)
        EXPECT_EQ(Expected()[i].name, classes[i]->name) << "class " << i;

    EXPECT_EQ(7, Count(JournalEntry::Call, "PluginRegisterClass"));
    EXPECT_EQ(1, Count(JournalEntry::Call, "PluginRegisterClassExtension"));
    EXPECT_EQ(2, Count(JournalEntry::Call, "PluginRegisterMethod"));
    long lastClass = Find(JournalEntry::Call, "PluginRegisterClass", true);
    long extension = Find(JournalEntry::Call, "PluginRegisterClassExtension");
    long firstGlobal = Find(JournalEntry::Call, "PluginRegisterMethod");
    EXPECT_LT(lastClass, extension);
    EXPECT_LT(extension, firstGlobal);

    std::vector<const ClassInfo *> extensions = host().extensions();
    ASSERT_EQ(1u, extensions.size());
    const ClassInfo &folderitem = *extensions[0];
    EXPECT_EQ("Folderitem", folderitem.name);
    EXPECT_EQ(9u, folderitem.definition->version);
    EXPECT_EQ(0u, folderitem.definition->dataSize);
    EXPECT_EQ(nullptr, folderitem.definition->destructor);
    EXPECT_TRUE(folderitem.properties.empty());
    ASSERT_EQ(2u, folderitem.methods.size());
    EXPECT_EQ("OpenAsGIFQVR as GIFQVR", folderitem.methods[0].declaration);
    EXPECT_EQ("SaveAsGIFQVR(data as GIFQVR) as boolean", folderitem.methods[1].declaration);

    std::vector<const standin::MethodInfo *> globals = host().globalMethods();
    ASSERT_EQ(2u, globals.size());
    EXPECT_EQ("GifStringToPictureQVR(data as string) as Picture", globals[0]->declaration);
    EXPECT_EQ("GifStringToGifQVR(data as string) as GIFQVR", globals[1]->declaration);
    for (const standin::MethodInfo *m : {&folderitem.methods[0], &folderitem.methods[1], globals[0], globals[1]}) {
        EXPECT_NE(nullptr, m->function) << m->declaration;
        EXPECT_EQ(nullptr, m->setter) << m->declaration;
        EXPECT_EQ(0u, m->definition->mFlags) << m->declaration;
    }
}

TEST_F(StartUp, EachClassIsRegisteredExactlyAsListed)
{
    std::string path = LoadFreshCopy();
    std::vector<intptr_t> offsets;
    for (const ExpectedClass &want : Expected()) {
        SCOPED_TRACE(want.name);
        const ClassInfo *got = host().findClass(want.name);
        ASSERT_NE(nullptr, got);
        const standin::ClassRecord *def = got->definition;
        // The exported record is the one the host took and wrote into.
        EXPECT_EQ(host().pluginSymbol(path, want.record), static_cast<const void *>(def));
        EXPECT_EQ(9u, def->version);
        EXPECT_EQ(nullptr, def->superName);
        EXPECT_EQ(nullptr, def->constructor);
        EXPECT_NE(nullptr, def->destructor);
        EXPECT_EQ(ExpectedSize(want.name), def->dataSize);
        EXPECT_EQ(static_cast<standin::Word>(got->offset), def->forSystemUse);
        offsets.push_back(def->forSystemUse);

        ASSERT_EQ(want.properties.size(), got->properties.size());
        for (size_t i = 0; i < want.properties.size(); i++) {
            const standin::PropertyInfo &p = got->properties[i];
            EXPECT_EQ(want.properties[i].name, p.name);
            EXPECT_EQ(want.properties[i].type, p.type) << p.name;
            EXPECT_NE(nullptr, p.getter) << p.name;
            EXPECT_EQ(want.properties[i].writable, p.setter != nullptr) << p.name;
        }
        ASSERT_EQ(want.methods.size(), got->methods.size());
        for (size_t i = 0; i < want.methods.size(); i++) {
            const standin::MethodInfo &m = got->methods[i];
            EXPECT_EQ(want.methods[i].declaration, m.declaration);
            EXPECT_NE(nullptr, m.function) << m.declaration;
            EXPECT_EQ(want.methods[i].setterForm, m.setter != nullptr) << m.declaration;
            EXPECT_EQ(0u, m.definition->mFlags) << m.declaration;
        }
    }
    // The stand-in gives every class its own offset; the access checks
    // below rely on it.
    for (size_t i = 0; i < offsets.size(); i++)
        for (size_t j = i + 1; j < offsets.size(); j++)
            EXPECT_NE(offsets[i], offsets[j]);
}

// Words of a record the plug-in fills; every other word is zero.
void ExpectOnlyWords(const void *record, size_t words, std::set<size_t> filled, const std::string &what)
{
    const standin::Word *w = static_cast<const standin::Word *>(record);
    for (size_t i = 0; i < words; i++)
        EXPECT_TRUE(filled.count(i) || w[i] == 0) << what << ", word " << i << " is " << w[i];
}

TEST_F(StartUp, EveryWordThePluginDoesNotFillIsZero)
{
    LoadFreshCopy();
    std::vector<const ClassInfo *> all = host().classes();
    std::vector<const ClassInfo *> extensions = host().extensions();
    all.insert(all.end(), extensions.begin(), extensions.end());
    ASSERT_EQ(8u, all.size());
    for (const ClassInfo *c : all) {
        const standin::ClassRecord &def = *c->definition;
        // version, name, dataSize, forSystemUse (the host's), destructor,
        // properties and their count, methods and their count.
        ExpectOnlyWords(&def, 25, {0, 1, 3, 4, 6, 7, 8, 9, 10}, c->name);
        for (standin::Word i = 0; i < def.propertyCount; i++)
            ExpectOnlyWords(&def.properties[i], 10, {1, 2, 4, 5}, c->name + " property " + std::to_string(i));
        for (standin::Word i = 0; i < def.methodCount; i++)
            ExpectOnlyWords(&def.methods[i], 4, {0, 1, 2}, c->name + " method " + std::to_string(i));
    }
    for (const standin::MethodInfo *m : host().globalMethods())
        ExpectOnlyWords(m->definition, 4, {0, 1, 2}, m->declaration);
}

TEST_F(StartUp, WithoutHostVersionEverythingStillRegisters)
{
    host().withdraw("REALGetRBVersion");
    std::string path = LoadFreshCopy();
    EXPECT_EQ(0.0, *static_cast<double *>(host().pluginSymbol(path, "rbversion_rbversion")));
    EXPECT_EQ(7u, host().classes().size());
    EXPECT_EQ(1u, host().extensions().size());
    EXPECT_EQ(2u, host().globalMethods().size());
}

TEST_F(StartUp, WithoutPluginVersionServiceEverythingStillRegisters)
{
    host().withdraw("RegisterPluginVersion");
    LoadFreshCopy();
    EXPECT_EQ(0, Count(JournalEntry::Call, "RegisterPluginVersion"));
    EXPECT_EQ(7u, host().classes().size());
    EXPECT_EQ(1u, host().extensions().size());
    EXPECT_EQ(2u, host().globalMethods().size());
}

TEST_F(StartUp, WithoutClassRegistrationTheRestStillRegisters)
{
    host().withdraw("PluginRegisterClass");
    LoadFreshCopy();
    EXPECT_EQ(0u, host().classes().size());
    EXPECT_EQ(0, Count(JournalEntry::Call, "PluginRegisterClass"));
    // Asked once per class: a missing service is not kept.
    EXPECT_EQ(7, Count(JournalEntry::Lookup, "PluginRegisterClass"));
    EXPECT_EQ(1u, host().extensions().size());
    EXPECT_EQ(2u, host().globalMethods().size());
}

TEST_F(StartUp, WithoutClassExtensionsTheGlobalMethodsStillRegister)
{
    host().withdraw("PluginRegisterClassExtension");
    LoadFreshCopy();
    EXPECT_EQ(7u, host().classes().size());
    EXPECT_EQ(0u, host().extensions().size());
    EXPECT_EQ(1, Count(JournalEntry::Lookup, "PluginRegisterClassExtension"));
    EXPECT_EQ(2u, host().globalMethods().size());
}

TEST_F(StartUp, WithoutMethodRegistrationTheClassesStillRegister)
{
    host().withdraw("PluginRegisterMethod");
    LoadFreshCopy();
    EXPECT_EQ(7u, host().classes().size());
    EXPECT_EQ(1u, host().extensions().size());
    EXPECT_EQ(0u, host().globalMethods().size());
    EXPECT_EQ(0, Count(JournalEntry::Call, "PluginRegisterMethod"));
    // Asked once per method: a missing service is not kept.
    EXPECT_EQ(2, Count(JournalEntry::Lookup, "PluginRegisterMethod"));
}

} // namespace
