// A shared library that is not a plug-in: it has no REALPluginMain.
extern "C" __attribute__((visibility("default"))) int standin_not_a_plugin()
{
    return 1;
}
