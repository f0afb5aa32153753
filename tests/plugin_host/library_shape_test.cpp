// Checks the built plug-in library itself: the dynamic symbols it defines
// are exactly the names it gives its users, none mangled; it runs no
// initialisers beyond those a toolchain-built empty library runs; and it
// needs nothing at run time beyond libc and libm.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct ElfFacts {
    bool ok = false;
    std::set<std::string> definedDynamic; // global or weak, defined here
    std::vector<std::string> needed;
    bool hasInitArray = false;
    uint64_t initArraySize = 0;   // DT_INIT_ARRAYSZ
    uint64_t preinitArraySize = 0;
    uint64_t ctorsSize = 0;       // old-style .ctors section
    bool hasDtInit = false;
};

std::vector<unsigned char> ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

template <typename Ehdr, typename Shdr, typename Sym, typename Dyn, typename Bind>
ElfFacts Parse(const std::vector<unsigned char> &file, Bind bindOf)
{
    ElfFacts facts;
    if (file.size() < sizeof(Ehdr))
        return facts;
    Ehdr eh;
    memcpy(&eh, file.data(), sizeof eh);
    auto section = [&](size_t i) {
        Shdr sh;
        memcpy(&sh, file.data() + eh.e_shoff + i * eh.e_shentsize, sizeof sh);
        return sh;
    };
    if (eh.e_shoff == 0 || eh.e_shoff + uint64_t(eh.e_shnum) * eh.e_shentsize > file.size())
        return facts;
    Shdr names = section(eh.e_shstrndx);
    for (size_t i = 0; i < eh.e_shnum; i++) {
        Shdr sh = section(i);
        const char *name = reinterpret_cast<const char *>(file.data() + names.sh_offset + sh.sh_name);
        if (strcmp(name, ".ctors") == 0)
            facts.ctorsSize = sh.sh_size;
        if (sh.sh_type == SHT_DYNSYM) {
            Shdr strings = section(sh.sh_link);
            const char *str = reinterpret_cast<const char *>(file.data() + strings.sh_offset);
            for (size_t k = 1; k < sh.sh_size / sizeof(Sym); k++) {
                Sym sym;
                memcpy(&sym, file.data() + sh.sh_offset + k * sizeof(Sym), sizeof sym);
                unsigned bind = bindOf(sym.st_info);
                if (sym.st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK))
                    facts.definedDynamic.insert(str + sym.st_name);
            }
        }
        if (sh.sh_type == SHT_DYNAMIC) {
            Shdr strings = section(sh.sh_link);
            const char *str = reinterpret_cast<const char *>(file.data() + strings.sh_offset);
            for (size_t k = 0; k < sh.sh_size / sizeof(Dyn); k++) {
                Dyn dyn;
                memcpy(&dyn, file.data() + sh.sh_offset + k * sizeof(Dyn), sizeof dyn);
                switch (dyn.d_tag) {
                case DT_NEEDED: facts.needed.push_back(str + dyn.d_un.d_val); break;
                case DT_INIT_ARRAY: facts.hasInitArray = true; break;
                case DT_INIT_ARRAYSZ: facts.initArraySize = dyn.d_un.d_val; break;
                case DT_PREINIT_ARRAYSZ: facts.preinitArraySize = dyn.d_un.d_val; break;
                case DT_INIT: facts.hasDtInit = true; break;
                default: break;
                }
            }
        }
    }
    facts.ok = true;
    return facts;
}

ElfFacts Inspect(const std::string &path)
{
    std::vector<unsigned char> file = ReadFile(path);
    if (file.size() < EI_NIDENT || memcmp(file.data(), ELFMAG, SELFMAG) != 0)
        return ElfFacts();
    if (file[EI_CLASS] == ELFCLASS32)
        return Parse<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, Elf32_Dyn>(
            file, [](unsigned char info) { return unsigned(ELF32_ST_BIND(info)); });
    return Parse<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, Elf64_Dyn>(
        file, [](unsigned char info) { return unsigned(ELF64_ST_BIND(info)); });
}

