// The dispatch: ratio clamp, module widths, the alphabet, the symbology table.
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qb;

namespace {

std::string MessageOf(auto&& call)
{
    try {
        call();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

TEST(MakeLineCodes, ClampsTheRatioPerSymbology)
{
    struct Case {
        TBarType type;
        double in, out;
    };
    const Case cases[] = {
        {bcCode39, 1.5, 2.0},          {bcCode_2_5_matrix, 2.1, 2.25}, {bcCodeEAN13, 3.5, 3.0},
        {bcCode128B, 5.0, 5.0},        {bcCode128B, 0.5, 0.5},         {bcCode_2_5_matrix, 2.25, 2.25},
        {bcCodeCodabar, 2.0, 2.0},     {bcCodeUPC_Supp5, 3.0, 3.0},    {bcCodePostNet, -1.0, -1.0},
        {bcCode_2_5_matrix, 9.0, 3.0},
    };
    for (const Case& c : cases) {
        double ratio = c.in;
        std::string caption, lc;
        MakeLineCodes(c.type, "1", 1, ratio, csNone, caption, lc);
        EXPECT_EQ(ratio, c.out) << BCData[c.type].Name << " " << c.in;
    }
}

TEST(MakeLineCodes, ModuleWidthsRoundHalfToEvenInExtendedPrecision)
{
    struct Case {
        TBarType type;
        int modul;
        double ratio;
        int w1, w2, w3, w4;
    };
    const Case cases[] = {
        {bcCode39, 1, 2.5, 1, 2, 3, 4},
        {bcCode39, 3, 2.5, 3, 8, 12, 16},
        {bcCode_2_5_matrix, 2, 2.25, 2, 4, 6, 8},
        {bcCode39, 2, 3.0, 2, 6, 9, 12},
        // 5 x 2.1 is just above 10.5 and 5 x 2.3 just below 11.5 in 80 bits;
        // 64-bit doubles would give 10 and 12.
        {bcCode39, 5, 2.1, 5, 11, 16, 22},
        {bcCode39, 5, 2.3, 5, 11, 16, 22},
        {bcCode128B, 127, 3.0, 127, 381, 571, 762},
        {bcCode128B, 0, -1.0, 0, 0, 0, 0},
        {bcCode128B, 3, -1.0, 3, -3, -4, -6},
    };
    for (const Case& c : cases) {
        double ratio = c.ratio;
        std::string caption, lc;
        MakeLineCodes(c.type, "", c.modul, ratio, csNone, caption, lc);
        EXPECT_EQ((std::array{ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4}),
                  (std::array{c.w1, c.w2, c.w3, c.w4}))
            << c.modul << " x " << c.ratio;
    }
}

TEST(MakeLineCodes, FailingCallStillSetsWidthsAndRatio)
{
    double ratio = 9.0;
    std::string caption = "keep", lc = "keep";
    EXPECT_THROW(MakeLineCodes(bcCodeEAN13, "12A", 3, ratio, csNone, caption, lc), Exception);
    EXPECT_EQ(ratio, 3.0);
    EXPECT_EQ(ModuleWidth4, 18);
    EXPECT_EQ(caption, "keep");
    EXPECT_EQ(lc, "keep");
}

TEST(MakeLineCodes, ModuleWidthsOutOfRange)
{
    struct Case {
        TBarType type;
        int modul;
        double ratio;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case bad[] = {
        {bcCode39, std::numeric_limits<int>::max(), 2.0},
        {bcCode128B, 1, 1e300},
        {bcCode128B, 250001, 2.0},
        {bcCode128B, 1, inf},
        {bcCode128B, 1, std::nan("")},
        {bcCode128B, std::numeric_limits<int>::min(), 0.0},
        {bcCode128B, 1, -1e7},
    };
    for (const Case& c : bad) {
        double ratio = c.ratio;
        std::string caption, lc;
        EXPECT_EQ(MessageOf([&] { MakeLineCodes(c.type, "1", c.modul, ratio, csNone, caption, lc); }),
                  "Module width out of range.")
            << c.modul << " x " << c.ratio;
    }
    // The largest widths accepted.
    double ratio = 2.0;
    std::string caption, lc;
    MakeLineCodes(bcCode128B, "1", 250000, ratio, csNone, caption, lc);
    EXPECT_EQ(ModuleWidth4, MaxModuleWidth);
    // A width sum beyond 32 bits is refused rather than wrapped.
    EXPECT_EQ(MessageOf([] { Q_GetBarWidth(bcCode128B, std::string(800, 'A'), 250000, 2.0, csNone); }),
              "Module width out of range.");
}

TEST(DecodeLineCode, Alphabet)
{
    double ratio = 2.0;
    std::string caption, lc;
    MakeLineCodes(bcCode128B, "", 3, ratio, csNone, caption, lc); // widths 3, 6, 9, 12
    const std::string codes = "0123"
                              "5678"
                              "ABCD";
    for (std::size_t i = 0; i < codes.size(); ++i) {
        std::int32_t width = 0;
        TBarLineType type = white;
        DecodeLineCode(codes[i], width, type);
        EXPECT_EQ(width, 3 * static_cast<int>(i % 4 + 1)) << codes[i];
        EXPECT_EQ(type, static_cast<TBarLineType>(i / 4)) << codes[i];
    }
    for (char bad : std::string("4E9adz\x80") + '\0') {
        std::int32_t width;
        TBarLineType type;
        EXPECT_EQ(MessageOf([&] { DecodeLineCode(bad, width, type); }), "Internal Error.") << int(bad);
    }
}

TEST(WidthsToLineCodes, AlternatesBarsAndSpaces)
{
    std::string lc = "old";
    WidthsToLineCodes("2112", lc);
    EXPECT_EQ(lc, "6051");
    WidthsToLineCodes("", lc);
    EXPECT_EQ(lc, "");
    WidthsToLineCodes("4321432", lc);
    EXPECT_EQ(lc, "8260826");
}

TEST(BCData, NamesAndLookup)
{
    EXPECT_EQ(Q_GetBarTypeName(bcCodeCodabar), "Codebar");
    EXPECT_EQ(Q_GetBarTypeName(bcCode_2_5_interleaved), "Code25 interleaved");
    EXPECT_EQ(Q_GetBarTypeName(bcCodeEAN128C), "EAN128C");
    EXPECT_EQ(MessageOf([] { Q_GetBarTypeName(static_cast<TBarType>(23)); }), "Wrong barcode type.");
    int numeric = 0;
    for (const TBCdata& row : BCData)
        numeric += row.Numeric;
    EXPECT_EQ(numeric, 14);

    // Every symbology is found by its enumerator, display name and alias.
    for (int i = 0; i < BarTypeCount; ++i) {
        const auto t = static_cast<TBarType>(i);
        for (std::string name :
             {std::string(BarTypeEnumName(t)), std::string(BCData[i].Name), std::string(BarTypeAlias(t))}) {
            TBarType found = bcCode39;
            ASSERT_TRUE(FindBarType(name, found)) << name;
            EXPECT_EQ(found, t) << name;
        }
    }
    TBarType found;
    EXPECT_TRUE(FindBarType("BCCODEEAN13", found) && found == bcCodeEAN13);
    EXPECT_TRUE(FindBarType("codebar", found) && found == bcCodeCodabar);
    EXPECT_FALSE(FindBarType("qr", found));
    EXPECT_FALSE(FindBarType("", found));
}

TEST(Q_GetBarWidth, SumsTheElements)
{
    struct Case {
        TBarType type;
        const char* text;
        int modul;
        double ratio;
        int width;
    };
    const Case cases[] = {
        {bcCodeEAN13, "590123412345", 1, 2.0, 95},
        {bcCodeEAN13, "590123412345", 2, 2.0, 190},
        {bcCode128B, "Ab", 1, 2.0, 57},      // 4 characters of 11 modules and a 13-module stop
        {bcCode39, "A", 1, 2.0, 4 * 12 + 3}, // start, A, check A, stop: 12 modules and gaps
        {bcCode39, "A", 1, 3.0, 4 * 15 + 3}, // wide elements of 3 modules
        {bcCode93, "", 1, 2.0, 4 * 9 + 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Q_GetBarWidth(c.type, c.text, c.modul, c.ratio, csModulo10), c.width) << c.text;
    EXPECT_EQ(MessageOf([] { Q_GetBarWidth(bcCode93, "abc", 1, 2.0, csNone); }), "abc : Code_93 bad data.");
}

} // namespace
