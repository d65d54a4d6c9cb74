// What we draw, an independent reader decodes to the data we meant. The
// samples together hold every character of every alphabet the reader knows,
// every digit in every number set and every parity row; expected values are
// the numbers printed on real symbols or worked by hand.
#include "support/symbols.h"

#include <gtest/gtest.h>

using namespace qb;

namespace {

struct Sample {
    TBarType type;
    std::string text;
    TCheckSum cs;
    std::string decoded;
};

// Characters first to last - 1, in order.
std::string Run(int first, int last)
{
    std::string s;
    for (int c = first; c < last; ++c)
        s += static_cast<char>(c);
    return s;
}

const std::string kPairs00To99 =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839404142"
    "43444546474849505152535455565758596061626364656667686970717273747576777879808182838485"
    "8687888990919293949596979899";

const std::string kCode39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

// Numbers as printed under real symbols (check digit included; the number
// system first for UPC-E), drawn as given: together they hold every digit in
// every number set and every parity row of EAN-13 and UPC-E.
const std::pair<TBarType, std::string> kPrinted[] = {
    {bcCodeEAN8, "01234565"},       {bcCodeEAN8, "45678905"},       {bcCodeEAN8, "89012345"},
    {bcCodeEAN8, "23451780"},       {bcCodeEAN13, "1418529258144"}, {bcCodeEAN13, "2741852925810"},
    {bcCodeEAN13, "3074185692586"}, {bcCodeEAN13, "4307418369252"}, {bcCodeEAN13, "5630741036928"},
    {bcCodeEAN13, "6963074703694"}, {bcCodeEAN13, "7296307470360"}, {bcCodeEAN13, "8529630147036"},
    {bcCodeEAN13, "9852963814702"}, {bcCodeUPC_A, "036000291452"},  {bcCodeUPC_A, "987654321098"},
    {bcCodeUPC_E0, "05056460"},     {bcCodeUPC_E0, "08718301"},     {bcCodeUPC_E0, "04148852"},
    {bcCodeUPC_E0, "03207323"},     {bcCodeUPC_E0, "09452664"},     {bcCodeUPC_E0, "06498405"},
    {bcCodeUPC_E0, "05920046"},     {bcCodeUPC_E0, "09857227"},     {bcCodeUPC_E0, "03297928"},
    {bcCodeUPC_E0, "01629989"},     {bcCodeUPC_E1, "11748810"},     {bcCodeUPC_E1, "10847712"},
    {bcCodeUPC_E1, "13700033"},
};

const Sample kSamples[] = {
    {bcCodeEAN13, "590123412345", csModulo10, "5901234123457"}, // the check digit computed
    {bcCodeUPC_A, "03600029145", csModulo10, "036000291452"},
    {bcCodeUPC_E0, "425261", csModulo10, "04252614"},
    // Code 39 and its modulo-43 check character, sums past the modulus:
    // 0 + ... + 30 = 465 -> 35 'Z'; 31 + ... + 42 = 438 -> 8; 35 + 35 -> 27 'R'.
    {bcCode39, kCode39Chars.substr(0, 31), csModulo10, kCode39Chars.substr(0, 31) + "Z"},
    {bcCode39, kCode39Chars.substr(31), csModulo10, kCode39Chars.substr(31) + "8"},
    {bcCode39, "ZZ", csModulo10, "ZZR"},
    // Codes 0 to 127, as pairs of Code 39 characters whose values add up to
    // 6342 -> 21 'L'.
    {bcCode39Extended, "A" + Run(0, 128) + "Z", csModulo10, "A" + Run(0, 128) + "ZL"},
    // Code 93 with the four shifts given as '[', ']', '{' and '}'; the check
    // characters' weights wrap after 20 and 15 characters.
    {bcCode93, kCode39Chars + "[A]A{A}A", csNone, kCode39Chars + "\x01\x1b!a"},
    {bcCode93Extended, "A" + Run(0, 128) + "Z", csNone, "A" + Run(0, 128) + "Z"},
    // Code 128: every value of each set as data; the check characters of
    // "AA" and "BA" are values 100 and 101, which no set holds as data.
    {bcCode128A, Run(33, 64) + " " + Run(64, 96), csNone, Run(33, 64) + " " + Run(64, 96)},
    {bcCode128B, Run(33, 80) + " " + Run(80, 127), csNone, Run(33, 80) + " " + Run(80, 127)},
    {bcCode128C, kPairs00To99, csNone, kPairs00To99},
    {bcCode128B, "AA", csNone, "AA"},
    {bcCode128B, "BA", csNone, "BA"},
    {bcCode128C, "12345", csNone, "012345"},
    {bcCodeEAN128A, "ABC123", csNone, "ABC123"},
    {bcCodeEAN128B, "0101234567890128", csNone, "0101234567890128"},
    {bcCodeEAN128C, "1234", csModulo10, "012348"},
    // Every digit as bars and as spaces.
    {bcCode_2_5_interleaved, "0123456789", csNone, "0123456789"},
    {bcCode_2_5_interleaved, "1032547698", csNone, "1032547698"},
    {bcCode_2_5_interleaved, "1234567", csNone, "01234567"},
    // 'A' and 'B' start and stop a symbol unless two of 'A' to 'D' frame the
    // text (the reader returns the data between them); the letters' patterns
    // are checked in encoders_test.
    {bcCodeCodabar, "0123456789-$:/.+", csNone, "0123456789-$:/.+"},
    {bcCodeCodabar, "A40156B", csNone, "40156"},
    {bcCodeCodabar, "C-12$D", csNone, "-12$"},
};

std::vector<Sample> AllSamples()
{
    std::vector<Sample> all(std::begin(kSamples), std::end(kSamples));
    for (const auto& [type, number] : kPrinted) {
        const bool upcE = type == bcCodeUPC_E0 || type == bcCodeUPC_E1;
        all.push_back({type, upcE ? number.substr(1) : number, csNone, number});
    }
    return all;
}

// Each sample at one module width and angle, so that the samples together
// cover both widths and all four angles.
TEST(RoundTrip, ReaderDecodesWhatWeDraw)
{
    int index = 0;
    for (const Sample& s : AllSamples()) {
        const int modul = 2 + index % 2;
        const double angle = 90.0 * (index++ % 4);
        SCOPED_TRACE(testing::Message() << BCData[s.type].Name << " '" << s.text << "' module " << modul << " angle "
                                        << angle);
        const double ratio = s.type == bcCode_2_5_interleaved ? 2.5 : 2.0;
        const testsupport::Decoded d = testsupport::DrawAndRead(s.type, s.text, s.cs, modul, ratio, angle);
        ASSERT_TRUE(d.found);
        EXPECT_EQ(d.text, s.decoded);
    }
}

} // namespace
