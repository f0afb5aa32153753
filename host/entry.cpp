// The entry the host calls once after loading the library.
#include "host/host.h"
#include "classes/classes.h"

REALResolver gResolver = nullptr;
double rbversion_rbversion = 0;

void REALPluginMain(REALResolver resolver)
{
    gResolver = resolver;
    if (!resolver)
        return;

    // An older host may not offer it; calling its null answer would crash.
    RegisterPluginVersionProc registerVersion =
        reinterpret_cast<RegisterPluginVersionProc>(resolver("RegisterPluginVersion"));
    if (registerVersion)
        registerVersion(kCurrentREALControlVersion);

    REALGetRBVersionProc getVersion =
        reinterpret_cast<REALGetRBVersionProc>(resolver("REALGetRBVersion"));
    if (getVersion)
        rbversion_rbversion = getVersion();

    PluginEntry();
}
