// The giflib oracle: the native tool's dump of a file, read back into the
// frames and extensions giflib decoded.
#include "tests/object_classes/support.h"

#include <cstdio>
#include <filesystem>
#include <utility>

namespace objtest {

namespace {

// The giflib oracle built with the native tools.
std::string OracleProgram()
{
    std::string path = std::string(GIFQVR_TOOLS_DIR) + "/tools/gif_oracle";
    return std::filesystem::exists(path) ? path : std::string();
}

struct Reader {
    const std::string &s;
    size_t at = 0;
    bool failed = false;
    int32_t word()
    {
        if (at + 4 > s.size()) {
            failed = true;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 3; i >= 0; i--)
            v = (v << 8) | static_cast<unsigned char>(s[at + i]);
        at += 4;
        return static_cast<int32_t>(v);
    }
    std::string take(size_t n)
    {
        if (at + n > s.size()) {
            failed = true;
            return std::string();
        }
        std::string out = s.substr(at, n);
        at += n;
        return out;
    }
    Table table()
    {
        int32_t n = word();
        Table t;
        for (int32_t i = 0; i < n && !failed; i++) {
            std::string rgb = take(3);
            if (failed)
                break;
            t.push_back((static_cast<uint32_t>(static_cast<unsigned char>(rgb[0])) << 16) |
                        (static_cast<uint32_t>(static_cast<unsigned char>(rgb[1])) << 8) |
                        static_cast<unsigned char>(rgb[2]));
        }
        return t;
    }
};

}  // namespace

Decoded decodeWithGiflib(const std::string &path)
{
    Decoded d;
    std::string oracle = OracleProgram();
    if (oracle.empty()) {
        d.error = "no giflib oracle under " GIFQVR_TOOLS_DIR;
        return d;
    }
    std::string command = "'" + oracle + "' '" + path + "' 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        d.error = "cannot run " + oracle;
        return d;
    }
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    int status = pclose(pipe);
    if (status != 0) {
        d.error = "giflib refused the file: " + out;
        return d;
    }

    Reader r{out};
    d.header = r.take(6);
    d.width = r.word();
    d.height = r.word();
    d.colorResolution = r.word();
    d.background = r.word();
    d.aspect = r.word();
    d.sorted = r.word() != 0;
    d.global = r.table();
    std::vector<std::pair<int, std::vector<std::string>>> pending;
    while (!r.failed) {
        std::string type = r.take(1);
        if (r.failed)
            break;
        if (type == "X") {
            int label = r.word();
            int32_t count = r.word();
            std::vector<std::string> blocks;
            for (int32_t i = 0; i < count && !r.failed; i++)
                blocks.push_back(r.take(static_cast<size_t>(r.word())));
            pending.emplace_back(label, blocks);
        } else if (type == "I") {
            Decoded::Frame f;
            f.left = r.word();
            f.top = r.word();
            f.width = r.word();
            f.height = r.word();
            f.interlace = r.word() != 0;
            f.sorted = r.word() != 0;
            f.local = r.table();
            int32_t complete = r.word();
            std::string pixels = r.take(static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
            f.pixels.assign(pixels.begin(), pixels.end());
            f.extensions = pending;
            pending.clear();
            if (complete != f.height) {
                d.error = "giflib decoded only " + std::to_string(complete) + " rows";
                return d;
            }
            d.frames.push_back(f);
        } else if (type == "E") {
            if (r.word() != 0) {
                d.error = "giflib gave up";
                return d;
            }
            d.trailingExtensions = pending;
            d.ok = !r.failed;
            if (!d.ok)
                d.error = "oracle output ends early";
            return d;
        } else {
            d.error = "unknown oracle record";
            return d;
        }
    }
    d.error = "oracle output ends early";
    return d;
}

}  // namespace objtest
