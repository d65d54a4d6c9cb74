// Interleaved, industrial and matrix 2 of 5.
#include "bardef/bardef.h"
#include "bardef/tablecheck.h"

namespace qb {

namespace {

// The two-of-five digit table (ISO/IEC 16390, the ITF symbol character
// table; industrial and matrix 2 of 5 use the same one): the five elements
// weigh 1, 2, 4, 7 and parity, and '1' marks one of the two wide elements.
constexpr const char* kTwoOfFive[10] = {
    "00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010",
};

// The digit a row stands for: the weights of its wide elements, 4 + 7
// standing for 0.
constexpr int WeightedDigit(const char* row)
{
    constexpr int weights[5] = {1, 2, 4, 7, 0};
    int wide = 0, sum = 0;
    for (int k = 0; k < 5; ++k)
        if (row[k] == '1')
            ++wide, sum += weights[k];
        else if (row[k] != '0')
            return -1;
    return wide != 2 || tablecheck::Length(row) != 5 ? -1 : sum == 11 ? 0 : sum;
}

constexpr bool CheckTwoOfFive()
{
    for (int d = 0; d < 10; ++d)
        if (WeightedDigit(kTwoOfFive[d]) != d)
            return false;
    return true;
}
static_assert(CheckTwoOfFive(), "each row has two wide elements of five, weighing its digit");

// Start and stop characters as line codes.
constexpr const char* kInterleavedStart = "5050"; // narrow bar, space, bar, space
constexpr const char* kInterleavedStop = "605";   // wide bar, narrow space, narrow bar
constexpr const char* kIndustrialStart = "606050";
constexpr const char* kIndustrialStop = "605060";
constexpr const char* kMatrixStart = "705050"; // a bar of width class 3 first
constexpr const char* kMatrixStop = "70505";   // the start without its last space
static_assert(tablecheck::Alternates(kInterleavedStart, 4, true) && tablecheck::Alternates(kInterleavedStop, 3, true));
static_assert(tablecheck::Alternates(kIndustrialStart, 6, true) && tablecheck::Alternates(kIndustrialStop, 6, true));
static_assert(tablecheck::Alternates(kMatrixStart, 6, true) && tablecheck::Alternates(kMatrixStop, 5, true));
// An industrial element: a narrow or wide bar and its narrow space.
constexpr const char* kIndustrialNarrow = "50";
constexpr const char* kIndustrialWide = "60";

const char* Row(char digit)
{
    return kTwoOfFive[digit - '0'];
}

} // namespace

void EncodeInterleaved25(std::string_view Text, std::string& LineCodes)
{
    // An odd count gets a leading '0' so that every digit given is encoded.
    const bool pad = Text.size() % 2 != 0;
    const std::size_t length = Text.size() + (pad ? 1 : 0);
    auto digit = [&](std::size_t i) { return pad ? (i == 0 ? '0' : Text[i - 1]) : Text[i]; };
    LineCodes.clear();
    LineCodes.reserve(7 + 5 * length);
    LineCodes += kInterleavedStart;
    for (std::size_t i = 0; i < length; i += 2) {
        const char* bars = Row(digit(i));
        const char* spaces = Row(digit(i + 1));
        for (int k = 0; k < 5; ++k) {
            LineCodes += bars[k] == '1' ? '6' : '5';
            LineCodes += spaces[k] == '1' ? '1' : '0';
        }
    }
    LineCodes += kInterleavedStop;
}

void EncodeIndustrial25(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(12 + 10 * Text.size());
    LineCodes += kIndustrialStart;
    for (char c : Text) {
        const char* row = Row(c);
        for (int k = 0; k < 5; ++k)
            LineCodes += row[k] == '1' ? kIndustrialWide : kIndustrialNarrow;
    }
    LineCodes += kIndustrialStop;
}

void EncodeMatrix25(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(11 + 6 * Text.size());
    LineCodes += kMatrixStart;
    for (char c : Text) {
        const char* row = Row(c);
        for (int k = 0; k < 5; ++k)
            LineCodes += k % 2 == 0 ? static_cast<char>(row[k] + 5) : row[k];
        LineCodes += '0';
    }
    LineCodes += kMatrixStop;
}

} // namespace qb
