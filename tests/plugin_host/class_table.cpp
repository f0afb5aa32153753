#include "tests/plugin_host/class_table.h"

#include <unistd.h>

#include <fstream>

std::string LoadFreshCopy()
{
    static int copies = 0;
    std::string path = "/tmp/plugin_host_copy_" + std::to_string(getpid()) + "_" +
                       std::to_string(copies++) + ".so";
    {
        std::ifstream in(GIFQVR_PLUGIN_FILE, std::ios::binary);
        std::ofstream out(path, std::ios::binary);
        out << in.rdbuf();
    }
    host().forgetRegistrations();
    host().clearJournal();
    EXPECT_TRUE(host().loadPlugin(path)) << path;
    unlink(path.c_str()); // stays mapped
    return path;
}