// What the library gives its users: the entry and the words the host and
// the plug-in share, the codec's functions under their own names, and the
// class definition records the host writes into. Written out here rather
// than read from the version script, so that a name dropped from or added
// to the script shows.
const std::set<std::string> &Exports()
{
    static const std::set<std::string> names = {
        // The entry and the shared words.
        "REALPluginMain", "gResolver", "rbversion_rbversion", "LastWidth", "LastHeight",
        // Records and their memory.
        "gif_alloc", "app_realloc",
        "new_gif", "new_gif_screen", "new_gif_palette", "new_gif_block", "new_gif_extension",
        "new_gif_data", "new_gif_picture", "new_gif_decoder", "new_gif_encoder",
        "del_gif", "del_gif_screen", "del_gif_palette", "del_gif_block", "del_gif_extension",
        "del_gif_data", "del_gif_picture", "del_gif_decoder", "del_gif_encoder",
        // Reading the container and the image data.
        "read_gif", "read_one_gif_picture", "read_gif_screen", "read_gif_palette", "read_gif_block",
        "read_gif_extension", "read_gif_data", "read_gif_int",
        "read_gif_picture", "init_gif_decoder", "read_gif_code", "read_gif_line",
        // Writing them.
        "write_gif", "write_gif_screen", "write_gif_palette", "write_gif_block", "write_gif_extension",
        "write_gif_data", "write_gif_int",
        "write_gif_picture", "init_gif_encoder", "write_gif_line", "flush_gif_encoder", "write_gif_code",
        // The text dump.
        "print_gif", "print_gif_screen", "print_gif_palette", "print_gif_block", "print_gif_extension",
        "print_gif_picture", "print_gif_data",
        // The class definition records.
        "GifClass", "GifScreenClass", "GifPaletteClass", "GifBlockClass", "GifExtensionClass",
        "GifDataClass", "GifPictureClass", "folderitem2Class3",
    };
    return names;
}

class LibraryShape : public ::testing::Test {
protected:
    ElfFacts plugin = Inspect(GIFQVR_PLUGIN_FILE);
    ElfFacts reference = Inspect(GIFQVR_REFERENCE_FILE);
};

TEST_F(LibraryShape, ExportsExactlyTheListedPlainNames)
{
    ASSERT_TRUE(plugin.ok) << GIFQVR_PLUGIN_FILE;
    const std::set<std::string> &listed = Exports();

    for (const std::string &name : plugin.definedDynamic) {
        EXPECT_TRUE(listed.count(name)) << "exported but not listed: " << name;
        EXPECT_NE(name.rfind("_Z", 0), 0u) << "mangled export: " << name;
    }
    for (const std::string &name : listed)
        EXPECT_TRUE(plugin.definedDynamic.count(name)) << "listed but not exported: " << name;
}

TEST_F(LibraryShape, RunsNoInitialisersOfItsOwn)
{
    ASSERT_TRUE(plugin.ok);
    ASSERT_TRUE(reference.ok) << GIFQVR_REFERENCE_FILE;
    // An empty library from the same toolchain carries the runtime's own
    // entries (frame_dummy); anything more is a static constructor.
    EXPECT_EQ(plugin.initArraySize, reference.initArraySize);
    EXPECT_EQ(plugin.hasInitArray, reference.hasInitArray);
    EXPECT_EQ(plugin.preinitArraySize, 0u);
    EXPECT_EQ(plugin.ctorsSize, reference.ctorsSize);
    EXPECT_EQ(plugin.hasDtInit, reference.hasDtInit);
}

TEST_F(LibraryShape, NeedsOnlyLibcAndLibm)
{
    ASSERT_TRUE(plugin.ok);
    EXPECT_FALSE(plugin.needed.empty());
    for (const std::string &lib : plugin.needed) {
        bool allowed = lib == "libc.so.6" || lib == "libm.so.6" || lib.rfind("ld-linux", 0) == 0;
        EXPECT_TRUE(allowed) << "needs " << lib;
    }
}

} // namespace
