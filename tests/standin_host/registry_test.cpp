#include "fixture.h"

namespace {

using standin::Declaration;
using standin::parseDeclaration;

TEST(DeclarationTest, ReadsNameParametersAndResult)
{
    Declaration d = parseDeclaration("Value(index as integer) as color");
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.name, "Value");
    ASSERT_EQ(d.params.size(), 1u);
    EXPECT_EQ(d.params[0].name, "index");
    EXPECT_EQ(d.params[0].type, "integer");
    EXPECT_EQ(d.returnType, "color");

    d = parseDeclaration("MakeFirstPicture as picture");
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.name, "MakeFirstPicture");
    EXPECT_TRUE(d.params.empty());
    EXPECT_EQ(d.returnType, "picture");

    d = parseDeclaration("Add(block as GifBlockQVR)");
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.params[0].type, "GifBlockQVR");
    EXPECT_EQ(d.returnType, "");

    d = parseDeclaration(standin::kDrawPictureDeclaration);
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.name, "DrawPicture");
    ASSERT_EQ(d.params.size(), 9u);
    EXPECT_EQ(d.params[0].type, "Picture");
    EXPECT_EQ(d.params[8].name, "sh");

    d = parseDeclaration("  Scribble  ");
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.name, "Scribble");

    d = parseDeclaration("Mix(ByVal a AS Integer,b as Boolean)As Color");
    ASSERT_TRUE(d.valid);
    ASSERT_EQ(d.params.size(), 2u);
    EXPECT_EQ(d.params[0].name, "a");
    EXPECT_EQ(d.params[1].type, "Boolean");
    EXPECT_EQ(d.returnType, "Color");

    d = parseDeclaration("Empty() as integer");
    ASSERT_TRUE(d.valid);
    EXPECT_TRUE(d.params.empty());
}

TEST(DeclarationTest, RejectsMalformedText)
{
    for (const char *text : {"", "(x as integer)", "Foo(x integer)", "Foo(x as)", "Foo(x as integer",
                             "Foo as", "Foo integer", "Foo(x as integer,) as integer", "Foo as picture extra",
                             "Fooas picture", "Foo(as as)"}) {
        EXPECT_FALSE(parseDeclaration(text).valid) << '"' << text << '"';
    }
}

using RegistryTest = HostTest;

TEST_F(RegistryTest, KeepsTheRecordsAndWritesADifferentOffsetIntoEachClass)
{
    const standin::ClassInfo *gadget = host.findClass("FakeGadget");
    const standin::ClassInfo *counter = host.findClass("FakeCounter");
    ASSERT_NE(gadget, nullptr);
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(gadget->definition, &FakeGadgetClass);
    EXPECT_EQ(counter->definition, &FakeCounterClass);
    EXPECT_NE(FakeGadgetClass.forSystemUse, 0);
    EXPECT_NE(FakeCounterClass.forSystemUse, 0);
    EXPECT_NE(FakeGadgetClass.forSystemUse, FakeCounterClass.forSystemUse);
    EXPECT_EQ(gadget->offset, FakeGadgetClass.forSystemUse);
    EXPECT_EQ(counter->offset, FakeCounterClass.forSystemUse);
    // Offsets keep the instance data aligned for any field.
    EXPECT_EQ(counter->offset % static_cast<intptr_t>(alignof(std::max_align_t)), 0);

    ASSERT_EQ(counter->methods.size(), FakeCounterClass.methodCount);
    for (Word i = 0; i < FakeCounterClass.methodCount; i++) {
        EXPECT_EQ(counter->methods[i].declaration, FakeCounterClass.methods[i].declaration);
        EXPECT_TRUE(counter->methods[i].parsed.valid) << counter->methods[i].declaration;
        EXPECT_EQ(counter->methods[i].definition, &FakeCounterClass.methods[i]);
    }
    ASSERT_EQ(counter->properties.size(), FakeCounterClass.propertyCount);
    EXPECT_EQ(counter->properties[8].name, "Total");
    EXPECT_EQ(counter->properties[8].setter, nullptr);

    auto extensions = host.extensions();
    ASSERT_FALSE(extensions.empty());
    EXPECT_EQ(extensions[0]->name, "Folderitem");
    EXPECT_EQ(extensions[0]->methods.size(), 2u);
    auto globals = host.globalMethods();
    ASSERT_EQ(globals.size(), 2u);
    EXPECT_EQ(globals[0]->declaration, "Sum(a as integer, b as integer) as integer");
    EXPECT_EQ(globals[1]->declaration, "Shout(s as string) as string");
}

