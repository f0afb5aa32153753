// One wrapper per host service. Each keeps its service's address once the
// host has given one; a null answer is not kept, so a service the host lacks
// is asked for again on the next call.
#include "host/host.h"

namespace {

template <typename Proc>
Proc Resolve(Proc &slot, const char *name)
{
    if (!slot && gResolver)
        slot = reinterpret_cast<Proc>(gResolver(name));
    return slot;
}

PluginRegisterClassProc registerClassSlot;
PluginRegisterClassProc registerClassExtensionSlot;
PluginRegisterMethodProc registerMethodSlot;
PluginNewInstanceProc newInstanceSlot;
REALLockObjectProc lockObjectSlot;
REALLockObjectProc unlockObjectSlot;
REALLockStringProc lockStringSlot;
REALLockStringProc unlockStringSlot;
REALBuildStringProc buildStringSlot;
REALSetStringEncodingProc setStringEncodingSlot;
REALConvertStringProc convertStringSlot;
REALGetFontEncodingProc getFontEncodingSlot;
REALpathFromFolderItemProc pathFromFolderItemSlot;
newMemoryBlockProc newMemoryBlockSlot;
memoryBlockGetPtrProc memoryBlockGetPtrSlot;
memoryBlockGetSizeProc memoryBlockGetSizeSlot;
REALBuildPictureFromBufferProc buildPictureFromBufferSlot;
REALGetPictureMaskProc getPictureMaskSlot;
pluginPictureGraphicsGetterProc pictureGraphicsGetterSlot;
REALLoadObjectMethodProc loadObjectMethodSlot;

} // namespace

int32_t REALRegisterClass(REALclassDefinition *definition)
{
    PluginRegisterClassProc service = Resolve(registerClassSlot, "PluginRegisterClass");
    return service ? service(definition) : 0;
}

int32_t REALRegisterClassExtension(REALclassDefinition *definition)
{
    PluginRegisterClassProc service =
        Resolve(registerClassExtensionSlot, "PluginRegisterClassExtension");
    return service ? service(definition) : 0;
}

int32_t REALRegisterMethod(REALmethodDefinition *definition)
{
    PluginRegisterMethodProc service = Resolve(registerMethodSlot, "PluginRegisterMethod");
    return service ? service(definition) : 0;
}

REALobject REALnewInstance(const char *className)
{
    PluginNewInstanceProc service = Resolve(newInstanceSlot, "PluginNewInstance");
    return service ? service(className) : nullptr;
}

void REALLockObject(REALobject obj)
{
    if (REALLockObjectProc service = Resolve(lockObjectSlot, "REALLockObject"))
        service(obj);
}

void REALUnlockObject(REALobject obj)
{
    if (REALLockObjectProc service = Resolve(unlockObjectSlot, "REALUnlockObject"))
        service(obj);
}

void REALLockString(REALstring str)
{
    if (REALLockStringProc service = Resolve(lockStringSlot, "REALLockString"))
        service(str);
}

void REALUnlockString(REALstring str)
{
    if (REALLockStringProc service = Resolve(unlockStringSlot, "REALUnlockString"))
        service(str);
}

REALstring originalREALBuildString(const char *bytes, int32_t length)
{
    REALBuildStringProc service = Resolve(buildStringSlot, "REALBuildString");
    return service ? service(bytes, length) : nullptr;
}

void REALSetStringEncoding(REALstring str, uint32_t encoding)
{
    if (REALSetStringEncodingProc service =
            Resolve(setStringEncodingSlot, "REALSetStringEncoding"))
        service(str, encoding);
}

REALstring REALConvertString(REALstring str, uint32_t encoding)
{
    REALConvertStringProc service = Resolve(convertStringSlot, "REALConvertString");
    return service ? service(str, encoding) : nullptr;
}

uint32_t REALGetFontEncoding(const char *fontName)
{
    REALGetFontEncodingProc service = Resolve(getFontEncodingSlot, "REALGetFontEncoding");
    return service ? service(fontName) : 0;
}

REALstring REALpathFromFolderItem(REALfolderItem item)
{
    REALpathFromFolderItemProc service =
        Resolve(pathFromFolderItemSlot, "REALpathFromFolderItem");
    return service ? service(item) : nullptr;
}

REALmemoryBlock REALNewMemoryBlock(int32_t size)
{
    newMemoryBlockProc service = Resolve(newMemoryBlockSlot, "newMemoryBlock");
    return service ? service(size) : nullptr;
}

void *REALMemoryBlockGetPtr(REALmemoryBlock block)
{
    memoryBlockGetPtrProc service = Resolve(memoryBlockGetPtrSlot, "memoryBlockGetPtr");
    return service ? service(block) : nullptr;
}

int32_t REALMemoryBlockGetSize(REALmemoryBlock block)
{
    memoryBlockGetSizeProc service = Resolve(memoryBlockGetSizeSlot, "memoryBlockGetSize");
    return service ? service(block) : 0;
}

REALpicture REALBuildPictureFromBuffer(int32_t width, int32_t height, int32_t pixelType,
                                       void *buffer, int32_t rowBytes)
{
    REALBuildPictureFromBufferProc service =
        Resolve(buildPictureFromBufferSlot, "REALBuildPictureFromBuffer");
    return service ? service(width, height, pixelType, buffer, rowBytes) : nullptr;
}

REALpicture REALGetPictureMask(REALpicture pic, RBBoolean create)
{
    REALGetPictureMaskProc service = Resolve(getPictureMaskSlot, "REALGetPictureMask");
    return service ? service(pic, create) : nullptr;
}

REALgraphics REALGetPictureGraphics(REALpicture pic)
{
    pluginPictureGraphicsGetterProc service =
        Resolve(pictureGraphicsGetterSlot, "pluginPictureGraphicsGetter");
    return service ? service(pic) : nullptr;
}

void *REALLoadObjectMethod(REALobject obj, const char *declaration)
{
    REALLoadObjectMethodProc service = Resolve(loadObjectMethodSlot, "REALLoadObjectMethod");
    return service ? service(obj, declaration) : nullptr;
}
