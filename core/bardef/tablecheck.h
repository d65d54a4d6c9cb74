// Compile-time checks of the encoder tables: each table's rows are checked
// with static_assert where the table is defined, so a mistyped row (a wrong
// element count, module sum or number of wide elements) cannot build.
#pragma once

#include <cstddef>

namespace qb {

namespace tablecheck {

constexpr std::size_t Length(const char* s)
{
    std::size_t n = 0;
    while (s[n] != '\0')
        ++n;
    return n;
}

constexpr bool Equal(const char* a, const char* b)
{
    std::size_t i = 0;
    for (; a[i] != '\0' && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

// True when no two of the rows are equal.
template <std::size_t N, typename Key> constexpr bool Distinct(const Key (&rows)[N], auto keyOf)
{
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (keyOf(rows[i]) == keyOf(rows[j]))
                return false;
    return true;
}

template <std::size_t N> constexpr bool DistinctStrings(const char* const (&rows)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (Equal(rows[i], rows[j]))
                return false;
    return true;
}

// --- Element widths written as the digits '1' to '4' (modules) ---------------

constexpr bool IsWidths(const char* w, std::size_t elements)
{
    if (Length(w) != elements)
        return false;
    for (std::size_t i = 0; i < elements; ++i)
        if (w[i] < '1' || w[i] > '4')
            return false;
    return true;
}

// Modules of the elements at positions first, first + step, ...
constexpr int WidthSum(const char* w, std::size_t first = 0, std::size_t step = 1)
{
    int sum = 0;
    for (std::size_t i = first; i < Length(w); i += step)
        sum += w[i] - '0';
    return sum;
}

// --- Line codes ('0'-'3' spaces, '5'-'8' bars, 'A'-'D' short bars) -----------

constexpr bool IsBar(char c)
{
    return (c >= '5' && c <= '8') || (c >= 'A' && c <= 'D');
}
constexpr bool IsSpace(char c)
{
    return c >= '0' && c <= '3';
}

// Width class 1 to 4 of a line code; 0 for anything else.
constexpr int WidthClass(char c)
{
    if (IsSpace(c))
        return c - '0' + 1;
    if (c >= '5' && c <= '8')
        return c - '5' + 1;
    if (c >= 'A' && c <= 'D')
        return c - 'A' + 1;
    return 0;
}

// `elements` line codes, alternating bar and space, the first a bar when
// barFirst is set.
constexpr bool Alternates(const char* lc, std::size_t elements, bool barFirst)
{
    if (Length(lc) != elements)
        return false;
    for (std::size_t i = 0; i < elements; ++i)
        if ((i % 2 == 0) == barFirst ? !IsBar(lc[i]) : !IsSpace(lc[i]))
            return false;
    return true;
}

enum class Kind { Any, Bar, Space };

constexpr bool OfKind(char c, Kind kind)
{
    return kind == Kind::Any || (kind == Kind::Bar ? IsBar(c) : IsSpace(c));
}

// Modules of the elements of a kind, at a ratio of 2.0, where width classes 1
// to 4 are 1 to 4 modules.
constexpr int Modules(const char* lc, Kind kind = Kind::Any)
{
    int sum = 0;
    for (std::size_t i = 0; i < Length(lc); ++i)
        if (OfKind(lc[i], kind))
            sum += WidthClass(lc[i]);
    return sum;
}

// Number of elements of the kind that are wide (width class 2 or more).
constexpr int Wide(const char* lc, Kind kind)
{
    int n = 0;
    for (std::size_t i = 0; i < Length(lc); ++i)
        n += OfKind(lc[i], kind) && WidthClass(lc[i]) >= 2;
    return n;
}

} // namespace tablecheck

} // namespace qb
