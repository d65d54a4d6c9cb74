#include "text/utf8.h"

#include <cstddef>

namespace qb {

namespace gfx {

bool IsUtf8(const std::string& s)
{
    std::size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The range of the second byte excludes overlong forms, surrogates
        // and code points above U+10FFFF.
        std::size_t extra;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c == 0xE0)
            extra = 2, lo = 0xA0;
        else if (c == 0xED)
            extra = 2, hi = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF)
            extra = 2;
        else if (c == 0xF0)
            extra = 3, lo = 0x90;
        else if (c >= 0xF1 && c <= 0xF3)
            extra = 3;
        else if (c == 0xF4)
            extra = 3, hi = 0x8F;
        else
            return false;
        if (n - i <= extra)
            return false;
        unsigned char c1 = s[i + 1];
        if (c1 < lo || c1 > hi)
            return false;
        for (std::size_t k = 2; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

std::string AsUtf8(const std::string& s)
{
    if (IsUtf8(s))
        return s;
    std::string out;
    out.reserve(s.size() * 2);
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace gfx

} // namespace qb
