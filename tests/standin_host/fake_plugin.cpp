#include "fake_plugin.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using namespace standin;

ClassRecord FakeGadgetClass;
ClassRecord FakeCounterClass;
ClassRecord FakeFolderItemClass;
int gCounterDestructorRuns = 0;
double gFakeVersionSeen = 0;

namespace {

REALResolver gHost;

template <typename Proc> Proc service(const char *name)
{
    return reinterpret_cast<Proc>(gHost(name));
}

void lockObject(void *o)
{
    if (o)
        service<REALLockObjectProc>("REALLockObject")(static_cast<REALobject>(o));
}
void unlockObject(void *o)
{
    if (o)
        service<REALLockObjectProc>("REALUnlockObject")(static_cast<REALobject>(o));
}
void lockString(REALstring s)
{
    if (s)
        service<REALLockStringProc>("REALLockString")(s);
}
void unlockString(REALstring s)
{
    if (s)
        service<REALLockStringProc>("REALUnlockString")(s);
}

CounterData *counter(REALobject self)
{
    return reinterpret_cast<CounterData *>(reinterpret_cast<char *>(self) + FakeCounterClass.forSystemUse);
}
GadgetData *gadget(REALobject self)
{
    return reinterpret_cast<GadgetData *>(reinterpret_cast<char *>(self) + FakeGadgetClass.forSystemUse);
}

/* Keeps a borrowed reference: lock the new one, then let go of the old. */
template <typename T> void keepObject(T &slot, T value)
{
    lockObject(value);
    unlockObject(slot);
    slot = value;
}
template <typename T> T handOut(T stored)
{
    lockObject(stored);
    return stored;
}

int32_t getValue(REALobject self, int32_t) { return counter(self)->value; }
void setValue(REALobject self, int32_t, int32_t v) { counter(self)->value = v; }
uint8_t getFlag(REALobject self, int32_t) { return counter(self)->flag; }
void setFlag(REALobject self, int32_t, uint8_t v) { counter(self)->flag = v; }
uint32_t getTint(REALobject self, int32_t) { return counter(self)->tint; }
void setTint(REALobject self, int32_t, uint32_t v) { counter(self)->tint = v; }
REALstring getLabel(REALobject self, int32_t)
{
    lockString(counter(self)->label);
    return counter(self)->label;
}
void setLabel(REALobject self, int32_t, REALstring s)
{
    lockString(s);
    unlockString(counter(self)->label);
    counter(self)->label = s;
}
REALobject getPartner(REALobject self, int32_t) { return handOut(counter(self)->partner); }
void setPartner(REALobject self, int32_t, REALobject v) { keepObject(counter(self)->partner, v); }
REALpicture getPicture(REALobject self, int32_t) { return handOut(counter(self)->picture); }
void setPicture(REALobject self, int32_t, REALpicture v) { keepObject(counter(self)->picture, v); }
REALmemoryBlock getBlock(REALobject self, int32_t) { return handOut(counter(self)->block); }
void setBlock(REALobject self, int32_t, REALmemoryBlock v) { keepObject(counter(self)->block, v); }
REALfolderItem getFile(REALobject self, int32_t) { return handOut(counter(self)->file); }
void setFile(REALobject self, int32_t, REALfolderItem v) { keepObject(counter(self)->file, v); }
int32_t getTotal(REALobject self, int32_t param) { return counter(self)->value + param; }

int32_t add(REALobject self, int32_t amount) { return counter(self)->value += amount; }
uint32_t item(REALobject self, int32_t index) { return counter(self)->items[index & 3]; }
void setItem(REALobject self, int32_t index, uint32_t v) { counter(self)->items[index & 3] = v; }
int32_t twice(REALobject self) { return counter(self)->value * 2; }
int32_t twiceOf(REALobject, int32_t n) { return n * 2; }
int32_t pickNumber(REALobject, int32_t n) { return n; }
int32_t pickString(REALobject, REALstring s) { return s ? static_cast<int32_t>(stringRecord(s)->length) : -1; }
REALobject join(REALobject, REALobject other) { return handOut(other); }
REALstring echo(REALobject, REALstring s)
{
    lockString(s);
    return s;
}
int32_t misread(REALobject self)
{
    // Reaches the data through the other class's offset.
    return *reinterpret_cast<int32_t *>(reinterpret_cast<char *>(self) + FakeGadgetClass.forSystemUse);
}

REALpicture makePicture(REALobject, int32_t width, int32_t height)
{
    // Rows padded by 5 bytes to show that the host honours bytes per row.
    const int32_t rowBytes = width * 3 + 5;
    unsigned char *pixels = static_cast<unsigned char *>(calloc(static_cast<size_t>(rowBytes * height), 1));
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++) {
            unsigned char *p = pixels + y * rowBytes + x * 3;
            p[0] = static_cast<unsigned char>(x * 10);
            p[1] = static_cast<unsigned char>(y * 10);
            p[2] = 7;
        }
    REALpicture pic = service<REALBuildPictureFromBufferProc>("REALBuildPictureFromBuffer")(
        width, height, kPixelTypeRGB, pixels, rowBytes);
    // The host must have copied the pixels by now.
    memset(pixels, 0xEE, static_cast<size_t>(rowBytes * height));
    free(pixels);
    return pic;
}

