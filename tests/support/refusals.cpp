#include "tests/support/refusals.h"

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

// A service of the host's, named `Name` and of type `Proc`, refused like an
// allocation: it answers null before the host's own is called.
template <const char *Name, typename Proc>
struct Refusing;
template <const char *Name, typename R, typename... A>
struct Refusing<Name, R (*)(A...)> {
    static R call(A... args)
    {
        if (Refuse())
            return nullptr;
        return reinterpret_cast<R (*)(A...)>(standin::Host::instance().service(Name))(args...);
    }
};

template <const char *Name, typename Proc>
void Install()
{
    standin::Host::instance().replace(Name, reinterpret_cast<void *>(&Refusing<Name, Proc>::call));
}

// The host's services that make something.
constexpr char kNewInstance[] = "PluginNewInstance";
constexpr char kBuildString[] = "REALBuildString";
constexpr char kConvertString[] = "REALConvertString";
constexpr char kPathFromFolderItem[] = "REALpathFromFolderItem";
constexpr char kNewMemoryBlock[] = "newMemoryBlock";
constexpr char kMemoryBlockGetPtr[] = "memoryBlockGetPtr";
constexpr char kBuildPicture[] = "REALBuildPictureFromBuffer";
constexpr char kGetPictureMask[] = "REALGetPictureMask";
constexpr char kPictureGraphics[] = "pluginPictureGraphicsGetter";
constexpr char kLoadObjectMethod[] = "REALLoadObjectMethod";

}  // namespace

void InstallRefusingServices()
{
    Install<kNewInstance, standin::PluginNewInstanceProc>();
    Install<kBuildString, standin::REALBuildStringProc>();
    Install<kConvertString, standin::REALConvertStringProc>();
    Install<kPathFromFolderItem, standin::REALpathFromFolderItemProc>();
    Install<kNewMemoryBlock, standin::newMemoryBlockProc>();
    Install<kMemoryBlockGetPtr, standin::memoryBlockGetPtrProc>();
    Install<kBuildPicture, standin::REALBuildPictureFromBufferProc>();
    Install<kGetPictureMask, standin::REALGetPictureMaskProc>();
    Install<kPictureGraphics, standin::pluginPictureGraphicsGetterProc>();
    Install<kLoadObjectMethod, standin::REALLoadObjectMethodProc>();
}

}  // namespace refusals

// Asked by the plug-in's test build before each of its allocations.
extern "C" __attribute__((visibility("default"))) int heap_exhaustion_refuses(void)
{
    return refusals::Refuse();
}
