// Line codes of every symbology, checked against worked examples and against
// symbols assembled from the named pieces of each standard.
#include "qbarcode/sysutils.h"
#include "support/symbols.h"

#include <gtest/gtest.h>

#include <string>

using namespace qb;

namespace {

using namespace std::string_literals;
using testsupport::Encode;

std::string Widths(const std::string& w)
{
    std::string lc;
    WidthsToLineCodes(w, lc);
    return lc;
}

std::string ErrorOf(TBarType type, const std::string& text, TCheckSum cs = csNone)
{
    try {
        Encode(type, text, cs);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

struct Row {
    TBarType type;
    const char* text;
    TCheckSum cs;
    std::string lineCodes;
    const char* caption; // nullptr: the caption stays the text
};

// Code 128 pieces, as element widths.
const std::string kStartA = "211412", kStartB = "211214", kStartC = "211232", kFnc1 = "411131", kStop = "2331112";

const char* const kCode39Star = "515060605";

TEST(Encoders, WorkedExamples)
{
    const Row rows[] = {
        // Code 128 and EAN-128.
        {bcCode128B, "Ab", csNone, "6051535052625153605051636270506", "Ab"},
        {bcCode128A, "Ab", csNone, "6053515052626061615052626270506", "Ab"},
        {bcCode128A, "Ab", csModulo10, "6053515052626061615052626270506", "Ab"},
        {bcCode128C, "12345", csNone, "6051716160617060705070625150816270506", "012345"},
        {bcCodeEAN128C, "1234", csModulo10, "6051718050706160617060707070607062506270506", "012348"},
        {bcCodeEAN128C, "", csModulo10, Widths(kStartC + kFnc1 + "212222" + "222122" + kStop), "00"},
        {bcCode128B, "", csNone, "6051536160616270506", ""},
        // values 103, 102, 0, 17: check (103 + 102 + 0 + 51) mod 103 = 50
        {bcCodeEAN128A, "a1", csNone, Widths(kStartA + kFnc1 + "212222" + "123221" + "231131" + kStop), "a1"},
        // '(' 8, '0' 16, '1' 17, ')' 9: check (104 + 102 + 16 + 48 + 68 + 45) mod 103 = 74
        {bcCodeEAN128B, "(01)", csNone,
         Widths(kStartB + kFnc1 + "132212" + "123122" + "123221" + "221213" + "142211" + kStop), "(01)"},
        // Code 93.
        {bcCode93, "", csNone, "5050805250515250515050805", nullptr},
        // Code 39.
        {bcCode39, "", csNone, "5150606050515060605", nullptr},
        {bcCode39, "", csModulo10, "51506060505051606050515060605", nullptr},
        {bcCode39, "A", csNone, "51506060506050515060515060605", nullptr},
        {bcCode39, "A", csModulo10, "515060605060505150606050515060515060605", nullptr},
        // unknown bytes are dropped without effect on the check character
        {bcCode39, "a#&\x80\x01", csModulo10, "51506060505051606050515060605", nullptr},
        // '*' inside the text is drawn with the start/stop pattern, value 0; A+B = 21 -> 'L'
        {bcCode39, "A*B", csModulo10,
         std::string("5150606050") + "6050515060" + kCode39Star + "0" + "5060515060" + "5060505160" + kCode39Star,
         nullptr},
        // EAN and UPC.
        {bcCodeUPC_A, "036000291452", csModulo10, "", "036000291452"},
        // A text short of the full number gets its check digit appended.
        {bcCodeUPC_A, "03600029145", csModulo10, "", "036000291452"},
        {bcCodeUPC_A, "", csModulo10, "", "000000000000"},
        {bcCodeUPC_A, "03600029145", csNone, "", nullptr},
        // The UPC-E check digit is that of the expanded UPC-A number.
        {bcCodeUPC_E0, "0123456", csModulo10, "", "0123457"},
        {bcCodeUPC_E0, "1234560", csModulo10, "", "1234565"}, // 0 12345 0000 6
        {bcCodeUPC_E0, "4252610", csModulo10, "", "4252614"}, // 0 42 1 0000 526
        {bcCodeUPC_E1, "4252610", csModulo10, "", "4252611"}, // 1 42 1 0000 526
        {bcCodeUPC_E0, "0000300", csModulo10, "", "0000301"}, // 0 00 0 0000 003
        {bcCodeUPC_E0, "1234530", csModulo10, "", "1234531"}, // 0 123 00000 45
        {bcCodeUPC_E0, "1234540", csModulo10, "", "1234543"}, // 0 1234 00000 5
        {bcCodeUPC_E0, "012345678", csModulo10, "", "0123457"},
        {bcCodeUPC_E0, "425261", csModulo10, "", "4252614"},
        {bcCodeUPC_E1, "425261", csModulo10, "", "4252611"},
        {bcCodeUPC_E0, "", csModulo10, "", "0000000"},
        {bcCodeUPC_Supp5, "52495", csModulo10, "", "524951"},
        {bcCodeUPC_Supp2, "12", csModulo10, "", "125"},
        // MSI, PostNet, Codabar.
        {bcCodeMSI, "1234567", csNone, "605151516051516051515160605160515151605160516060515160606051605151515",
         nullptr},
        {bcCodeMSI, "", csNone, "6051515151515", nullptr},
        {bcCodePostNet, "", csModulo10, "515", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(BCData[row.type].Name) + " '" + row.text + "'" +
                     (row.cs == csModulo10 ? " csModulo10" : ""));
        const testsupport::Symbol e = Encode(row.type, row.text, row.cs);
        if (!row.lineCodes.empty()) {
            EXPECT_EQ(e.lineCodes, row.lineCodes);
        }
        EXPECT_EQ(e.caption, row.caption ? row.caption : row.text);
    }
}

// Symbols that must equal another encoding: rewrites, padding, dropped data.
TEST(Encoders, EquivalentTexts)
{
    struct Pair {
        TBarType typeA;
        std::string textA;
        TBarType typeB;
        std::string textB;
        TCheckSum cs;
    };
    // Characters a symbology drops or replaces, padding, and digits beyond
    // those a symbol holds.
    const Pair pairs[] = {
        {bcCode93Extended, "\xC8\xC9", bcCode93, "", csNone},
        {bcCode39Extended, "A\0B\x7f\xff"s, bcCode39, "A%UB%T", csNone},
        {bcCodeEAN13, "", bcCodeEAN13, "000000000000", csModulo10},
        {bcCodeUPC_A, "", bcCodeUPC_A, "000000000000", csModulo10},
        {bcCodeUPC_A, "03600029145", bcCodeUPC_A, "003600029145", csNone},
        {bcCodeUPC_A, "3600029145", bcCodeUPC_A, "036000291452", csModulo10},
        {bcCodeUPC_E0, "425261", bcCodeUPC_E0, "4252614", csModulo10},
        {bcCodeUPC_Supp5, "52495123", bcCodeUPC_Supp5, "52495", csNone},
        {bcCode128B, "AB\001\177C", bcCode128B, "AB  C", csNone},
        {bcCodeEAN8, "", bcCodeEAN8, "00000000", csNone},
        {bcCodeEAN8, "", bcCodeEAN8, "0000000", csModulo10},
        {bcCodeEAN8, "12345670", bcCodeEAN8, "1234567", csModulo10},
        {bcCodeEAN8, "123456789", bcCodeEAN8, "1234567", csModulo10},
        {bcCodeUPC_E0, "012345678", bcCodeUPC_E0, "0123456", csNone},
        {bcCodeUPC_E0, "012345678", bcCodeUPC_E0, "0123456", csModulo10},
        {bcCodeUPC_Supp2, "123", bcCodeUPC_Supp2, "12", csNone},
        {bcCodeUPC_Supp2, "3499999999999", bcCodeUPC_Supp2, "34", csNone},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.textA + " ~ " + p.textB);
        EXPECT_EQ(Encode(p.typeA, p.textA, p.cs).lineCodes, Encode(p.typeB, p.textB, p.cs).lineCodes);
    }
}

// Typed from the published digit tables, one character per module (wide
// elements of 2 modules): '1' bar, 'h' short bar, '0' space.
struct DigitPatterns {
    char digit;
    const char *industrial, *matrix, *msi, *postnet;
    char msiCheck; // the check digit of the digit alone
};
const DigitPatterns kDigits[] = {
    {'0', "101011011010", "10110010", "100100100100", "100100h00h00h00", 0},
    {'1', "110101010110", "11010110", "100100100110", "h00h00h00100100", 8},
    {'2', "101101010110", "10010110", "100100110100", "h00h00100h00100", 6},
    {'3', "110110101010", "11001010", "100100110110", "h00h00100100h00", 4},
    {'4', "101011010110", "10110110", "100110100100", "h00100h00h00100", 2},
    {'5', "110101101010", "11011010", "100110100110", "h00100h00100h00", 9},
    {'6', "101101101010", "10011010", "100110110100", "h00100100h00h00", 7},
    {'7', "101010110110", "10100110", "100110110110", "100h00h00h00100", 5},
    {'8', "110101011010", "11010010", "110100100100", "100h00h00100h00", 3},
    {'9', "101101011010", "10010010", "110100100110", "100h00100h00h00", 1},
};

TEST(Encoders, DigitsMatchThePublishedPatterns)
{
    for (const DigitPatterns& d : kDigits) {
        const std::string text(1, d.digit), msiCheck = kDigits[int(d.msiCheck)].msi;
        SCOPED_TRACE(text);
        // Industrial start: wide, wide, narrow bar; stop: wide, narrow, wide.
        EXPECT_EQ(Encode(bcCode_2_5_industrial, text).modules, "11011010" + (d.industrial + "11010110"s));
        // Matrix start: a bar of 3 modules, narrow space, bar, space, bar, space.
        EXPECT_EQ(Encode(bcCode_2_5_matrix, text).modules, "11101010" + (d.matrix + "1110101"s));
        // MSI start: a 1 bit; stop: narrow bar, wide space, narrow bar.
        EXPECT_EQ(Encode(bcCodeMSI, text).modules, "110" + (d.msi + msiCheck) + "1001");
        // POSTNET: a full bar with its space in front, a full bar behind.
        EXPECT_EQ(Encode(bcCodePostNet, text).modules, "100" + (d.postnet + "1"s));
    }
}

TEST(Encoders, SupplementsAndCodabarMatchThePublishedPatterns)
{
    struct Case {
        TBarType type;
        const char* text;
        std::string modules;
    };
    // clang-format off
    const Case cases[] = {
        // Start 1011, each digit in set A (odd) or B (even) as the parity
        // says, 01 between digits. Parity digit 1: even, odd, even, odd, odd.
        {bcCodeUPC_Supp5, "52495", "1011" "0111001" "01" "0010011" "01" "0011101" "01" "0001011" "01" "0110001"},
        // Parity digit 0: even, even, odd, odd, odd.
        {bcCodeUPC_Supp5, "00000", "1011" "0100111" "01" "0100111" "01" "0001101" "01" "0001101" "01" "0001101"},
        {bcCodeUPC_Supp2, "12", "1011" "0011001" "01" "0010011"}, // 12 mod 4 = 0: odd, odd
        {bcCodeUPC_Supp2, "13", "1011" "0011001" "01" "0100001"}, // 1: odd, even
        {bcCodeUPC_Supp2, "34", "1011" "0100001" "01" "0100011"}, // 2: even, odd
        {bcCodeUPC_Supp2, "15", "1011" "0110011" "01" "0111001"}, // 3: even, even
        // Start A, '1', stop B, with a narrow space between characters; a
        // text framed by two of A to D starts and stops with them.
        {bcCodeCodabar, "1", "1011001001" "0" "101011001" "0" "1001001011"},
        {bcCodeCodabar, "CD", "1010010011" "0" "1010011001"},
        {bcCodeCodabar, "D1A", "1010011001" "0" "101011001" "0" "1011001001"},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(Encode(c.type, c.text).modules, c.modules) << c.text;
}

TEST(Encoders, Messages)
{
    struct Case {
        TBarType type;
        const char* text;
        TCheckSum cs;
        const char* message;
    };
    const Case cases[] = {
        {bcCode93, "abc", csNone, "abc : Code_93 bad data."},
        {bcCode93, " ab*c ", csNone, "ab*c : Code_93 bad data."},
        {bcCodeCodabar, "a1", csNone, "a1 : Codabar bad data."},
        {bcCodeCodabar, " 1 2 ", csNone, "1 2 : Codabar bad data."},
        // Start/stop letters only as a pair framing the text.
        {bcCodeCodabar, "1A2", csNone, "1A2 : Codabar bad data."},
        {bcCodeCodabar, "A12", csNone, "A12 : Codabar bad data."},
        {bcCodeCodabar, "12D", csNone, "12D : Codabar bad data."},
        {bcCodeCodabar, "A", csNone, "A : Codabar bad data."},
        {bcCodeCodabar, "AB1CD", csNone, "AB1CD : Codabar bad data."},
        {bcCode_2_5_interleaved, "12A4", csNone, "12A4 : Barcode must be numeric."},
        {bcCodeEAN13, " 12 34 ", csNone, "12 34 : Barcode must be numeric."},
        {bcCodeEAN128B, "(01)", csModulo10, "'(' is not a valid integer value"},
        {bcCodeEAN128A, "A1", csModulo10, "'A' is not a valid integer value"},
        {static_cast<TBarType>(23), "1", csNone, "Wrong barcode type."},
        {static_cast<TBarType>(-1), "1", csNone, "Wrong barcode type."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf(c.type, c.text, c.cs), c.message) << c.text;
    // Passing cases of the dispatch's own checks.
    EXPECT_EQ(ErrorOf(bcCodeEAN13, " 0123 "), "");
    EXPECT_EQ(ErrorOf(bcCode128B, "abc"), "");
    EXPECT_EQ(ErrorOf(bcCodeEAN13, " \t\r\n"), "");
    EXPECT_EQ(ErrorOf(bcCodeUPC_Supp2, "99999999999999999999"), "");
    EXPECT_THROW(Encode(bcCodeEAN128B, "x", csModulo10), EConvertError);
}

// EAN texts too long for their symbol: an assertion error with assertions
// on, the surplus digits ignored with them off.
TEST(Encoders, EanLengthAssertions)
{
    struct Case {
        TBarType type;
        const char* text;
        TCheckSum cs;
        const char* drawnAs;
        const char* message;
    };
    const Case cases[] = {
        {bcCodeEAN13, "5901234123457", csModulo10, "5901234123457", "EAN13 : Invalid barcode length."},
        {bcCodeEAN13, "59012341234579", csNone, "5901234123457", "EAN13 : Invalid barcode length."},
        {bcCodeEAN8, "123456709", csNone, "12345670", "EAN8 : Invalid barcode length."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
#if QB_ASSERTIONS
        try {
            Encode(c.type, c.text, c.cs);
            ADD_FAILURE() << "no assertion";
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Message.rfind(std::string(c.message) + " (eanupc.cpp, line ", 0), 0u) << e.Message;
        }
#else
        EXPECT_EQ(Encode(c.type, c.text, c.cs).lineCodes, Encode(c.type, c.drawnAs, csNone).lineCodes);
#endif
    }
}

TEST(Encoders, OutputIsReplacedNotAppended)
{
    std::string lc = "garbage", caption = "x";
    double ratio = 2.0;
    MakeLineCodes(bcCodePostNet, "", 1, ratio, csNone, caption, lc);
    EXPECT_EQ(lc, "515");
}

} // namespace
