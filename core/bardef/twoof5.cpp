// Interleaved, industrial and matrix 2 of 5.
#include "bardef/bardef.h"

namespace {

// The two-of-five digit table: element weights 1, 2, 4, 7 and parity; '1' is
// a wide element.
constexpr const char* kTwoOfFive[10] = {
    "00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010",
};

const char* Row(char digit) { return kTwoOfFive[digit - '0']; }

} // namespace

void EncodeInterleaved25(std::string_view Text, std::string& LineCodes)
{
    // An odd count gets a leading '0' so that every digit given is encoded.
    const bool pad = Text.size() % 2 != 0;
    const std::size_t length = Text.size() + (pad ? 1 : 0);
    auto digit = [&](std::size_t i) { return pad ? (i == 0 ? '0' : Text[i - 1]) : Text[i]; };
    LineCodes.clear();
    LineCodes.reserve(7 + 5 * length);
    LineCodes += "5050";
    for (std::size_t i = 0; i < length; i += 2) {
        const char* bars = Row(digit(i));
        const char* spaces = Row(digit(i + 1));
        for (int k = 0; k < 5; ++k) {
            LineCodes += bars[k] == '1' ? '6' : '5';
            LineCodes += spaces[k] == '1' ? '1' : '0';
        }
    }
    LineCodes += "605";
}

void EncodeIndustrial25(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(12 + 10 * Text.size());
    LineCodes += "606050";
    for (char c : Text) {
        const char* row = Row(c);
        for (int k = 0; k < 5; ++k)
            LineCodes += row[k] == '1' ? "60" : "50";
    }
    LineCodes += "605060";
}

void EncodeMatrix25(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(11 + 6 * Text.size());
    LineCodes += "705050";
    for (char c : Text) {
        const char* row = Row(c);
        for (int k = 0; k < 5; ++k)
            LineCodes += k % 2 == 0 ? static_cast<char>(row[k] + 5) : row[k];
        LineCodes += '0';
    }
    LineCodes += "70505";
}
