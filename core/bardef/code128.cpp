// Code 128 A, B, C and EAN-128 A, B, C, each symbol in one code set.
#include "bardef/bardef.h"
#include "bardef/code128_table.h"

namespace qb {

namespace {

using namespace qb::code128;

enum class CodeSet { A, B, C };

CodeSet SetOf(TBarType type)
{
    switch (type) {
    case bcCode128A:
    case bcCodeEAN128A:
        return CodeSet::A;
    case bcCode128B:
    case bcCodeEAN128B:
        return CodeSet::B;
    default:
        return CodeSet::C;
    }
}

bool IsEan128(TBarType type)
{
    return type == bcCodeEAN128A || type == bcCodeEAN128B || type == bcCodeEAN128C;
}

// The value of a character in code set A (codes 32 to 95) or B (32 to 126);
// a character the set lacks is encoded as a space.
int CharValue(CodeSet set, char c)
{
    const auto code = static_cast<unsigned char>(c);
    const unsigned last = set == CodeSet::A ? 95 : 126;
    return (code >= 32 && code <= last) ? code - 32 : 0;
}

int PairValue(char high, char low)
{
    if (high < '0' || high > '9' || low < '0' || low > '9')
        return 0;
    return (high - '0') * 10 + (low - '0');
}

} // namespace

void EncodeCode128(TBarType Type, std::string_view Text, TCheckSum CheckSum, std::string& Caption,
                   std::string& LineCodes)
{
    const CodeSet set = SetOf(Type);
    // The data encoded: the text, with the EAN-128 check digit and the code
    // set C padding when they apply.
    std::string owned;
    std::string_view data = Text;
    if (IsEan128(Type) && CheckSum == csModulo10) {
        owned.assign(Text);
        ApplyCheckSum(CheckSum, owned, owned);
        data = owned;
    }
    if (set == CodeSet::C && data.size() % 2 != 0) {
        std::string padded(1, '0');
        padded += data;
        owned = std::move(padded);
        data = owned;
    }

    LineCodes.clear();
    LineCodes.reserve(6 * (data.size() + 4) + 7);
    const int start = set == CodeSet::A ? kStartA : set == CodeSet::B ? kStartB : kStartC;
    LineCodes.append(kLineCodes[start].codes, 6);
    std::int64_t sum = start;
    std::int64_t weight = 1;
    auto append = [&](int value) {
        LineCodes.append(kLineCodes[value].codes, 6);
        sum += value * weight;
        ++weight;
    };
    if (IsEan128(Type))
        append(kFnc1);
    if (set == CodeSet::C) {
        for (std::size_t i = 0; i + 1 < data.size(); i += 2)
            append(PairValue(data[i], data[i + 1]));
    } else {
        for (char c : data)
            append(CharValue(set, c));
    }
    LineCodes.append(kLineCodes[sum % 103].codes, 6);
    LineCodes.append(kStopLineCodes.data(), kStopLineCodes.size());
    Caption.assign(data);
}

} // namespace qb