/* Wrong about the host, on purpose. */
REALobject leakyPartner(REALobject self) { return counter(self)->partner; }
void scribble(REALobject self) { reinterpret_cast<char *>(self)[FakeCounterClass.forSystemUse - 1] = 0; }
void tamper(REALobject, REALstring s) { stringRecord(s)->buffer[1] ^= 0x20; }
void doubleUnlock(REALobject, REALstring s) { unlockString(s); }
REALobject wrongClass(REALobject) { return service<PluginNewInstanceProc>("PluginNewInstance")("FakeGadget"); }
REALobject ghost(REALobject)
{
    REALobject o = service<PluginNewInstanceProc>("PluginNewInstance")("FakeCounter");
    unlockObject(o);
    return o;
}

void counterDestructor(REALobject self)
{
    CounterData *d = counter(self);
    unlockString(d->label);
    unlockObject(d->partner);
    unlockObject(d->picture);
    unlockObject(d->block);
    unlockObject(d->file);
    gCounterDestructorRuns++;
}

int32_t getLevel(REALobject self, int32_t) { return gadget(self)->level; }
void setLevel(REALobject self, int32_t, int32_t v) { gadget(self)->level = v; }

int32_t fileSize(REALfolderItem item)
{
    REALstring path = service<REALpathFromFolderItemProc>("REALpathFromFolderItem")(item);
    if (!path)
        return -1;
    struct stat st;
    int32_t size = stat(stringRecord(path)->buffer + 1, &st) == 0 ? static_cast<int32_t>(st.st_size) : -1;
    unlockString(path);
    return size;
}

uint8_t fileWrite(REALfolderItem item, REALstring text)
{
    REALstring path = service<REALpathFromFolderItemProc>("REALpathFromFolderItem")(item);
    if (!path)
        return 0;
    FILE *f = fopen(stringRecord(path)->buffer + 1, "wb");
    unlockString(path);
    if (!f)
        return 0;
    if (text)
        fwrite(stringRecord(text)->buffer + 1, 1, static_cast<size_t>(stringRecord(text)->length), f);
    fclose(f);
    return 1;
}

int32_t sum(int32_t a, int32_t b) { return a + b; }
REALstring shout(REALstring s)
{
    if (!s)
        return nullptr;
    const StringRecord *text = stringRecord(s);
    const int32_t length = static_cast<int32_t>(text->length);
    char *upper = static_cast<char *>(malloc(static_cast<size_t>(length) + 1));
    for (int32_t i = 0; i < length; i++)
        upper[i] = static_cast<char>(toupper(static_cast<unsigned char>(text->buffer[1 + i])));
    REALstring out = service<REALBuildStringProc>("REALBuildString")(upper, length);
    free(upper);
    service<REALSetStringEncodingProc>("REALSetStringEncoding")(out, kEncodingASCII);
    return out;
}

