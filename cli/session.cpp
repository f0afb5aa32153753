#include "cli/session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

void fail(Status status, const std::string &message)
{
    throw Failure{status, message};
}

Host &host()
{
    return Host::instance();
}

namespace {

bool isFile(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string executableDir()
{
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

}  // namespace

std::string findPlugin(const Options &options)
{
    if (!options.plugin.empty())
        return options.plugin;
    if (const char *env = std::getenv("GIFQVR_PLUGIN"); env && *env)
        return env;
    if (isFile(GIFQVR_PLUGIN_FILE))
        return GIFQVR_PLUGIN_FILE;
    // An installed tool: the library beside it or in ../lib.
    std::string dir = executableDir();
    for (const char *rel : {"/libgifqvr.so", "/../lib/libgifqvr.so"})
        if (!dir.empty() && isFile(dir + rel))
            return dir + rel;
    fail(kPluginFault, "cannot find the plug-in library (looked for " GIFQVR_PLUGIN_FILE
                       "); name it with --plugin or GIFQVR_PLUGIN");
}

void loadPlugin(const std::string &path)
{
    if (!isFile(path))
        fail(kPluginFault, "cannot load the plug-in " + path + ": no such file");
    Host &h = host();
    h.setJournalling(false);
    try {
        h.loadPlugin(path);
    } catch (const standin::HostError &e) {
        fail(kPluginFault, "cannot load the plug-in " + path + ": " + e.what());
    }
    std::vector<std::string> errors = h.takeErrors();
    if (!errors.empty())
        fail(kPluginFault, "the plug-in " + path + " misbehaved while loading: " + errors.front());
    if (!h.findClass("GIFQVR"))
        fail(kPluginFault, "the plug-in " + path + " registered no class GIFQVR");
}

BalanceCheck::BalanceCheck() : before_(host().snapshot()) {}

void BalanceCheck::verify()
{
    std::string changes = host().audit(before_);
    if (!changes.empty())
        fail(kPluginFault, "the plug-in left the host's references unbalanced:\n" + changes);
}

Value get(const Value &object, const std::string &property)
{
    return host().get(object, property);
}

int32_t getInt(const Value &object, const std::string &property)
{
    return host().get(object, property).asInteger();
}

bool getBool(const Value &object, const std::string &property)
{
    return host().get(object, property).asBoolean();
}

void set(const Value &object, const std::string &property, const Value &value)
{
    host().set(object, property, value);
}

void setInt(const Value &object, const std::string &property, int32_t value)
{
    host().set(object, property, Value::integer(value));
}

Value call(const Value &object, const std::string &method, const standin::Args &args)
{
    return host().call(object, method, args);
}

std::string bytesOf(const Value &string)
{
    return string.isNil() ? std::string() : host().text(string);
}

int paletteCount(const Value &palette)
{
    return palette.isNil() ? 0 : getInt(palette, "Count");
}

std::string quoteBytes(const std::string &bytes, size_t limit)
{
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size() && i < limit; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    out += bytes.size() > limit ? "\"..." : "\"";
    return out;
}

Rgba toRgba(const Value &picture, const Value &mask)
{
    Host &h = host();
    Rgba out;
    out.width = h.width(picture);
    out.height = h.height(picture);
    std::vector<uint8_t> rgb = h.pixels(picture);
    std::vector<uint8_t> alpha;
    if (!mask.isNil()) {
        if (h.width(mask) != out.width || h.height(mask) != out.height)
            fail(kPluginFault, "the plug-in made a mask of another size than its picture");
        alpha = h.pixels(mask);
    } else if (h.hasMask(picture)) {
        alpha = h.maskPixels(picture);
    }
    size_t count = static_cast<size_t>(out.width) * static_cast<size_t>(out.height);
    out.pixels.resize(count * 4);
    for (size_t i = 0; i < count; i++) {
        for (int c = 0; c < 3; c++)
            out.pixels[i * 4 + c] = rgb[i * 3 + c];
        // Host masks are grey levels: white hides the pixel, black shows it.
        int level = alpha.empty() ? 0 : (alpha[i * 3] + alpha[i * 3 + 1] + alpha[i * 3 + 2]) / 3;
        out.pixels[i * 4 + 3] = static_cast<uint8_t>(255 - level);
    }
    return out;
}

}  // namespace cli
