// What we draw, an independent reader decodes to the data we meant. The
// samples together hold every character of every alphabet the reader knows,
// every digit in every number set and every parity row; expected values are
// the numbers printed on real symbols or worked by hand.
#include "support/symbols.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct Sample {
    TBarType type;
    std::string text;
    TCheckSum cs;
    const char* format; // as the reader names it
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

std::string Pairs00To99()
{
    std::string s;
    for (int v = 0; v < 100; ++v)
        s += std::to_string(v / 10) + std::to_string(v % 10);
    return s;
}

const std::string kCode39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

const Sample kSamples[] = {
    // Each digit in set A and C; then every first digit's parity row, each
    // digit in sets A, B and C. The reader reports a leading 0 as UPC-A.
    {bcCodeEAN8, "0123456", csModulo10, "EAN-8", "01234565"},
    {bcCodeEAN8, "4567890", csModulo10, "EAN-8", "45678905"},
    {bcCodeEAN8, "8901234", csModulo10, "EAN-8", "89012345"},
    {bcCodeEAN8, "23451780", csNone, "EAN-8", "23451780"},
    {bcCodeEAN13, "018529658147", csModulo10, "UPC-A", "185296581478"},
    {bcCodeEAN13, "141852925814", csModulo10, "EAN-13", "1418529258144"},
    {bcCodeEAN13, "274185292581", csModulo10, "EAN-13", "2741852925810"},
    {bcCodeEAN13, "307418569258", csModulo10, "EAN-13", "3074185692586"},
    {bcCodeEAN13, "430741836925", csModulo10, "EAN-13", "4307418369252"},
    {bcCodeEAN13, "563074103692", csModulo10, "EAN-13", "5630741036928"},
    {bcCodeEAN13, "6963074703694", csNone, "EAN-13", "6963074703694"},
    {bcCodeEAN13, "729630747036", csModulo10, "EAN-13", "7296307470360"},
    {bcCodeEAN13, "852963014703", csModulo10, "EAN-13", "8529630147036"},
    {bcCodeEAN13, "985296381470", csModulo10, "EAN-13", "9852963814702"},
    {bcCodeUPC_A, "036000291452", csModulo10, "UPC-A", "036000291452"},
    {bcCodeUPC_A, "03600029145", csModulo10, "UPC-A", "003600029143"},
    {bcCodeUPC_A, "987654321098", csModulo10, "UPC-A", "987654321098"},
    // UPC-E: one text per check digit (the parity row), each digit even and
    // odd; the check digit is that of the UPC-A number the symbol stands for.
    {bcCodeUPC_E0, "5056460", csModulo10, "UPC-E", "05056460"},
    {bcCodeUPC_E0, "8718300", csModulo10, "UPC-E", "08718301"},
    {bcCodeUPC_E0, "4148852", csNone, "UPC-E", "04148852"},
    {bcCodeUPC_E0, "3207320", csModulo10, "UPC-E", "03207323"},
    {bcCodeUPC_E0, "9452660", csModulo10, "UPC-E", "09452664"},
    {bcCodeUPC_E0, "6498400", csModulo10, "UPC-E", "06498405"},
    {bcCodeUPC_E0, "5920040", csModulo10, "UPC-E", "05920046"},
    {bcCodeUPC_E0, "9857220", csModulo10, "UPC-E", "09857227"},
    {bcCodeUPC_E0, "3297920", csModulo10, "UPC-E", "03297928"},
    {bcCodeUPC_E0, "1629980", csModulo10, "UPC-E", "01629989"},
    {bcCodeUPC_E1, "1748810", csModulo10, "UPC-E", "11748810"},
    {bcCodeUPC_E1, "1703890", csModulo10, "UPC-E", "11703891"},
    {bcCodeUPC_E1, "0847710", csModulo10, "UPC-E", "10847712"},
    {bcCodeUPC_E1, "3700033", csNone, "UPC-E", "13700033"},
    {bcCodeUPC_E1, "9290580", csModulo10, "UPC-E", "19290584"},
    {bcCodeUPC_E1, "6184850", csModulo10, "UPC-E", "16184855"},
    {bcCodeUPC_E1, "0011520", csModulo10, "UPC-E", "10011526"},
    {bcCodeUPC_E1, "1598490", csModulo10, "UPC-E", "11598497"},
    {bcCodeUPC_E1, "6389340", csModulo10, "UPC-E", "16389348"},
    {bcCodeUPC_E1, "4080620", csModulo10, "UPC-E", "14080629"},
    // Code 39 and its modulo-43 check character, sums past the modulus:
    // 0 + ... + 30 = 465 -> 35 'Z'; 31 + ... + 42 = 438 -> 8; 35 + 35 -> 27 'R'.
    {bcCode39, kCode39Chars.substr(0, 31), csModulo10, "Code39", kCode39Chars.substr(0, 31) + "Z"},
    {bcCode39, kCode39Chars.substr(31), csModulo10, "Code39", kCode39Chars.substr(31) + "8"},
    {bcCode39, "ZZ", csModulo10, "Code39", "ZZR"},
    // Codes 0 to 127, as pairs of Code 39 characters whose values add up to
    // 6342 -> 21 'L'.
    {bcCode39Extended, "A" + Run(0, 128) + "Z", csModulo10, "Code39", "A" + Run(0, 128) + "ZL"},
    // Code 93 with the four shifts given as '[', ']', '{' and '}'; the check
    // characters' weights wrap after 20 and 15 characters.
    {bcCode93, kCode39Chars + "[A]A{A}A", csNone, "Code93", kCode39Chars + "\x01\x1b!a"},
    {bcCode93Extended, "A" + Run(0, 128) + "Z", csNone, "Code93", "A" + Run(0, 128) + "Z"},
    // Code 128: every value of each set as data; the check characters of
    // "AA" and "BA" are values 100 and 101, which no set holds as data.
    {bcCode128A, Run(33, 64) + " " + Run(64, 96), csNone, "Code128", Run(33, 64) + " " + Run(64, 96)},
    {bcCode128B, Run(33, 80) + " " + Run(80, 127), csNone, "Code128", Run(33, 80) + " " + Run(80, 127)},
    {bcCode128C, Pairs00To99(), csNone, "Code128", Pairs00To99()},
    {bcCode128B, "AA", csNone, "Code128", "AA"},
    {bcCode128B, "BA", csNone, "Code128", "BA"},
    {bcCode128C, "12345", csNone, "Code128", "012345"},
    {bcCodeEAN128A, "ABC123", csNone, "Code128", "ABC123"},
    {bcCodeEAN128B, "0101234567890128", csNone, "Code128", "0101234567890128"},
    {bcCodeEAN128C, "1234", csModulo10, "Code128", "012348"},
    // Every digit as bars and as spaces.
    {bcCode_2_5_interleaved, "0123456789", csNone, "ITF", "0123456789"},
    {bcCode_2_5_interleaved, "1032547698", csNone, "ITF", "1032547698"},
    {bcCode_2_5_interleaved, "1234567", csNone, "ITF", "01234567"},
    // 'A' and 'B' start and stop every symbol; 'C' and 'D' are checked
    // against their published patterns in encoders_test.
    {bcCodeCodabar, "0123456789-$:/.+", csNone, "Codabar", "0123456789-$:/.+"},
};

// Each sample at one module width and angle, so that the samples together
// cover both widths and all four angles.
TEST(RoundTrip, ReaderDecodesWhatWeDraw)
{
    int index = 0;
    for (const Sample& s : kSamples) {
        const int modul = 2 + index % 2;
        const double angle = 90.0 * (index++ % 4);
        SCOPED_TRACE(testing::Message() << BCData[s.type].Name << " '" << s.text << "' module " << modul << " angle "
                                        << angle);
        const double ratio = s.type == bcCode_2_5_interleaved ? 2.5 : 2.0;
        const testsupport::Decoded d = testsupport::DrawAndRead(s.type, s.text, s.cs, modul, ratio, angle);
        ASSERT_TRUE(d.found);
        EXPECT_EQ(d.format, s.format);
        EXPECT_EQ(d.text, s.decoded);
    }
}

} // namespace
