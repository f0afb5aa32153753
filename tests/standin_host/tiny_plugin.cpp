// The smallest plug-in a host can load: one class and one global method.
#include "host/host.h"

namespace {

REALResolver gHost;
REALclassDefinition tinyClass;
int32_t gEntryCalls = 0;

int32_t answer(REALobject self, int32_t)
{
    return 40 + *reinterpret_cast<int32_t *>(reinterpret_cast<char *>(self) + tinyClass.forSystemUse);
}

int32_t entryCalls()
{
    return gEntryCalls;
}

REALproperty tinyProperties[] = {
    {nullptr, "Answer", "Integer", 0, reinterpret_cast<void *>(&answer), nullptr, 0, 0, 0, nullptr},
};
REALmethodDefinition tinyGlobal = {reinterpret_cast<void *>(&entryCalls), nullptr, "TinyEntryCalls as integer", 0};

} // namespace

extern "C" __attribute__((visibility("default"))) void REALPluginMain(REALResolver resolver)
{
    gHost = resolver;
    gEntryCalls++;
    tinyClass = REALclassDefinition();
    tinyClass.version = kCurrentREALControlVersion;
    tinyClass.name = "TinyThing";
    tinyClass.dataSize = sizeof(int32_t);
    tinyClass.properties = tinyProperties;
    tinyClass.propertyCount = 1;
    reinterpret_cast<PluginRegisterClassProc>(gHost("PluginRegisterClass"))(&tinyClass);
    reinterpret_cast<PluginRegisterMethodProc>(gHost("PluginRegisterMethod"))(&tinyGlobal);
}
