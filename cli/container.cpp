#include "cli/container.h"

#include "cli/session.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

std::string hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

class Walker {
public:
    explicit Walker(const std::string &bytes) : b_(bytes) {}

    ContainerCheck run()
    {
        if (!need(13, "in the logical screen descriptor"))
            return result_;
        unsigned flags = byte(10);
        pos_ = 13;
        if (flags & 0x80) {
            size_t table = 3u << ((flags & 7) + 1);
            if (!need(table, "in the global colour table"))
                return result_;
            pos_ += table;
        }
        for (int block = 0;; block++) {
            std::string where = "block " + std::to_string(block);
            if (pos_ >= b_.size()) {
                cut("where " + where + " or the trailer should start");
                return result_;
            }
            unsigned intro = byte(pos_++);
            if (intro == 0x3B)
                return result_;
            if (intro == 0x21) {
                if (!need(1, "in " + where + ", an extension") ||
                    !subBlocks(where + ", an extension"))
                    return result_;
                pos_++;  // past the terminator
            } else if (intro == 0x2C) {
                if (!image(where))
                    return result_;
            } else {
                result_.problem = "unexpected byte " + hex(intro) + " at offset " +
                                  std::to_string(pos_ - 1) + " where " + where +
                                  " or the trailer should start";
                return result_;
            }
        }
    }

private:
    unsigned byte(size_t at) const { return static_cast<unsigned char>(b_[at]); }

    bool need(size_t count, const std::string &where)
    {
        if (b_.size() - pos_ >= count)
            return true;
        cut(where);
        return false;
    }

    void cut(const std::string &where)
    {
        result_.truncated = true;
        result_.problem = "truncated: the data ends at byte " + std::to_string(b_.size()) + ", " + where;
    }

    // Label or code size byte at pos_, then sub-blocks up to a zero length.
    bool subBlocks(const std::string &where)
    {
        pos_++;
        for (;;) {
            if (!need(1, "in the data of " + where))
                return false;
            size_t length = byte(pos_);
            if (length == 0)
                return true;
            pos_++;
            if (!need(length, "in the data of " + where))
                return false;
            pos_ += length;
        }
    }

    bool image(const std::string &where)
    {
        if (!need(9, "in the descriptor of " + where + ", an image"))
            return false;
        uint64_t width = byte(pos_ + 4) | byte(pos_ + 5) << 8;
        uint64_t height = byte(pos_ + 6) | byte(pos_ + 7) << 8;
        unsigned flags = byte(pos_ + 8);
        pos_ += 9;
        if (width * height > kMaxImagePixels) {
            result_.problem = where + " is an image of " + std::to_string(width) + "x" +
                              std::to_string(height) + " pixels, more than this tool decodes (" +
                              std::to_string(kMaxImagePixels) + ")";
            result_.tooLarge = true;
            return false;
        }
        if (flags & 0x80) {
            size_t table = 3u << ((flags & 7) + 1);
            if (!need(table, "in the local colour table of " + where))
                return false;
            pos_ += table;
        }
        if (!need(1, "before the image data of " + where) || !subBlocks(where + ", an image"))
            return false;
        pos_++;
        return true;
    }

    const std::string &b_;
    size_t pos_ = 0;
    ContainerCheck result_;
};

std::string errnoText(int error)
{
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

ContainerCheck checkContainer(const std::string &bytes)
{
    return Walker(bytes).run();
}

std::string readInput(const std::string &path, bool lenient)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        fail(kBadFile, path + ": " + errnoText(errno));
    if (S_ISDIR(st.st_mode))
        fail(kBadFile, path + ": is a directory, not a GIF file");
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        fail(kBadFile, path + ": " + errnoText(errno));
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error)
        fail(kBadFile, path + ": " + errnoText(error));
    if (bytes.empty())
        fail(kBadFile, path + ": empty file, not a GIF");
    if (bytes.compare(0, 3, "GIF") != 0)
        fail(kBadFile, path + ": not a GIF file (it starts with " + quoteBytes(bytes.substr(0, 6)) +
                           ", not \"GIF\")");
    ContainerCheck check = checkContainer(bytes);
    if (check.tooLarge)
        fail(kBadFile, path + ": " + check.problem);
    if (!check.problem.empty()) {
        if (!lenient)
            fail(kBadFile, path + ": " + check.problem + " (--lenient reads it anyway)");
        std::fprintf(stderr, "gifqvr: warning: %s: %s; reading it as the plug-in does\n", path.c_str(),
                     check.problem.c_str());
    }
    return bytes;
}

void refuseToOverwrite(const std::string &input, const std::string &output)
{
    struct stat in, out;
    if (stat(input.c_str(), &in) == 0 && stat(output.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino)
        fail(kBadFile, output + ": is the input file; refusing to overwrite it");
}

std::string whyNotWritable(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "is a directory";
        if (access(path.c_str(), W_OK) != 0)
            return errnoText(errno);
        return "cannot be opened for writing";
    }
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty())
        parent = ".";
    if (stat(parent.c_str(), &st) != 0)
        return "cannot create it: " + parent.string() + ": " + errnoText(errno);
    if (!S_ISDIR(st.st_mode))
        return "cannot create it: " + parent.string() + " is not a directory";
    if (access(parent.c_str(), W_OK) != 0)
        return "cannot create it: " + parent.string() + ": " + errnoText(errno);
    return "cannot be opened for writing";
}

uint64_t fileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace cli