#define FN(f) reinterpret_cast<void *>(&(f))
PropertyRecord gadgetProperties[] = {
    {nullptr, "Level", "Integer", 0, FN(getLevel), FN(setLevel), 0, 0, 0, nullptr},
};
PropertyRecord counterProperties[] = {
    {nullptr, "Value", "Integer", 0, FN(getValue), FN(setValue), 0, 0, 0, nullptr},
    {nullptr, "Flag", "Boolean", 0, FN(getFlag), FN(setFlag), 0, 0, 0, nullptr},
    {nullptr, "Tint", "color", 0, FN(getTint), FN(setTint), 0, 0, 0, nullptr},
    {nullptr, "Label", "String", 0, FN(getLabel), FN(setLabel), 0, 0, 0, nullptr},
    {nullptr, "Partner", "FakeCounter", 0, FN(getPartner), FN(setPartner), 0, 0, 0, nullptr},
    {nullptr, "Picture", "Picture", 0, FN(getPicture), FN(setPicture), 0, 0, 0, nullptr},
    {nullptr, "Block", "Memoryblock", 0, FN(getBlock), FN(setBlock), 0, 0, 0, nullptr},
    {nullptr, "File", "folderitem", 0, FN(getFile), FN(setFile), 0, 0, 0, nullptr},
    // Its parameter word is 0 as registered; a test changes it afterwards.
    {nullptr, "Total", "Integer", 0, FN(getTotal), nullptr, 0, 0, 0, nullptr},
};
MethodRecord counterMethods[] = {
    {FN(add), nullptr, "Add(amount as integer) as integer", 0},
    {FN(item), FN(setItem), "Item(index as integer) as color", 0},
    {FN(twice), nullptr, "Twice as integer", 0},
    {FN(twiceOf), nullptr, "Twice(n as integer) as integer", 0},
    {FN(pickNumber), nullptr, "Pick(n as integer) as integer", 0},
    {FN(pickString), nullptr, "Pick(s as string) as integer", 0},
    {FN(join), nullptr, "Join(other as FakeCounter) as FakeCounter", 0},
    {FN(echo), nullptr, "Echo(s as String) as String", 0},
    {FN(misread), nullptr, "Misread as integer", 0},
    {FN(makePicture), nullptr, "MakePicture(width as integer, height as integer) as picture", 0},
    {FN(leakyPartner), nullptr, "LeakyPartner as FakeCounter", 0},
    {FN(scribble), nullptr, "Scribble", 0},
    {FN(tamper), nullptr, "Tamper(s as string)", 0},
    {FN(doubleUnlock), nullptr, "DoubleUnlock(s as string)", 0},
    {FN(wrongClass), nullptr, "WrongClass as FakeCounter", 0},
    {FN(ghost), nullptr, "Ghost as FakeCounter", 0},
};
MethodRecord folderItemMethods[] = {
    {FN(fileSize), nullptr, "Size as integer", 0},
    {FN(fileWrite), nullptr, "Write(text as string) as boolean", 0},
};
MethodRecord globalMethods[] = {
    {FN(sum), nullptr, "Sum(a as integer, b as integer) as integer", 0},
    {FN(shout), nullptr, "Shout(s as string) as string", 0},
};
#define COUNT(t) static_cast<Word>(sizeof(t) / sizeof((t)[0]))

void define(ClassRecord &def, const char *name, Word dataSize, void *destructor,
            PropertyRecord *properties, Word propertyCount, MethodRecord *methods, Word methodCount)
{
    def = ClassRecord();
    def.version = kFormatVersion;
    def.name = name;
    def.dataSize = dataSize;
    def.destructor = destructor;
    def.properties = properties;
    def.propertyCount = propertyCount;
    def.methods = methods;
    def.methodCount = methodCount;
}

} // namespace

void FakePluginMain(REALResolver resolver)
{
    gHost = resolver;
    service<RegisterPluginVersionProc>("RegisterPluginVersion")(kFormatVersion);
    if (auto version = service<REALGetRBVersionProc>("REALGetRBVersion"))
        gFakeVersionSeen = version();

    define(FakeGadgetClass, "FakeGadget", sizeof(GadgetData), nullptr, gadgetProperties, COUNT(gadgetProperties),
           nullptr, 0);
    define(FakeCounterClass, "FakeCounter", sizeof(CounterData), FN(counterDestructor), counterProperties,
           COUNT(counterProperties), counterMethods, COUNT(counterMethods));
    define(FakeFolderItemClass, "Folderitem", 0, nullptr, nullptr, 0, folderItemMethods, COUNT(folderItemMethods));

    auto registerClass = service<PluginRegisterClassProc>("PluginRegisterClass");
    registerClass(&FakeGadgetClass);
    registerClass(&FakeCounterClass);
    service<PluginRegisterClassProc>("PluginRegisterClassExtension")(&FakeFolderItemClass);
    for (MethodRecord &m : globalMethods)
        service<PluginRegisterMethodProc>("PluginRegisterMethod")(&m);
}
