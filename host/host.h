/* Host handle types, the host SDK's definition records, and the plug-in's
 * wrappers around the host services it resolves by name. */
#ifndef GIFQVR_HOST_HOST_H
#define GIFQVR_HOST_HOST_H

#include <stdint.h>
#include <stdio.h>

#define HOST_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque, host-owned, reference-counted handles. Pictures, graphics, folder
 * items and memory blocks are objects too and are locked as objects. */
typedef struct REALobjectStruct *REALobject;
typedef struct REALpictureStruct *REALpicture;
typedef struct REALgraphicsStruct *REALgraphics;
typedef struct REALfolderItemStruct *REALfolderItem;
typedef struct REALmemoryBlockStruct *REALmemoryBlock;

/* A host string: a record of four words, of which the plug-in reads two in
 * place (REALStringBytes, REALStringLength): the second, the buffer, whose
 * text starts at its second byte and is followed by a zero byte; and the
 * fourth, the length of the text in bytes (signed 32-bit). The other two
 * words are the host's. */
typedef struct REALstringStruct *REALstring;

typedef uint8_t RBBoolean;
typedef uint32_t RBColor;

enum { kCurrentREALControlVersion = 9 };
enum { RBPixelType24 = 1 };

/* Text-encoding codes. */
enum { kREALTextEncodingASCII = 0x0600, kREALTextEncodingRaw = 0xFFFF };

typedef void *(*REALResolver)(const char *name);

/* The definition records, in the host's layout for format version 9: every
 * field is one word (32 bits on the real target, pointer-sized elsewhere),
 * so integer fields are word-sized too. The plug-in leaves every field it
 * does not fill zero. */

/* Property entry, 10 words. The host calls getter(object, param) and
 * setter(object, param, value); param is ignored by the plug-in. */
typedef struct REALproperty {
    const char *group;
    const char *name;
    const char *type;
    uintptr_t flags;
    void *getter;
    void *setter;
    intptr_t param;
    uintptr_t editor;
    uintptr_t enumCount;
    const char **enumEntries;
} REALproperty;

/* Method entry, 4 words. function takes the object (class methods) and the
 * declared arguments; setterFunction also takes the assigned value last. */
typedef struct REALmethodDefinition {
    void *function;
    void *setterFunction;
    const char *declaration;
    uintptr_t mFlags;
} REALmethodDefinition;

/* Class definition, 25 words. forSystemUse receives, from the host, the
 * offset of the plug-in's instance data inside every instance of the class. */
typedef struct REALclassDefinition {
    uintptr_t version;
    const char *name;
    const char *superName;
    uintptr_t dataSize;
    intptr_t forSystemUse;
    void *constructor;
    void *destructor;
    REALproperty *properties;
    uintptr_t propertyCount;
    REALmethodDefinition *methods;
    uintptr_t methodCount;
    void *events;
    uintptr_t eventCount;
    void *eventInstances;
    uintptr_t eventInstanceCount;
    const char *interfaces;
    void *bindDescriptions;
    uintptr_t bindDescriptionCount;
    void *constants;
    uintptr_t constantCount;
    uintptr_t mFlags;
    REALproperty *sharedProperties;
    uintptr_t sharedPropertyCount;
    REALmethodDefinition *sharedMethods;
    uintptr_t sharedMethodCount;
} REALclassDefinition;

/* Signatures of the host services, by the name asked of the resolver. */
typedef void (*RegisterPluginVersionProc)(int32_t version);             /* "RegisterPluginVersion" */
typedef double (*REALGetRBVersionProc)(void);                           /* "REALGetRBVersion" */
typedef int32_t (*PluginRegisterClassProc)(REALclassDefinition *def);   /* "PluginRegisterClass", "PluginRegisterClassExtension" */
typedef int32_t (*PluginRegisterMethodProc)(REALmethodDefinition *def); /* "PluginRegisterMethod" */
typedef REALobject (*PluginNewInstanceProc)(const char *className);     /* "PluginNewInstance" */
typedef void (*REALLockObjectProc)(REALobject obj);                     /* "REALLockObject", "REALUnlockObject" */
typedef void (*REALLockStringProc)(REALstring str);                     /* "REALLockString", "REALUnlockString" */
typedef REALstring (*REALBuildStringProc)(const char *bytes, int32_t length); /* "REALBuildString" */
typedef void (*REALSetStringEncodingProc)(REALstring str, uint32_t encoding); /* "REALSetStringEncoding" */
typedef REALstring (*REALConvertStringProc)(REALstring str, uint32_t encoding); /* "REALConvertString" */
typedef uint32_t (*REALGetFontEncodingProc)(const char *fontName);      /* "REALGetFontEncoding" */
typedef REALstring (*REALpathFromFolderItemProc)(REALfolderItem item);  /* "REALpathFromFolderItem" */
typedef REALmemoryBlock (*newMemoryBlockProc)(int32_t size);            /* "newMemoryBlock" */
typedef void *(*memoryBlockGetPtrProc)(REALmemoryBlock block);          /* "memoryBlockGetPtr" */
typedef int32_t (*memoryBlockGetSizeProc)(REALmemoryBlock block);       /* "memoryBlockGetSize" */
typedef REALpicture (*REALBuildPictureFromBufferProc)(int32_t width, int32_t height,
    int32_t pixelType, void *buffer, int32_t rowBytes);                 /* "REALBuildPictureFromBuffer" */
