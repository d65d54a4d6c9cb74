// Symbols encoded once: the same results as the routines that encode on
// every call, and the same pixels whoever wrote the line codes.
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>

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

std::array<std::int32_t, 4> ThreadWidths()
{
    return {ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4};
}

// Every field against MakeLineCodes and Q_GetBarWidth with the same
// arguments, failures included; the caller's module widths stay as they were.
TEST(EncodeSymbol, AgreesWithMakeLineCodesAndLeavesTheModuleWidths)
{
    struct Case {
        TBarType type;
        const char* text;
        int modul;
        double ratio;
        TCheckSum cs;
    };
    const Case cases[] = {
        {bcCode39, " abc ", 2, 1.5, csModulo10},          // trimmed, ratio clamped up
        {bcCode_2_5_matrix, "123", 3, 9.0, csNone},       // clamped down
        {bcCode128B, "Hello", 1, 5.0, csNone},            // not clamped
        {bcCodeUPC_A, "03600029145", 2, 2.5, csModulo10}, // caption rewritten
        {bcCodePostNet, "555551237", 2, 2.0, csNone},
        {bcCodeEAN13, "12A4", 1, 2.0, csNone}, // not numeric
        {static_cast<TBarType>(23), "1", 1, 2.0, csNone},
        {bcCode128B, "x", 1000001, 2.0, csNone}, // module out of range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " '" << c.text << "'");
        std::string caption = c.text, lineCodes;
        double ratio = c.ratio;
        const std::string expectedError =
            MessageOf([&] { MakeLineCodes(c.type, c.text, c.modul, ratio, c.cs, caption, lineCodes); });
        const auto widths = ThreadWidths();
        double other = 2.0;
        MakeLineCodes(bcCode39, "A", 7, other, csNone, caption, lineCodes);
        qb::EncodedSymbol s;
        EXPECT_EQ(MessageOf([&] { s = qb::EncodeSymbol(c.type, c.text, c.modul, c.ratio, c.cs); }), expectedError);
        EXPECT_EQ(ThreadWidths(), (std::array<std::int32_t, 4>{7, 14, 21, 28}));
        if (!expectedError.empty())
            continue;
        caption = c.text;
        ratio = c.ratio;
        MakeLineCodes(c.type, c.text, c.modul, ratio, c.cs, caption, lineCodes);
        EXPECT_EQ(s.LineCodes, lineCodes);
        EXPECT_EQ(s.Caption, caption);
        EXPECT_EQ(s.Ratio, ratio);
        EXPECT_EQ(s.Widths, widths);
        EXPECT_EQ(s.TypeName, Q_GetBarTypeName(c.type));
        EXPECT_EQ(s.BarWidth, Q_GetBarWidth(c.type, c.text, c.modul, c.ratio, c.cs));
    }
}

TEST(EncodeSymbol, DecodesByItsOwnWidths)
{
    // Module 3, ratio 2.5: 3, 8 (7.5 to even), 12, 16.
    const qb::EncodedSymbol s = qb::EncodeSymbol(bcCode39, "A", 3, 2.5, csNone);
    EXPECT_EQ(s.Widths, (qb::ModuleWidths{3, 8, 12, 16}));
    std::int32_t width = 0;
    TBarLineType kind = white;
    qb::DecodeLineCode('C', s.Widths, width, kind);
    EXPECT_EQ(width, 12);
    EXPECT_EQ(kind, black_half);
    EXPECT_EQ(MessageOf([&] { qb::DecodeLineCode('4', s.Widths, width, kind); }), "Internal Error.");
}

// Line codes from another encoder are measured, drawn and bounded exactly
// as those of the symbology they spell.
TEST(MakeSymbol, DrawsLikeTheSymbologyItSpells)
{
    std::string lineCodes, caption = "ABC";
    double ratio = 2.0;
    MakeLineCodes(bcCode128B, "ABC", 2, ratio, csNone, caption, lineCodes);
    const qb::EncodedSymbol made = qb::MakeSymbol(lineCodes, "ABC", "Code128B", 2, 2.0);
    EXPECT_EQ(made.BarWidth, Q_GetBarWidth(bcCode128B, "ABC", 2, 2.0, csNone));

    TFont font;
    font.Size = 8;
    for (double angle : {0.0, 90.0, 33.3}) {
        SCOPED_TRACE(angle);
        TBitmap expected(260, 260), drawn(260, 260);
        Q_DrawBar(expected.Canvas(), bcCode128B, "ABC", 2, 2.0, csNone, 20, 30, 40, &font, tsBoth, tpBottomCenter,
                  clBlack, clYellow, clRed, angle);
        qb::DrawSymbol(drawn.Canvas(), made, 20, 30, 40, &font, tsBoth, tpBottomCenter, clBlack, clYellow, clRed,
                       angle);
        for (int y = 0; y < expected.Height(); ++y)
            ASSERT_TRUE(std::equal(expected.ScanLine(y), expected.ScanLine(y) + expected.Width(), drawn.ScanLine(y)))
                << "row " << y;
        const TRect a = DrawingBounds(expected.Canvas(), bcCode128B, "ABC", 2, 2.0, csNone, 20, 30, 40, &font, tsBoth,
                                      tpBottomCenter, angle);
        const TRect b = qb::SymbolBounds(drawn.Canvas(), made, 20, 30, 40, &font, tsBoth, tpBottomCenter, angle);
        EXPECT_EQ(std::tie(a.Left, a.Top, a.Right, a.Bottom), std::tie(b.Left, b.Top, b.Right, b.Bottom));
        EXPECT_EQ(qb::SymbolCanvasWidth(made, 40, angle),
                  Q_GetCanvasWidth(bcCode128B, "ABC", 2, 2.0, csNone, 40, angle));
        EXPECT_EQ(qb::SymbolCanvasHeight(made, 40, angle),
                  Q_GetCanvasHeight(bcCode128B, "ABC", 2, 2.0, csNone, 40, angle));
    }

    EXPECT_EQ(MessageOf([] { qb::MakeSymbol("5x0", "", "", 1, 2.0); }), "Internal Error.");
    EXPECT_EQ(MessageOf([] { qb::MakeSymbol("50", "", "", 1, 1e9); }), "Module width out of range.");
}

} // namespace
