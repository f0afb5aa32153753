// A plug-in whose records are right but whose functions are wrong about the
// host in ways that only show while it runs, built as its own library and
// without sanitizers, so that the host's own checks are what catch it.
#include "host/host.h"

namespace {

REALResolver gHost;
REALclassDefinition leftClass, rightClass, keeperClass;

struct Pair {
    int32_t first, second;
};

struct Keeper {
    REALstring label;
    int32_t flag; // a Boolean kept as the whole word it came in
};

// What Hold... kept without a reference, for Scrawl to write into.
unsigned char *gHeldBytes;
char *gHeldText;
REALobject gHeldObject;

template <typename T> T *dataOf(REALobject self, const REALclassDefinition &cls)
{
    return reinterpret_cast<T *>(reinterpret_cast<char *>(self) + cls.forSystemUse);
}

template <typename Proc> Proc service(const char *name)
{
    return reinterpret_cast<Proc>(gHost(name));
}

int32_t getFirst(REALobject self, int32_t) { return dataOf<Pair>(self, leftClass)->first; }
// Each writes through the other class's offset.
void leftReach(REALobject self, int32_t, int32_t v) { dataOf<Pair>(self, rightClass)->second = v; }
int32_t getRightFirst(REALobject self, int32_t) { return dataOf<Pair>(self, rightClass)->first; }
void rightReach(REALobject self, int32_t, int32_t v) { dataOf<Pair>(self, leftClass)->first = v; }

// Keeps the borrowed string without a lock, and never unlocks it.
void setLabel(REALobject self, int32_t, REALstring s) { dataOf<Keeper>(self, keeperClass)->label = s; }
REALstring getLabel(REALobject self, int32_t)
{
    REALstring s = dataOf<Keeper>(self, keeperClass)->label;
    if (s)
        service<REALLockStringProc>("REALLockString")(s);
    return s;
}

// Takes a Boolean as a 32-bit integer and keeps all of it.
void setFlag(REALobject self, int32_t, int32_t v) { dataOf<Keeper>(self, keeperClass)->flag = v; }
RBBoolean getFlag(REALobject self, int32_t) { return dataOf<Keeper>(self, keeperClass)->flag != 0; }

void holdBytes(REALobject, REALmemoryBlock b)
{
    gHeldBytes = static_cast<unsigned char *>(service<memoryBlockGetPtrProc>("memoryBlockGetPtr")(b));
}
void holdText(REALobject, REALstring s) { gHeldText = const_cast<char *>(REALStringBuffer(s)); }
void holdObject(REALobject, REALobject o) { gHeldObject = o; }
void scrawl(REALobject)
{
    if (gHeldBytes)
        gHeldBytes[0] ^= 1;
    if (gHeldText)
        gHeldText[1] ^= 1;
    if (gHeldObject)
        dataOf<Keeper>(gHeldObject, keeperClass)->flag = 3;
    gHeldBytes = nullptr;
    gHeldText = nullptr;
    gHeldObject = nullptr;
}

#define FN(f) reinterpret_cast<void *>(&(f))

REALproperty leftProperties[] = {
    {nullptr, "First", "Integer", 0, FN(getFirst), nullptr, 0, 0, 0, nullptr},
    {nullptr, "Reach", "Integer", 0, FN(getFirst), FN(leftReach), 0, 0, 0, nullptr},
};
REALproperty rightProperties[] = {
    {nullptr, "First", "Integer", 0, FN(getRightFirst), nullptr, 0, 0, 0, nullptr},
    {nullptr, "Reach", "Integer", 0, FN(getRightFirst), FN(rightReach), 0, 0, 0, nullptr},
};
REALproperty keeperProperties[] = {
    {nullptr, "Label", "String", 0, FN(getLabel), FN(setLabel), 0, 0, 0, nullptr},
    {nullptr, "Flag", "Boolean", 0, FN(getFlag), FN(setFlag), 0, 0, 0, nullptr},
};
REALmethodDefinition keeperMethods[] = {
    {FN(holdBytes), nullptr, "HoldBytes(b as memoryblock)", 0},
    {FN(holdText), nullptr, "HoldText(s as string)", 0},
    {FN(holdObject), nullptr, "HoldObject(o as KeeperQVR)", 0},
    {FN(scrawl), nullptr, "Scrawl", 0},
};

void define(REALclassDefinition &def, const char *name, uintptr_t dataSize, REALproperty *properties,
            uintptr_t propertyCount)
{
    def = REALclassDefinition();
    def.version = kCurrentREALControlVersion;
    def.name = name;
    def.dataSize = dataSize;
    def.properties = properties;
    def.propertyCount = propertyCount;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void REALPluginMain(REALResolver resolver)
{
    gHost = resolver;
    define(leftClass, "LeftQVR", sizeof(Pair), leftProperties, 2);
    define(rightClass, "RightQVR", sizeof(Pair), rightProperties, 2);
    define(keeperClass, "KeeperQVR", sizeof(Keeper), keeperProperties, 2);
    keeperClass.methods = keeperMethods;
    keeperClass.methodCount = 4;
    auto registerClass = service<PluginRegisterClassProc>("PluginRegisterClass");
    registerClass(&leftClass);
    registerClass(&rightClass);
    registerClass(&keeperClass);
}
