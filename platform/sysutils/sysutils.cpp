#include "qbarcode/sysutils.h"

#include <cmath>
#include <limits>

namespace qb {

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args)
{
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    auto fail = [&] { throw Exception("Format '" + std::string(pattern) + "' invalid or incompatible with argument"); };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i == pattern.size())
            fail();
        char conversion = pattern[i];
        if (conversion == '%') {
            out += '%';
            continue;
        }
        if (next == args.end())
            fail();
        if (conversion == 's' && std::holds_alternative<std::string_view>(*next))
            out += std::get<std::string_view>(*next);
        else if (conversion == 'd' && std::holds_alternative<long long>(*next))
            out += std::to_string(std::get<long long>(*next));
        else
            fail();
        ++next;
    }
    return out;
}

std::string Trim(std::string_view s)
{
    std::size_t first = 0, last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 32)
        --last;
    return std::string(s.substr(first, last - first));
}

int StrToInt(std::string_view s)
{
    auto fail = [&]() -> int { throw EConvertError("'" + std::string(s) + "' is not a valid integer value"); };
    std::string_view t = s;
    while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32)
        t.remove_prefix(1);
    while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32)
        t.remove_suffix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (!t.empty() && t.front() == '$') {
        base = 16;
        t.remove_prefix(1);
    }
    if (t.empty())
        return fail();
    long long value = 0;
    for (char c : t) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return fail();
        value = value * base + digit;
        if (value > 0x100000000LL)
            return fail();
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return fail();
    return static_cast<int>(value);
}

std::int64_t Round(long double v)
{
    if (!(v > -9223372036854775808.0L && v < 9223372036854775808.0L))
        throw Exception("Invalid floating point operation");
#if defined(__x86_64__) || defined(__i386__)
    // The FPU's store-integer rounds to nearest, halves to even, in one
    // instruction (the rounding mode is the default one: nothing here
    // changes it).
    long long r;
    __asm__("fistpll %0" : "=m"(r) : "t"(v) : "st");
    return r;
#else
    return std::llrint(v);
#endif
}

void AssertionFailed(std::string_view message, const char* file, int line)
{
    std::string_view path(file);
    auto slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    throw EAssertionFailed(Format("%s (%s, line %d)", {message, path, static_cast<long long>(line)}));
}

} // namespace qb
