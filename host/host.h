/* Host handle types, the host SDK's definition records, and the plug-in's
 * wrappers around the host services it resolves by name. Shared with the
 * stand-in host, which lays its objects out to match. */
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

/* A host string: the plug-in reads the buffer pointer (second word) and the
 * length (fourth word) in place. The text starts at buffer[1] and is followed
 * by a zero byte. On i386 every field is one 32-bit word. */
typedef struct REALstringStruct {
    int32_t refCount;
    char *buffer;
    uint32_t encoding;
    int32_t length;
} REALstringStruct;
typedef REALstringStruct *REALstring;

typedef uint8_t RBBoolean;
typedef uint32_t RBColor;

enum { kCurrentREALControlVersion = 9 };
enum { RBPixelType24 = 1 };

/* Text-encoding codes. */
enum { kREALTextEncodingASCII = 0x0600, kREALTextEncodingRaw = 0xFFFF };

typedef void *(*REALResolver)(const char *name);

/* Property entry. The host calls getter(object, param) and
 * setter(object, param, value); param is ignored by the plug-in. */
typedef struct REALproperty {
    const char *group;
    const char *name;
    const char *type;
    void *getter;
    void *setter;
    int32_t param;
    uint32_t editor;
    int32_t enumCount;
    const char **enumEntries;
} REALproperty;

/* Method entry. function takes the object (class methods) and the declared
 * arguments; setterFunction also takes the assigned value last. */
typedef struct REALmethodDefinition {
    void *function;
    void *setterFunction;
    const char *declaration;
    uint32_t mFlags;
    uint32_t attributeCount;
    void *attributes;
} REALmethodDefinition;

/* Class definition. forSystemUse receives, from the host, the offset of the
 * plug-in's instance data inside every instance of the class. */
typedef struct REALclassDefinition {
    uint32_t version;
    const char *name;
    const char *superName;
    uint32_t dataSize;
    intptr_t forSystemUse;
    void *constructor;
    void *destructor;
    REALproperty *properties;
    uint32_t propertyCount;
    REALmethodDefinition *methods;
    uint32_t methodCount;
    void *events;
    uint32_t eventCount;
    void *eventInstances;
    uint32_t eventInstanceCount;
    const char *interfaces;
    void *bindDescriptions;
    uint32_t bindDescriptionCount;
    void *constants;
    uint32_t constantCount;
    uint32_t mFlags;
    REALproperty *sharedProperties;
    uint32_t sharedPropertyCount;
    REALmethodDefinition *sharedMethods;
    uint32_t sharedMethodCount;
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

#endif
