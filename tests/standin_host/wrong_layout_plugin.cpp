// A plug-in whose records are not all in the host's layout, built as its own
// library: each class is wrong in one way a host reading the records word by
// word must notice. The class records themselves are right (host/host.h).
#include "host/host.h"

namespace {

REALResolver gHost;

// A property entry without the flags word after the type.
struct NineWordProperty {
    const char *group, *name, *type;
    void *getter, *setter;
    intptr_t param;
    uintptr_t editor, enumCount;
    const char **enumEntries;
};

// A method entry with two words more than the host's.
struct SixWordMethod {
    void *function, *setterFunction;
    const char *declaration;
    uintptr_t mFlags, attributeCount;
    void *attributes;
};

int32_t getNumber(REALobject, int32_t) { return 7; }
void setNumber(REALobject, int32_t, int32_t) {}
int32_t method(REALobject) { return 1; }

#define FN(f) reinterpret_cast<void *>(&(f))

NineWordProperty nineWordProperties[] = {
    {nullptr, "First", "Integer", FN(getNumber), FN(setNumber), 0, 0, 0, nullptr},
    {nullptr, "Second", "Integer", FN(getNumber), nullptr, 0, 0, 0, nullptr},
    {nullptr, "Third", "Integer", FN(getNumber), FN(setNumber), 0, 0, 0, nullptr},
};

SixWordMethod sixWordMethods[] = {
    {FN(method), nullptr, "First as integer", 0, 0, nullptr},
    {FN(method), nullptr, "Second as integer", 0, 0, nullptr},
    {FN(method), nullptr, "Third as integer", 0, 0, nullptr},
};

REALclassDefinition oldProperties, wideMethods, oldVersion;

void define(REALclassDefinition &def, const char *name)
{
    def = REALclassDefinition();
    def.version = kCurrentREALControlVersion;
    def.name = name;
    def.dataSize = 8;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void REALPluginMain(REALResolver resolver)
{
    gHost = resolver;
    define(oldProperties, "OldPropertiesQVR");
    oldProperties.properties = reinterpret_cast<REALproperty *>(nineWordProperties);
    oldProperties.propertyCount = 3;
    define(wideMethods, "WideMethodsQVR");
    wideMethods.methods = reinterpret_cast<REALmethodDefinition *>(sixWordMethods);
    wideMethods.methodCount = 3;
    define(oldVersion, "OldVersionQVR");
    oldVersion.version = 8;

    auto registerClass = reinterpret_cast<PluginRegisterClassProc>(gHost("PluginRegisterClass"));
    registerClass(&oldProperties);
    registerClass(&wideMethods);
    registerClass(&oldVersion);
}