typedef REALpicture (*REALGetPictureMaskProc)(REALpicture pic, RBBoolean create); /* "REALGetPictureMask" */
typedef REALgraphics (*pluginPictureGraphicsGetterProc)(REALpicture pic); /* "pluginPictureGraphicsGetter" */
typedef void *(*REALLoadObjectMethodProc)(REALobject obj, const char *declaration); /* "REALLoadObjectMethod" */

/* The graphics method "DrawPicture( p as Picture, x as Integer, ... )" as
 * REALLoadObjectMethod returns it: the graphics first, then the arguments. */
typedef void (*DrawPictureProc)(REALgraphics g, REALpicture p, int32_t x, int32_t y,
    int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh);

/* How the host calls the plug-in's functions. Host types map to C types as:
 * Integer/integer -> int32_t, Boolean/boolean -> RBBoolean (one byte),
 * color -> RBColor (0x00RRGGBB), String/string -> REALstring,
 * Picture/picture -> REALpicture, Memoryblock/memoryblock -> REALmemoryBlock,
 * folderitem -> REALfolderItem, a registered class -> REALobject.
 *   getter:            T get(REALobject self, int32_t param)
 *   setter:            void set(REALobject self, int32_t param, T value)
 *   class method:      R fn(REALobject self, args...)
 *   its setter form:   void fn(REALobject self, args..., T value)
 *   Folderitem method: R fn(REALfolderItem item, args...)
 *   global method:     R fn(args...)
 *   destructor:        void dtor(REALobject self)
 * An object's instance data lies at (char *)self + def->forSystemUse. */

#ifdef __cplusplus
}
#endif

/* The exported entry and globals (plain names), then wrappers around the
 * host services and helpers over host values. The wrappers and helpers are
 * C++ and hidden; only the names in host/exports.map leave the library. */
#ifdef __cplusplus
extern "C" {
#endif

HOST_API extern REALResolver gResolver;
HOST_API extern double rbversion_rbversion;
HOST_API void REALPluginMain(REALResolver resolver);

#ifdef __cplusplus
}

/* Service wrappers: each resolves its service once, on first success, and
 * returns 0/null (or does nothing) while the host does not offer it. */
int32_t REALRegisterClass(REALclassDefinition *definition);
int32_t REALRegisterClassExtension(REALclassDefinition *definition);
int32_t REALRegisterMethod(REALmethodDefinition *definition);
REALobject REALnewInstance(const char *className);
void REALLockObject(REALobject obj);
void REALUnlockObject(REALobject obj);
void REALLockString(REALstring str);
void REALUnlockString(REALstring str);
REALstring originalREALBuildString(const char *bytes, int32_t length);
void REALSetStringEncoding(REALstring str, uint32_t encoding);
REALstring REALConvertString(REALstring str, uint32_t encoding);
uint32_t REALGetFontEncoding(const char *fontName);
REALstring REALpathFromFolderItem(REALfolderItem item);
REALmemoryBlock REALNewMemoryBlock(int32_t size);
void *REALMemoryBlockGetPtr(REALmemoryBlock block);
int32_t REALMemoryBlockGetSize(REALmemoryBlock block);
REALpicture REALBuildPictureFromBuffer(int32_t width, int32_t height,
    int32_t pixelType, void *buffer, int32_t rowBytes);
REALpicture REALGetPictureMask(REALpicture pic, RBBoolean create);
REALgraphics REALGetPictureGraphics(REALpicture pic);
void *REALLoadObjectMethod(REALobject obj, const char *declaration);

/* A host string read in place: its bytes and their count; none for nil. */
inline const char *REALStringBuffer(REALstring str)
{
    return str ? reinterpret_cast<const char *>(reinterpret_cast<const uintptr_t *>(str)[1]) : nullptr;
}
inline const char *REALStringBytes(REALstring str)
{
    const char *buffer = REALStringBuffer(str);
    return buffer ? buffer + 1 : nullptr;
}
inline int32_t REALStringLength(REALstring str)
{
    return REALStringBuffer(str) ? static_cast<int32_t>(reinterpret_cast<const uintptr_t *>(str)[3]) : 0;
}

/* A singly linked list of host objects, each locked once by the list. */
struct MyListData {
    MyListData *next;
    REALobject object;
};
int32_t MyListAppend(MyListData **list, REALobject object);
int32_t MyListCount(MyListData *list);
REALobject MyListGet(MyListData *list, int32_t index); /* one new reference */
void MyListFree(MyListData **list);

/* Builders of new host values (one reference for the caller), null for
 * empty input. */
REALmemoryBlock REALBuildMemoryblock(const void *bytes, int32_t length);
REALstring REALBuildUnicodeString(const void *bytes, uint32_t length, uint32_t encoding);

/* Folder items as stdio streams; the caller closes the stream. A buffer
 * size of 0 or less keeps the default buffering. */
FILE *OpenCFILEread(REALfolderItem item, int32_t bufferSize);
FILE *OpenCFILEwrite(REALfolderItem item, int32_t bufferSize);
FILE *OpenCFILEmode(REALfolderItem item, const char *mode, int32_t bufferSize);
REALstring GetFolderItemPathWithSystemEncoding(REALfolderItem item);
#endif /* __cplusplus */

#endif
