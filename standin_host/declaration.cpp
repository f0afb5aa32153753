/* Method declarations in the host language, such as
 * "Value(index as integer) as color". */
#include "standin_host/internal.h"

#include <cctype>

namespace standin {

bool identStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool identChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

namespace {

struct Cursor {
    const std::string &s;
    size_t i = 0;

    bool end() const { return i >= s.size(); }
    void spaces()
    {
        while (!end() && std::isspace(static_cast<unsigned char>(s[i])))
            i++;
    }
    bool take(char c)
    {
        if (end() || s[i] != c)
            return false;
        i++;
        return true;
    }
    bool ident(std::string &out, bool dotted = false)
    {
        if (end() || !identStart(s[i]))
            return false;
        size_t start = i;
        while (!end() && (identChar(s[i]) || (dotted && s[i] == '.' && i + 1 < s.size() && identStart(s[i + 1]))))
            i++;
        out = s.substr(start, i - start);
        return true;
    }
    /* A keyword, whole, in any case. */
    bool keyword(const char *word)
    {
        size_t n = std::char_traits<char>::length(word);
        if (s.size() - i < n || !sameName(s.substr(i, n), word))
            return false;
        if (i + n < s.size() && identChar(s[i + n]))
            return false;
        i += n;
        return true;
    }
};

} // namespace

Declaration parseDeclaration(const std::string &text)
{
    Declaration d;
    Cursor c{text};
    c.spaces();
    if (!c.ident(d.name))
        return Declaration();
    c.spaces();
    if (c.take('(')) {
        c.spaces();
        if (!c.take(')')) {
            for (;;) {
                Parameter p;
                c.spaces();
                if (c.keyword("byval") || c.keyword("byref"))
                    c.spaces();
                if (!c.ident(p.name))
                    return Declaration();
                c.spaces();
                if (!c.keyword("as"))
                    return Declaration();
                c.spaces();
                if (!c.ident(p.type, true))
                    return Declaration();
                c.spaces();
                d.params.push_back(p);
                if (c.take(','))
                    continue;
                if (c.take(')'))
                    break;
                return Declaration();
            }
        }
        c.spaces();
    }
    if (!c.end()) {
        if (!c.keyword("as"))
            return Declaration();
        c.spaces();
        if (!c.ident(d.returnType, true))
            return Declaration();
        c.spaces();
    }
    if (!c.end())
        return Declaration();
    d.valid = true;
    return d;
}

} // namespace standin
