#include "tests/support/refusals.h"

#include <utility>

#include "standin_host/standin_host.h"

namespace refusals {

Requests gRequests;

namespace {

bool Refuse()
{
    if (!gRequests.armed)
        return false;
    ++gRequests.made;
    bool refuse = gRequests.failAt > 0 && (gRequests.made == gRequests.failAt ||
                                           (gRequests.forGood && gRequests.made > gRequests.failAt));
    gRequests.refused += refuse;
    return refuse;
}

template <typename Proc>
Proc Real(const char *name)
{
    return reinterpret_cast<Proc>(standin::Host::instance().service(name));
}

// The host's services that make something, each refused like an allocation.
REALobject NewInstance(const char *name)
{
    return Refuse() ? nullptr : Real<standin::PluginNewInstanceProc>("PluginNewInstance")(name);
}
REALstring BuildString(const char *bytes, int32_t length)
{
    return Refuse() ? nullptr : Real<standin::REALBuildStringProc>("REALBuildString")(bytes, length);
}
REALstring ConvertString(REALstring string, uint32_t encoding)
{
    return Refuse() ? nullptr : Real<standin::REALConvertStringProc>("REALConvertString")(string, encoding);
}
REALstring PathFromFolderItem(REALfolderItem item)
{
    return Refuse() ? nullptr : Real<standin::REALpathFromFolderItemProc>("REALpathFromFolderItem")(item);
}
REALmemoryBlock NewMemoryBlock(int32_t size)
{
    return Refuse() ? nullptr : Real<standin::newMemoryBlockProc>("newMemoryBlock")(size);
}
void *MemoryBlockGetPtr(REALmemoryBlock block)
{
    return Refuse() ? nullptr : Real<standin::memoryBlockGetPtrProc>("memoryBlockGetPtr")(block);
}
REALpicture BuildPicture(int32_t width, int32_t height, int32_t type, void *pixels, int32_t rowBytes)
{
    return Refuse() ? nullptr
                    : Real<standin::REALBuildPictureFromBufferProc>("REALBuildPictureFromBuffer")(
                          width, height, type, pixels, rowBytes);
}
REALpicture GetPictureMask(REALpicture picture, uint8_t create)
{
    return Refuse() ? nullptr : Real<standin::REALGetPictureMaskProc>("REALGetPictureMask")(picture, create);
}
REALgraphics PictureGraphics(REALpicture picture)
{
    return Refuse() ? nullptr
                    : Real<standin::pluginPictureGraphicsGetterProc>("pluginPictureGraphicsGetter")(picture);
}
void *LoadObjectMethod(REALobject object, const char *declaration)
{
    return Refuse() ? nullptr
                    : Real<standin::REALLoadObjectMethodProc>("REALLoadObjectMethod")(object, declaration);
}

}  // namespace

void InstallRefusingServices()
{
    const std::pair<const char *, void *> refusing[] = {
        {"PluginNewInstance", reinterpret_cast<void *>(&NewInstance)},
        {"REALBuildString", reinterpret_cast<void *>(&BuildString)},
        {"REALConvertString", reinterpret_cast<void *>(&ConvertString)},
        {"REALpathFromFolderItem", reinterpret_cast<void *>(&PathFromFolderItem)},
        {"newMemoryBlock", reinterpret_cast<void *>(&NewMemoryBlock)},
        {"memoryBlockGetPtr", reinterpret_cast<void *>(&MemoryBlockGetPtr)},
        {"REALBuildPictureFromBuffer", reinterpret_cast<void *>(&BuildPicture)},
        {"REALGetPictureMask", reinterpret_cast<void *>(&GetPictureMask)},
        {"pluginPictureGraphicsGetter", reinterpret_cast<void *>(&PictureGraphics)},
        {"REALLoadObjectMethod", reinterpret_cast<void *>(&LoadObjectMethod)},
    };
    for (const auto &service : refusing)
        standin::Host::instance().replace(service.first, service.second);
}

}  // namespace refusals

// Asked by the plug-in's test build before each of its allocations.
extern "C" __attribute__((visibility("default"))) int heap_exhaustion_refuses(void)
{
    return refusals::Refuse();
}
