/* The host's side of the plug-in interface, as this host lays it out for
 * format version 9: the definition records it reads from a plug-in, the
 * string record it hands out, and the signatures of its services.
 *
 * Every field of these records is one word: 32 bits on the real target
 * (i386), pointer-sized on other targets. Integer fields are therefore
 * declared as words, so that no two fields share a word and none is padded.
 *
 * Only the handle types are declared outside the namespace: they are
 * opaque, and a program that also includes a plug-in's declarations sees
 * the same types there. */
#ifndef GIFQVR_STANDIN_HOST_SDK_H
#define GIFQVR_STANDIN_HOST_SDK_H

#include <cstddef>
#include <cstdint>

typedef struct REALobjectStruct *REALobject;
typedef struct REALstringStruct *REALstring;
typedef struct REALpictureStruct *REALpicture;
typedef struct REALgraphicsStruct *REALgraphics;
typedef struct REALfolderItemStruct *REALfolderItem;
typedef struct REALmemoryBlockStruct *REALmemoryBlock;
typedef void *(*REALResolver)(const char *name);

namespace standin {

using Word = uintptr_t;

/* The format version every record of a plug-in must declare. */
constexpr Word kFormatVersion = 9;
/* The only pixel type "REALBuildPictureFromBuffer" takes: 3 bytes per pixel,
 * red, green, blue. */
constexpr int32_t kPixelTypeRGB = 1;

/* A property entry, 10 words. */
struct PropertyRecord {
    const char *group;
    const char *name;
    const char *type;
    Word flags;
    void *getter;
    void *setter;
    Word param;
    Word editor;
    Word enumCount;
    const char **enumEntries;
};

/* A method entry, 4 words. */
struct MethodRecord {
    void *function;
    void *setterFunction;
    const char *declaration;
    Word mFlags;
};

/* A class definition, 25 words. The host writes forSystemUse: the offset of
 * the plug-in's instance data inside every instance of the class. */
struct ClassRecord {
    Word version;
    const char *name;
    const char *superName;
    Word dataSize;
    Word forSystemUse;
    void *constructor;
    void *destructor;
    PropertyRecord *properties;
    Word propertyCount;
    MethodRecord *methods;
    Word methodCount;
    void *events;
    Word eventCount;
    void *eventInstances;
    Word eventInstanceCount;
    const char *interfaces;
    void *bindDescriptions;
    Word bindDescriptionCount;
    void *constants;
    Word constantCount;
    Word mFlags;
    PropertyRecord *sharedProperties;
    Word sharedPropertyCount;
    MethodRecord *sharedMethods;
    Word sharedMethodCount;
};

/* What a string handle points at, 4 words: its count of references, the
 * buffer (one byte that is not text, the text, a zero byte), the number of
 * bytes allocated for the buffer, and the length of the text (signed 32-bit). */
struct StringRecord {
    Word useCount;
    char *buffer;
    Word allocated;
    Word length;
};

static_assert(sizeof(PropertyRecord) == 10 * sizeof(Word), "a property entry is 10 words");
static_assert(sizeof(MethodRecord) == 4 * sizeof(Word), "a method entry is 4 words");
static_assert(sizeof(ClassRecord) == 25 * sizeof(Word), "a class definition is 25 words");
static_assert(sizeof(StringRecord) == 4 * sizeof(Word), "a string record is 4 words");

inline StringRecord *stringRecord(REALstring s)
{
    return reinterpret_cast<StringRecord *>(s);
}

/* The services, by the name the resolver answers to. */
using RegisterPluginVersionProc = void (*)(int32_t version);                 /* "RegisterPluginVersion" */
using REALGetRBVersionProc = double (*)();                                   /* "REALGetRBVersion" */
using PluginRegisterClassProc = int32_t (*)(ClassRecord *definition);        /* "PluginRegisterClass", "...Extension" */
using PluginRegisterMethodProc = int32_t (*)(MethodRecord *definition);      /* "PluginRegisterMethod" */
using PluginNewInstanceProc = REALobject (*)(const char *className);         /* "PluginNewInstance" */
using REALLockObjectProc = void (*)(REALobject object);                      /* "REALLockObject", "REALUnlockObject" */
using REALLockStringProc = void (*)(REALstring string);                      /* "REALLockString", "REALUnlockString" */
using REALBuildStringProc = REALstring (*)(const char *bytes, int32_t length); /* "REALBuildString" */
using REALSetStringEncodingProc = void (*)(REALstring string, uint32_t encoding);
using REALConvertStringProc = REALstring (*)(REALstring string, uint32_t encoding);
using REALGetFontEncodingProc = uint32_t (*)(const char *fontName);
using REALpathFromFolderItemProc = REALstring (*)(REALfolderItem item);
using newMemoryBlockProc = REALmemoryBlock (*)(int32_t size);
using memoryBlockGetPtrProc = void *(*)(REALmemoryBlock block);
using memoryBlockGetSizeProc = int32_t (*)(REALmemoryBlock block);
using REALBuildPictureFromBufferProc = REALpicture (*)(int32_t width, int32_t height, int32_t pixelType,
                                                       void *buffer, int32_t rowBytes);
using REALGetPictureMaskProc = REALpicture (*)(REALpicture picture, uint8_t create);
using pluginPictureGraphicsGetterProc = REALgraphics (*)(REALpicture picture);
using REALLoadObjectMethodProc = void *(*)(REALobject object, const char *declaration);
/* The graphics method that "REALLoadObjectMethod" hands out for
 * kDrawPictureDeclaration: the graphics first, then the declared arguments. */
using DrawPictureProc = void (*)(REALgraphics g, REALpicture p, int32_t x, int32_t y, int32_t dw, int32_t dh,
                                 int32_t sx, int32_t sy, int32_t sw, int32_t sh);

} // namespace standin

#endif
