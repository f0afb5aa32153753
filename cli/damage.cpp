#include "cli/damage.h"

#include "cli/files.h"
#include "cli/session.h"

#include <cstdio>

namespace cli {

namespace {

std::string hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

const char kZeros[] = "; the missing bytes read as zeros";

class Walker {
public:
    explicit Walker(const std::string &bytes) : b_(bytes) {}

    ContainerCheck run()
    {
        if (!need(13, "inside the logical screen descriptor"))
            return result_;
        unsigned flags = byte(10);
        pos_ = 13;
        if (flags & 0x80) {
            size_t table = 3u << ((flags & 7) + 1);
            if (!need(table, "inside the global colour table"))
                return result_;
            pos_ += table;
        }
        for (int block = 0;; block++) {
            if (pos_ >= b_.size()) {
                result_.kind = ContainerCheck::kNoTrailer;
                result_.offset = pos_;
                result_.what = "no trailer after " +
                               (block == 0 ? std::string("the screen") : "block " + std::to_string(block - 1)) +
                               "; every block is whole";
                return result_;
            }
            unsigned intro = byte(pos_++);
            if (intro == 0x3B) {
                if (pos_ < b_.size())
                    set(ContainerCheck::kAfterTrailer, pos_,
                        std::to_string(b_.size() - pos_) + " byte" + (b_.size() - pos_ == 1 ? "" : "s") +
                            " after the trailer; the plug-in ignores them");
                return result_;
            }
            std::string where = "(block " + std::to_string(block) + ")";
            if (intro == 0x21) {
                std::string part = "inside an extension " + where;
                if (!need(1, part) || !subBlocks(part))
                    return result_;
                pos_++;  // past the terminator
            } else if (intro == 0x2C) {
                if (!image("image " + std::to_string(images_++) + " " + where))
                    return result_;
            } else {
                set(ContainerCheck::kUnexpectedByte, pos_ - 1,
                    "unexpected byte " + hex(intro) + " where block " + std::to_string(block) +
                        " or the trailer should start; the plug-in reads no further");
                return result_;
            }
        }
    }

private:
    unsigned byte(size_t at) const { return static_cast<unsigned char>(b_[at]); }

    void set(ContainerCheck::Kind kind, uint64_t offset, const std::string &what)
    {
        result_.kind = kind;
        result_.offset = offset;
        result_.what = what;
    }

    bool need(size_t count, const std::string &where)
    {
        if (b_.size() - pos_ >= count)
            return true;
        set(ContainerCheck::kTruncated, b_.size(), "the file ends " + where + kZeros);
        return false;
    }

    // Label or code size byte at pos_, then sub-blocks up to a zero length.
    bool subBlocks(const std::string &where)
    {
        pos_++;
        for (;;) {
            if (!need(1, where))
                return false;
            size_t length = byte(pos_);
            if (length == 0)
                return true;
            pos_++;
            if (!need(length, where))
                return false;
            pos_ += length;
        }
    }

    bool image(const std::string &name)
    {
        if (!need(9, "inside the descriptor of " + name))
            return false;
        uint64_t width = byte(pos_ + 4) | byte(pos_ + 5) << 8;
        uint64_t height = byte(pos_ + 6) | byte(pos_ + 7) << 8;
        unsigned flags = byte(pos_ + 8);
        if (width * height > kMaxImagePixels) {
            set(ContainerCheck::kTooLarge, pos_ - 1,
                name + " is an image of " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels, more than this tool decodes (" + std::to_string(kMaxImagePixels) + ")");
            return false;
        }
        pos_ += 9;
        if (flags & 0x80) {
            size_t table = 3u << ((flags & 7) + 1);
            if (!need(table, "inside the local colour table of " + name))
                return false;
            pos_ += table;
        }
        if (!need(1, "inside " + name + ", before its data") || !subBlocks("inside the data of " + name))
            return false;
        pos_++;
        return true;
    }

    const std::string &b_;
    size_t pos_ = 0;
    int images_ = 0;
    ContainerCheck result_;
};

}  // namespace

ContainerCheck checkContainer(const std::string &bytes)
{
    return Walker(bytes).run();
}

std::string readInput(const std::string &path, bool strict)
{
    std::string bytes = readBytes(path);
    if (bytes.empty())
        fail(kBadFile, path + ": empty file, not a GIF");
    if (bytes.compare(0, 3, "GIF") != 0)
        fail(kBadFile, path + ": not a GIF file (it starts with " + quoteBytes(bytes.substr(0, 6)) +
                           ", not \"GIF\")");
    ContainerCheck check = checkContainer(bytes);
    if (check.kind == ContainerCheck::kWhole)
        return bytes;
    std::string where = path + ": at byte " + std::to_string(check.offset) + ": " + check.what;
    if (check.kind == ContainerCheck::kTooLarge)
        fail(kBadFile, where);
    if (strict)
        fail(kBadFile, where + " (damaged; without --strict it is read as the plug-in reads it)");
    std::fprintf(stderr, "gifqvr: %s: %s\n", check.kind == ContainerCheck::kNoTrailer ? "note" : "warning",
                 where.c_str());
    return bytes;
}

}  // namespace cli
