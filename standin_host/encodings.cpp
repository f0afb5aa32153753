/* Text encodings the host knows, for "REALConvertString". */
#include "standin_host/internal.h"

namespace standin {

namespace {
bool decode(const std::string &in, uint32_t from, std::u32string &out)
{
    out.clear();
    switch (from) {
    case kEncodingASCII:
        for (unsigned char c : in) {
            if (c > 0x7F)
                return false;
            out += c;
        }
        return true;
    case kEncodingLatin1:
        for (unsigned char c : in)
            out += c;
        return true;
    case kEncodingUTF8:
        for (size_t i = 0; i < in.size();) {
            unsigned char c = static_cast<unsigned char>(in[i]);
            int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
            if (extra < 0 || in.size() - i <= static_cast<size_t>(extra))
                return false;
            char32_t cp = extra ? c & (0x3F >> extra) : c;
            for (int k = 1; k <= extra; k++) {
                unsigned char next = static_cast<unsigned char>(in[i + static_cast<size_t>(k)]);
                if ((next & 0xC0) != 0x80)
                    return false;
                cp = cp << 6 | (next & 0x3F);
            }
            out += cp;
            i += static_cast<size_t>(extra) + 1;
        }
        return true;
    default:
        return false;
    }
}

bool encode(const std::u32string &in, uint32_t to, std::string &out)
{
    out.clear();
    for (char32_t cp : in) {
        switch (to) {
        case kEncodingASCII: out += cp < 0x80 ? static_cast<char>(cp) : '?'; break;
        case kEncodingLatin1: out += cp < 0x100 ? static_cast<char>(cp) : '?'; break;
        case kEncodingUTF8:
            if (cp < 0x80) {
                out += static_cast<char>(cp);
            } else if (cp < 0x800) {
                out += static_cast<char>(0xC0 | cp >> 6);
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                out += static_cast<char>(0xE0 | cp >> 12);
                out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | cp >> 18);
                out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
                out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            break;
        default: return false;
        }
    }
    return true;
}
} // namespace

bool convertText(const std::string &in, uint32_t from, uint32_t to, std::string &out)
{
    // Bytes without a known encoding travel as they are.
    const bool rawSource = from == kEncodingRaw || from == kEncodingUntagged;
    if (to == kEncodingRaw || (rawSource && (to == kEncodingUTF8 || to == kEncodingLatin1 || to == kEncodingASCII))) {
        out = in;
        return true;
    }
    std::u32string text;
    return decode(in, from, text) && encode(text, to, out);
}

} // namespace standin