TEST_F(RegistryTest, ReportsDefinitionsItCannotTake)
{
    auto registerClass = service<PluginRegisterClassProc>("PluginRegisterClass");
    auto registerExtension = service<PluginRegisterClassProc>("PluginRegisterClassExtension");
    auto registerMethod = service<PluginRegisterMethodProc>("PluginRegisterMethod");
    const size_t classes = host.classes().size();

    ClassRecord duplicate = FakeGadgetClass;
    EXPECT_EQ(registerClass(&duplicate), 0);
    EXPECT_TRUE(tookError("exists already"));
    EXPECT_EQ(duplicate.forSystemUse, FakeGadgetClass.forSystemUse);

    ClassRecord hostName = ClassRecord();
    hostName.version = kFormatVersion;
    hostName.name = "picture";
    EXPECT_EQ(registerClass(&hostName), 0);
    EXPECT_TRUE(tookError("exists already"));

    ClassRecord nameless = ClassRecord();
    EXPECT_EQ(registerClass(&nameless), 0);
    EXPECT_TRUE(tookError("without a class name"));
    EXPECT_EQ(registerClass(nullptr), 0);
    EXPECT_TRUE(tookError("nil definition"));

    ClassRecord stranger = ClassRecord();
    stranger.version = kFormatVersion;
    stranger.name = "Window";
    EXPECT_EQ(registerExtension(&stranger), 0);
    EXPECT_TRUE(tookError("no host class"));

    static MethodRecord garbled = {nullptr, nullptr, "Broken(x as", 0};
    registerMethod(&garbled);
    std::vector<std::string> errors = host.takeErrors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("cannot parse"), std::string::npos);
    EXPECT_NE(errors[1].find("has no function"), std::string::npos);
    EXPECT_THROW(host.callGlobal("Broken(x as"), HostError);

    EXPECT_EQ(host.classes().size(), classes);
}

PropertyRecord oddProperty[] = {{nullptr, "Odd", "Integer", 0, nullptr, nullptr, 0, 0, 0, nullptr}};

TEST_F(RegistryTest, ReportsWrongVersionsAndFieldsThisHostDoesNotSupport)
{
    // Kept by the host from now on, like a plug-in's static record.
    static ClassRecord odd = ClassRecord();
    odd.version = 8;
    odd.name = "FakeOddity";
    odd.superName = "FakeGadget";
    odd.constantCount = 1;
    odd.properties = oddProperty;
    odd.propertyCount = 1;
    EXPECT_EQ(service<PluginRegisterClassProc>("PluginRegisterClass")(&odd), 1);
    EXPECT_NE(odd.forSystemUse, 0);
    std::vector<std::string> errors = host.takeErrors();
    auto has = [&](const char *part) {
        return std::any_of(errors.begin(), errors.end(),
                           [&](const std::string &e) { return e.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(has("format version 8"));
    EXPECT_TRUE(has("superclass"));
    EXPECT_TRUE(has("constantCount is 0x1, not 0"));
    EXPECT_TRUE(has("has no getter"));
    // Each class gets its own offset, however many there are.
    std::vector<intptr_t> offsets;
    for (const standin::ClassInfo *c : host.classes())
        offsets.push_back(c->offset);
    std::sort(offsets.begin(), offsets.end());
    EXPECT_EQ(std::unique(offsets.begin(), offsets.end()), offsets.end());
}

TEST_F(RegistryTest, ForgottenRegistrationsCanBeMadeAgainWhileOldInstancesLive)
{
    Value old = host.newInstance("FakeCounter");
    host.set(old, "Value", Value::integer(5));
    const intptr_t oldOffset = FakeCounterClass.forSystemUse;

    host.forgetRegistrations();
    EXPECT_TRUE(host.classes().empty());
    EXPECT_THROW(host.newInstance("FakeCounter"), HostError);
    EXPECT_EQ(service<PluginNewInstanceProc>("PluginNewInstance")("FakeCounter"), nullptr);
    EXPECT_TRUE(tookError("no class registered"));

    // An instance of a forgotten class still works and dies normally.
    EXPECT_EQ(host.get(old, "Value").asInteger(), 5);
    const int destructorRuns = gCounterDestructorRuns;
    old.release();
    EXPECT_EQ(gCounterDestructorRuns, destructorRuns + 1);

    host.start(FakePluginMain);
    EXPECT_NE(FakeCounterClass.forSystemUse, oldOffset);
    Value fresh = host.newInstance("FakeCounter");
    host.set(fresh, "Value", Value::integer(6));
    EXPECT_EQ(host.get(fresh, "Value").asInteger(), 6);
    EXPECT_EQ(host.className(fresh), "FakeCounter");
    EXPECT_EQ(host.classes().size(), 2u);
}

} // namespace

namespace {

int32_t someGetter(REALobject, int32_t) { return 0; }
void *const kGetter = reinterpret_cast<void *>(&someGetter);
const char *kEnumEntries[] = {"a", "b"};
int kSomething;

} // namespace

TEST_F(RegistryTest, ReportsEveryFieldThatAPluginMustLeaveZero)
{
    static PropertyRecord properties[] = {
        {"Group", "Busy", "Integer", 1, kGetter, nullptr, 2, 3, 2, kEnumEntries},
    };
    static MethodRecord methods[] = {{kGetter, nullptr, "Flagged as integer", 4}};
    static ClassRecord busy = ClassRecord();
    busy.version = kFormatVersion;
    busy.name = "FakeBusy";
    busy.dataSize = 4;
    busy.forSystemUse = 8;
    busy.properties = properties;
    busy.propertyCount = 1;
    busy.methods = methods;
    busy.methodCount = 1;
    void *some = &kSomething;
    busy.events = some;
    busy.eventCount = 1;
    busy.eventInstances = some;
    busy.eventInstanceCount = 1;
    busy.interfaces = "Iface";
    busy.bindDescriptions = some;
    busy.bindDescriptionCount = 1;
    busy.constants = some;
    busy.constantCount = 1;
    busy.mFlags = 1;
    busy.sharedProperties = properties;
    busy.sharedPropertyCount = 1;
    busy.sharedMethods = methods;
    busy.sharedMethodCount = 1;
    static MethodRecord flaggedGlobal = {kGetter, nullptr, "FlaggedGlobal as integer", 8};

    service<PluginRegisterClassProc>("PluginRegisterClass")(&busy);
    service<PluginRegisterMethodProc>("PluginRegisterMethod")(&flaggedGlobal);
    std::string all;
    for (const std::string &e : host.takeErrors())
        all += e + "\n";
    for (const char *field :
         {"FakeBusy: forSystemUse is 0x8", "FakeBusy: events is", "eventCount is 0x1", "eventInstances is",
          "eventInstanceCount is 0x1", "interfaces is", "bindDescriptions is", "bindDescriptionCount is 0x1",
          "constants is", "constantCount is 0x1", "FakeBusy: mFlags is 0x1", "sharedProperties is",
          "sharedPropertyCount is 0x1", "sharedMethods is", "sharedMethodCount is 0x1",
          "property Busy: group is", "property Busy: flags is 0x1", "property Busy: param is 0x2",
          "property Busy: editor is 0x3", "property Busy: enumCount is 0x2", "property Busy: enumEntries is",
          "method \"Flagged as integer\": mFlags is 0x4",
          "PluginRegisterMethod: method \"FlaggedGlobal as integer\": mFlags is 0x8"})
        EXPECT_NE(all.find(field), std::string::npos) << field << " not in\n" << all;
    // The host wrote its own word all the same.
    EXPECT_NE(busy.forSystemUse, Word{8});
    host.forgetRegistrations();
    host.start(FakePluginMain);
}
