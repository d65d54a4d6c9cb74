// The barcode control: defaults, repaints and change events, the checks of
// its setters, placement in its frame, measuring and printing methods, and
// its published properties.
#include "qbarcode/pbarcode.h"
#include "qbarcode/printers.h"
#include "support/files.h"
#include "support/reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

using namespace qb;

namespace fs = std::filesystem;

namespace {

// A control that counts its paints and change events.
class CountingBarCode : public TBarCode {
public:
    explicit CountingBarCode(TComponent* owner = nullptr) : TBarCode(owner)
    {
        OnChange = TNotifyEvent([this](TObject* sender) {
            EXPECT_EQ(sender, this);
            ++changes;
        });
    }
    int paints = 0;
    int changes = 0;
    void Reset() { paints = changes = 0; }

protected:
    void Paint() override
    {
        ++paints;
        TBarCode::Paint();
    }
};

// A raster pixel as a TColor (0x00BBGGRR).
TColor PixelAt(const TBitmap& image, int x, int y)
{
    const std::uint32_t rgb = image.ScanLine(y)[x];
    return static_cast<TColor>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF));
}

std::string PropText(const TPropValue& v)
{
    if (auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v))
        return std::to_string(*d);
    if (auto* s = std::get_if<std::string>(&v))
        return "'" + *s + "'";
    if (auto* b = std::get_if<bool>(&v))
        return *b ? "True" : "False";
    if (auto* m = std::get_if<TMethodRef>(&v))
        return m->Code.has_value() ? "handler" : "nil";
    return "?";
}

TEST(BarCodeControl, FreshControlHasTheDocumentedValues)
{
    TBarCode bc(nullptr);
    struct Row {
        const char* property;
        std::string value;
    };
    const Row rows[] = {
        {"BarType", std::to_string(bcCode39)},
        {"BarCode", "''"},
        {"Modul", "1"},
        {"Ratio", std::to_string(2.0)},
        {"BarHeight", "0"},
        {"CheckSum", std::to_string(csNone)},
        {"ColorSpc", "16777215"},
        {"TextColor", "16777215"},
        {"ColorBar", "0"},
        {"Orientation", std::to_string(toLeftRight)},
        {"TextShow", std::to_string(tsNone)},
        {"TextPosition", std::to_string(tpBottomCenter)},
        {"HMargin", "0"},
        {"AutoWidth", "False"},
        {"Alignment", std::to_string(taCenter)},
        {"BevelInner", std::to_string(bvNone)},
        {"BevelOuter", std::to_string(bvRaised)},
        {"BevelWidth", "1"},
        {"BorderWidth", "0"},
        {"BorderStyle", std::to_string(bsNone)},
        {"AutoSize", "False"},
        {"OnChange", "nil"},
    };
    for (const Row& row : rows) {
        const TPropInfo* prop = GetPropInfo(bc.ClassInfo(), row.property);
        ASSERT_NE(prop, nullptr) << row.property;
        EXPECT_EQ(PropText(GetPropValue(bc, *prop)), row.value) << row.property;
    }
    EXPECT_EQ(bc.Caption(), "");
}

// Each row applies one change to a fresh control; a value equal to the stored
// one neither repaints nor fires OnChange, a different one does both once.
TEST(BarCodeControl, EachChangedSettingRepaintsAndNotifiesOnce)
{
    struct Row {
        const char* what;
        void (*apply)(TBarCode&);
        int paints;
    };
    const Row rows[] = {
        {"same BarCode", [](TBarCode& b) { b.SetBarCode(""); }, 0},
        {"new BarCode", [](TBarCode& b) { b.SetBarCode("AB"); }, 1},
        {"same BarType", [](TBarCode& b) { b.SetBarType(bcCode39); }, 0},
        {"new BarType", [](TBarCode& b) { b.SetBarType(bcCode128B); }, 1},
        {"BarHeight", [](TBarCode& b) { b.SetBarHeight(20); }, 1},
        {"Modul", [](TBarCode& b) { b.SetModul(2); }, 1},
        {"same Modul", [](TBarCode& b) { b.SetModul(1); }, 0},
        {"Ratio", [](TBarCode& b) { b.SetRatio(2.5); }, 1},
        {"CheckSum", [](TBarCode& b) { b.SetCheckSum(csModulo10); }, 1},
        {"ColorSpc", [](TBarCode& b) { b.SetColorSpc(clYellow); }, 1},
        {"ColorBar", [](TBarCode& b) { b.SetColorBar(clNavy); }, 1},
        {"Orientation", [](TBarCode& b) { b.SetOrientation(toRightLeft); }, 1},
        {"TextShow", [](TBarCode& b) { b.SetTextShow(tsBoth); }, 1},
        {"TextPosition", [](TBarCode& b) { b.SetTextPosition(tpTopLeft); }, 1},
        {"TextColor", [](TBarCode& b) { b.SetTextColor(clAqua); }, 1},
        {"HMargin without AutoSize", [](TBarCode& b) { b.SetHMargin(4); }, 0},
        {"About", [](TBarCode& b) { b.SetAbout("something else"); }, 0},
    };
    for (const Row& row : rows) {
        CountingBarCode bc;
        row.apply(bc);
        EXPECT_EQ(bc.paints, row.paints) << row.what;
        EXPECT_EQ(bc.changes, row.paints) << row.what;
    }
}

TEST(BarCodeControl, NumericCheckForDigitsOnlySymbologies)
{
    struct Row {
        const char* text;
        const char* error; // nullptr: accepted and stored as given
    };
    const Row rows[] = {
        {"123a", "123a: Barcode must be numeric."},
        {" 1234 ", nullptr},
        {"12 34", "12 34: Barcode must be numeric."},
        {"", nullptr},
        {"\t590123412345\n", nullptr},
    };
    for (const Row& row : rows) {
        CountingBarCode bc;
        bc.SetBarType(bcCodeEAN13);
        bc.SetBarCode("1");
        bc.Reset();
        if (row.error) {
            try {
                bc.SetBarCode(row.text);
                ADD_FAILURE() << "accepted " << row.text;
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message, row.error);
            }
            EXPECT_EQ(bc.BarCode(), "1") << row.text;
            EXPECT_EQ(bc.paints + bc.changes, 0) << row.text;
        } else {
            bc.SetBarCode(row.text);
            EXPECT_EQ(bc.BarCode(), row.text);
            EXPECT_EQ(bc.changes, 1) << row.text;
        }
    }
}

TEST(BarCodeControl, ABadTextStaysStoredAndTheRepaintErrorLeavesTheSetter)
{
    CountingBarCode bc;
    bc.SetBarCode("ABC");
    bc.Reset();
    try {
        bc.SetBarType(bcCodeEAN13);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "ABC : Barcode must be numeric.");
    }
    EXPECT_EQ(bc.BarType(), bcCodeEAN13);
    EXPECT_EQ(bc.paints, 1);
    EXPECT_EQ(bc.changes, 0);
    EXPECT_THROW(bc.SetModul(3), Exception); // every later paint fails the same way
    EXPECT_EQ(bc.Modul(), 3);
    bc.SetBarType(bcCode39);
    EXPECT_EQ(bc.changes, 1);
}

TEST(BarCodeControl, ModulAcceptsOneToFortyNine)
{
    for (int bad : {0, -1, 50, 1000}) {
        CountingBarCode bc;
        bc.SetModul(bad);
        EXPECT_EQ(bc.Modul(), 1) << bad;
        EXPECT_EQ(bc.paints, 0) << bad;
    }
    TBarCode bc(nullptr);
    bc.SetModul(49);
    EXPECT_EQ(bc.Modul(), 49);
}

// A fresh 185 x 41 control: B = 1 (raised outer bevel), E = 0, so A = 38.
TEST(BarCodeControl, BarHeightRangeAgainstTheAvailableHeight)
{
    struct Row {
        int value, stored;
    };
    for (const Row row : {Row{-1, 0}, Row{39, 0}, Row{38, 38}, Row{1, 1}, Row{37, 37}}) {
        TBarCode bc(nullptr);
        bc.SetBarHeight(row.value);
        EXPECT_EQ(bc.BarHeight(), row.stored) << row.value;
    }
    TBarCode bc(nullptr);
    bc.SetBarHeight(38);
    EXPECT_EQ(bc.GetBarHeight(), 38);
    EXPECT_EQ(bc.BarHeight(), 0) << "GetBarHeight resets a stored A";
    bc.SetBarHeight(30);
    bc.SetHeight(20); // A = 17; the stored value is kept and used unclamped
    EXPECT_EQ(bc.BarHeight(), 30);
    EXPECT_EQ(bc.GetBarHeight(), 17);
    EXPECT_EQ(bc.BarHeight(), 0);
    bc.SetOrientation(toTopBottom); // vertical: A comes from the width
    EXPECT_EQ(bc.GetBarHeight(), 185 - 2 - 1);
}

TEST(BarCodeControl, HMarginRepaintsOnlyUnderAutoSize)
{
    CountingBarCode bc;
    bc.SetBarCode("A");
    bc.SetAutoWidth(true);
    const int width = bc.Width();
    bc.Reset();
    bc.SetHMargin(10);
    EXPECT_EQ(bc.paints, 0);
    EXPECT_EQ(bc.Width(), width);
    bc.AutoSize = true;
    bc.SetHMargin(20);
    EXPECT_EQ(bc.changes, 1);
    EXPECT_EQ(bc.Width(), 38 + 2 * (20 + 1));
}

TEST(BarCodeControl, AutoSetWidthOnAFramelessControl)
{
    TBarCode bc(nullptr);
    bc.SetBevelOuter(bvNone);
    bc.SetBarCode("A"); // W = 38 at Modul 1, Ratio 2
    EXPECT_EQ(bc.AutoSetWidth(5), 48);
    EXPECT_EQ(bc.Width(), 48);
    bc.SetOrientation(toBottomTop);
    EXPECT_EQ(bc.AutoSetWidth(5), 48);
    EXPECT_EQ(bc.Height(), 48);
    EXPECT_EQ(bc.Width(), 48);
}

TEST(BarCodeControl, AutoWidthResizesAndThenPaintsAtTheNewSize)
{
    CountingBarCode bc;
    bc.SetColorBar(clRed);
    bc.SetBarCode("A");
    bc.Reset();
    bc.SetAutoWidth(true);
    EXPECT_EQ(bc.Width(), 38 + 2 * 1);
    EXPECT_EQ(bc.paints, 2) << "the paint that resized, then one at the new size";
    EXPECT_EQ(bc.changes, 1);
    // Centred: x = (40 - 0 - 38) / 2 = 1, right up to the bevel.
    EXPECT_EQ(PixelAt(bc.Image(), 1, 20), clRed);
    EXPECT_EQ(PixelAt(bc.Image(), 38, 20), clRed);
}

// Sizes out of the control's range are replaced by the nearest it can take,
// and painting goes on; a fresh control's Code 39 "A" is 38 pixels long.
TEST(BarCodeControl, AutoWidthClampsSizesItCannotTake)
{
    struct Row {
        int margin;
        TOrientation orientation;
        int size;
    };
    for (const Row row : {Row{-100, toLeftRight, 0}, Row{-100, toTopBottom, 0}, Row{20000, toLeftRight, 32767},
                          Row{5, toLeftRight, 38 + 2 * 6}}) {
        TBarCode bc(nullptr);
        bc.SetBarCode("A");
        bc.SetOrientation(row.orientation);
        bc.SetHMargin(row.margin);
        EXPECT_NO_THROW(bc.SetAutoWidth(true)) << row.margin;
        EXPECT_TRUE(bc.AutoWidth());
        EXPECT_EQ(row.orientation == toLeftRight ? bc.Width() : bc.Height(), row.size) << row.margin;
        EXPECT_EQ(bc.AutoSetWidth(row.margin), row.size) << row.margin;
        EXPECT_NO_THROW(bc.SetModul(2)) << "later paints go on, " << row.margin;
    }
}

TEST(BarCodeControl, GetAngleFollowsOrientation)
{
    TBarCode bc(nullptr);
    const double angles[] = {0, 180, 270, 90};
    for (int o = 0; o < 4; ++o) {
        bc.SetOrientation(static_cast<TOrientation>(o));
        EXPECT_EQ(bc.GetAngle(), angles[o]);
    }
}

TEST(BarCodeControl, AssignCopiesStoredSettingsWithoutRepaint)
{
    TBarCode source(nullptr);
    source.SetBarType(bcCode128B);
    source.SetBarCode("Hello");
    source.SetModul(3);
    source.SetRatio(2.5);
    source.SetColorBar(clNavy);
    source.SetColorSpc(clCream);
    source.SetTextColor(clYellow);
    source.SetTextShow(tsBoth);
    source.SetTextPosition(tpTopRight);
    source.SetCheckSum(csModulo10);
    source.SetOrientation(toBottomTop);
    source.SetHMargin(7);
    source.SetAutoWidth(true);
    int fired = 0;
    source.OnChange = TNotifyEvent([&](TObject*) { ++fired; }, "SourceChange");

    CountingBarCode target;
    target.Assign(&source);
    EXPECT_EQ(target.paints, 0);
    EXPECT_EQ(target.BarType(), bcCode128B);
    EXPECT_EQ(target.BarCode(), "Hello");
    EXPECT_EQ(target.Modul(), 3);
    EXPECT_EQ(target.Ratio(), 2.5);
    EXPECT_EQ(target.ColorBar(), clNavy);
    EXPECT_EQ(target.ColorSpc(), clCream);
    EXPECT_EQ(target.TextColor(), clYellow);
    EXPECT_EQ(target.TextShow(), tsBoth);
    EXPECT_EQ(target.TextPosition(), tpTopRight);
    EXPECT_EQ(target.CheckSum(), csModulo10);
    EXPECT_EQ(target.Orientation(), toBottomTop);
    EXPECT_EQ(target.HMargin(), 7);
    EXPECT_FALSE(target.AutoWidth());
    EXPECT_EQ(target.OnChange.Name, "SourceChange");
    fired = 0;
    target.SetModul(4);
    EXPECT_EQ(fired, 1) << "the copied handler runs";

    TPanel panel(nullptr);
    TBarCode untouched(nullptr);
    untouched.Assign(&panel);
    EXPECT_EQ(untouched.BarType(), bcCode39);
}

TEST(BarCodeControl, AboutIsAFixedBanner)
{
    TBarCode bc(nullptr);
    const std::string banner = bc.GetAbout();
    EXPECT_EQ(banner.rfind("qbarcode ", 0), 0u) << banner;
    EXPECT_GT(banner.size(), std::string("qbarcode ").size());
    bc.SetAbout("x");
    EXPECT_EQ(bc.GetAbout(), banner);
}

bool SameImage(const TBitmap& a, const TBitmap& b)
{
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.ScanLine(y)[x] != b.ScanLine(y)[x])
                return false;
    return true;
}

TEST(BarCodeControl, OverloadsWithoutAngleUseGetAngle)
{
    TBarCode bc(nullptr);
    bc.SetBarType(bcCode128B);
    bc.SetBarCode("Pair");
    bc.SetTextShow(tsBarCode);
    for (int o = 0; o < 4; ++o) {
        bc.SetOrientation(static_cast<TOrientation>(o));
        TBitmap a(200, 200), b(200, 200);
        bc.Draw(a.Canvas(), 20, 30, 40);
        bc.Draw(b.Canvas(), 20, 30, 40, bc.GetAngle());
        EXPECT_TRUE(SameImage(a, b)) << o;
        EXPECT_EQ(bc.GetCanvasHeight(40), bc.GetCanvasHeight(40, bc.GetAngle())) << o;
        EXPECT_EQ(bc.GetCanvasWidth(40), bc.GetCanvasWidth(40, bc.GetAngle())) << o;
        EXPECT_EQ(bc.GetPrnCanvasHeight(utMillimeter, 15, 0.25),
                  bc.GetPrnCanvasHeight(utMillimeter, 15, 0.25, bc.GetAngle()));
        EXPECT_EQ(bc.GetPrnCanvasWidth(utInch, 0.5, 0.01), bc.GetPrnCanvasWidth(utInch, 0.5, 0.01, bc.GetAngle()));
    }
}

TEST(BarCodeControl, DrawLeavesTheControlAlone)
{
    CountingBarCode bc;
    bc.SetBarCode("A");
    bc.SetAutoWidth(true);
    bc.Reset();
    TBitmap other(100, 60);
    bc.Draw(other.Canvas(), 5, 5, 30);
    EXPECT_EQ(bc.paints + bc.changes, 0);
    EXPECT_EQ(other.Canvas().Pixel(5, 5), clBlack);
    EXPECT_EQ(other.Canvas().Pixel(42, 35), clBlack); // 38 columns, 31 rows
    EXPECT_EQ(other.Canvas().Pixel(43, 35), clWhite);
}

TEST(BarCodeControl, PixelMeasuresDoNotCrossButPrintedOnesDo)
{
    TBarCode bc(nullptr);
    bc.SetBarCode("A"); // 38 pixels long at Modul 1
    EXPECT_EQ(bc.GetCanvasHeight(50), 38) << "the length: Round(38.5)";
    EXPECT_EQ(bc.GetCanvasWidth(50), 50) << "the bar height: Round(50.5)";

    // At 600 dpi, Modul 0.25 mm is 6 pixels, so W = 228 pixels = 9.65 mm; a
    // bar height of 15 mm is 354 pixels.
    Printer()->SetResolution(600, 600);
    TBarCode prn(nullptr);
    prn.SetBarCode("A");
    EXPECT_EQ(prn.GetPrnBarWidth(utMillimeter, 0.25), 10.0);
    EXPECT_EQ(prn.GetPrnCanvasWidth(utMillimeter, 15, 0.25), 10.0) << "the length";
    EXPECT_EQ(prn.GetPrnCanvasHeight(utMillimeter, 15, 0.25), 15.0) << "the bar height";
    for (double angle : {0.0, 30.0, 90.0}) {
        EXPECT_EQ(prn.GetPrnCanvasWidth(utMillimeter, 15, 0.25, angle),
                  Q_PrnCanvasHeight(utMillimeter, bcCode39, "A", 0.25, 2.0, csNone, 15, angle));
        EXPECT_EQ(prn.GetPrnCanvasHeight(utMillimeter, 15, 0.25, angle),
                  Q_PrnCanvasWidth(utMillimeter, bcCode39, "A", 0.25, 2.0, csNone, 15, angle));
    }
    EXPECT_EQ(prn.Q_GetBarTypeName(bcCodeCodabar), "Codebar");
}

// Frame: outer bevel raised 2, border band 3, inner bevel lowered 2 (B = 7),
// single 3-D window border (E = 4, 2 pixels each side). Code 39 "A" is 38
// pixels long; A = 60 - 14 - 4 - 1 = 41, the bars fill 42 rows or columns.
// Expected boxes are in raster coordinates (client origin at 2, 2).
TEST(BarCodeControl, PaintPlacesTheBarcodeByAlignmentAndOrientation)
{
    struct Row {
        TOrientation orientation;
        TAlignment alignment;
        TRect bars; // inclusive
    };
    const Row rows[] = {
        {toLeftRight, taLeftJustify, {9, 9, 46, 50}},     {toLeftRight, taRightJustify, {153, 9, 190, 50}},
        {toLeftRight, taCenter, {81, 9, 118, 50}},        {toRightLeft, taLeftJustify, {9, 9, 46, 50}},
        {toRightLeft, taRightJustify, {153, 9, 190, 50}}, {toRightLeft, taCenter, {82, 9, 119, 50}},
        {toTopBottom, taLeftJustify, {9, 9, 50, 46}},     {toTopBottom, taRightJustify, {9, 153, 50, 190}},
        {toTopBottom, taCenter, {9, 81, 50, 118}},        {toBottomTop, taLeftJustify, {9, 9, 50, 46}},
        {toBottomTop, taRightJustify, {9, 153, 50, 190}}, {toBottomTop, taCenter, {9, 82, 50, 119}},
    };
    for (const Row& row : rows) {
        const bool vertical = row.orientation == toTopBottom || row.orientation == toBottomTop;
        TBarCode bc(nullptr);
        bc.SetBounds(0, 0, vertical ? 60 : 200, vertical ? 200 : 60);
        bc.SetBevelWidth(2);
        bc.SetBorderWidth(3);
        bc.SetBevelInner(bvLowered);
        bc.SetBorderStyle(bsSingle);
        bc.SetAlignment(row.alignment);
        bc.SetColorBar(clRed);
        bc.SetOrientation(row.orientation);
        bc.SetBarCode("A");
        const TBitmap& img = bc.Image();
        TRect found{img.Width(), img.Height(), -1, -1};
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width(); ++x)
                if (img.ScanLine(y)[x] == 0xFF0000) {
                    found.Left = std::min(found.Left, x), found.Top = std::min(found.Top, y);
                    found.Right = std::max(found.Right, x), found.Bottom = std::max(found.Bottom, y);
                }
        EXPECT_EQ(found, row.bars) << "orientation " << row.orientation << ", alignment " << row.alignment;

        // The frame along the diagonals, outside in.
        const int w = img.Width() - 1, h = img.Height() - 1;
        const TColor topLeft[] = {clBtnShadow, cl3DDkShadow, clBtnHighlight, clBtnHighlight, clBtnFace,
                                  clBtnFace,   clBtnFace,    clBtnShadow,    clBtnShadow};
        const TColor bottomRight[] = {clBtnHighlight, cl3DLight, clBtnShadow,    clBtnShadow,   clBtnFace,
                                      clBtnFace,      clBtnFace, clBtnHighlight, clBtnHighlight};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(PixelAt(img, i, i), ColorToRGB(topLeft[i])) << i;
            EXPECT_EQ(PixelAt(img, w - i, h - i), ColorToRGB(bottomRight[i])) << i;
        }
    }
}

bool IsBarColour(TColor c)
{
    return c == clRed || c == clYellow;
}

// A 40 x 40 control at (80, 20) on a 200 x 100 form showing Code 39
// "ABCDEF", 103 pixels long: centred, it would run from x = 49 to 151. It
// paints only inside its frame (bevel and window border), which it fills
// across and along; the frame stays whole, on the form, on its own image
// after the repaint a change makes, and in a vector document.
TEST(BarCodeControl, PaintsOnlyInsideItsFrame)
{
    struct Row {
        TBorderStyle border;
        bool ctl3D;
        TOrientation orientation;
        int inset; // window border and raised bevel, each side
    };
    const Row rows[] = {
        {bsNone, true, toLeftRight, 1},   {bsSingle, true, toLeftRight, 3}, {bsSingle, false, toLeftRight, 2},
        {bsSingle, true, toTopBottom, 3}, {bsNone, true, toBottomTop, 1},
    };
    const std::string svgPath =
        (fs::temp_directory_path() / ("qb-clip-" + std::to_string(::getpid()) + ".svg")).string();
    for (const Row& row : rows) {
        TForm form(nullptr);
        form.SetBounds(0, 0, 200, 100);
        form.SetColor(clWhite);
        auto* bc = new TBarCode(&form);
        bc->SetParent(&form);
        bc->SetBounds(80, 20, 40, 40);
        bc->SetBorderStyle(row.border);
        bc->SetCtl3D(row.ctl3D);
        bc->SetColorBar(clRed);
        bc->SetColorSpc(clYellow);
        bc->SetOrientation(row.orientation);
        bc->SetBarCode("ABCDEF");
        ASSERT_EQ(bc->GetBarWidth(), 103);
        const TRect inside{80 + row.inset, 20 + row.inset, 120 - row.inset, 60 - row.inset};
        // Every pixel of an image whose top-left corner lies at (left, top) on the form.
        auto check = [&](const TBitmap& image, int left, int top, const char* where) {
            for (int y = 0; y < image.Height(); ++y)
                for (int x = 0; x < image.Width(); ++x) {
                    const TColor c = PixelAt(image, x, y);
                    const int fx = x + left, fy = y + top;
                    const bool in = fx >= inside.Left && fx < inside.Right && fy >= inside.Top && fy < inside.Bottom;
                    const bool control = fx >= 80 && fx < 120 && fy >= 20 && fy < 60;
                    ASSERT_EQ(IsBarColour(c), in) << where << " " << x << "," << y << ", inset " << row.inset;
                    if (!control) {
                        ASSERT_EQ(c, clWhite) << where << " " << x << "," << y;
                    }
                }
        };
        check(bc->Image(), 80, 20, "own image");
        TBitmap page(200, 100);
        form.PaintTo(page.Canvas(), 0, 0);
        check(page, 0, 0, "form");
        {
            TVectorDocument svg(TVectorFormat::Svg, svgPath, 200, 100);
            form.PaintTo(svg.Canvas(), 0, 0);
            svg.Close();
        }
        const std::string clip = "<rect x=\"" + std::to_string(inside.Left) + "\" y=\"" + std::to_string(inside.Top) +
                                 "\" width=\"" + std::to_string(inside.Width()) + "\" height=\"" +
                                 std::to_string(inside.Height()) + "\"/></clipPath>";
        EXPECT_NE(testsupport::ReadFile(svgPath).find(clip), std::string::npos) << clip;
    }
    fs::remove(svgPath);
}

TEST(BarCodeControl, ThePaintedControlIsReadable)
{
    TBarCode bc(nullptr);
    bc.SetBounds(0, 0, 300, 100);
    bc.SetBarType(bcCode128B);
    bc.SetTextShow(tsBarCode);
    bc.SetBarCode("Control-42");
    const auto decoded = testsupport::ReadLinear(bc.Image());
    ASSERT_TRUE(decoded.found);
    EXPECT_EQ(decoded.text, "Control-42");
}

TEST(BarCodeControl, PublishesEightyPropertiesInOrder)
{
    const char* expected[] = {"Name",           "Tag",
                              "Left",           "Top",
                              "Width",          "Height",
                              "Cursor",         "Hint",
                              "HelpType",       "HelpKeyword",
                              "HelpContext",    "Align",
                              "Alignment",      "Anchors",
                              "AutoSize",       "BevelInner",
                              "BevelOuter",     "BevelWidth",
                              "BiDiMode",       "BorderWidth",
                              "BorderStyle",    "Color",
                              "Constraints",    "Ctl3D",
                              "UseDockManager", "DockSite",
                              "DragCursor",     "DragKind",
                              "DragMode",       "Enabled",
                              "FullRepaint",    "Font",
                              "Locked",         "ParentBiDiMode",
                              "ParentColor",    "ParentCtl3D",
                              "ParentFont",     "ParentShowHint",
                              "PopupMenu",      "ShowHint",
                              "TabOrder",       "TabStop",
                              "Visible",        "OnCanResize",
                              "OnClick",        "OnConstrainedResize",
                              "OnContextPopup", "OnDockDrop",
                              "OnDockOver",     "OnDblClick",
                              "OnDragDrop",     "OnDragOver",
                              "OnEndDock",      "OnEndDrag",
                              "OnEnter",        "OnExit",
                              "OnGetSiteInfo",  "OnMouseDown",
                              "OnMouseMove",    "OnMouseUp",
                              "OnResize",       "OnStartDock",
                              "OnStartDrag",    "OnUnDock",
                              "BarType",        "BarCode",
                              "BarHeight",      "Modul",
                              "Ratio",          "CheckSum",
                              "ColorSpc",       "ColorBar",
                              "Orientation",    "TextShow",
                              "TextPosition",   "TextColor",
                              "AutoWidth",      "HMargin",
                              "About",          "OnChange"};
    const auto& props = GetPropList(TBarCode::StaticClassInfo());
    ASSERT_EQ(props.size(), 80u);
    for (std::size_t i = 0; i < props.size(); ++i)
        EXPECT_EQ(props[i]->Name, expected[i]) << i;
}

// ---------------------------------------------------------------------------
// Form files

class BarCodeForms : public testing::Test {
protected:
    void SetUp() override { RegisterBarCodeClasses(); }
};

TEST_F(BarCodeForms, SeveralControlsRoundTripByteForByte)
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetName("Form1");
    form->SetCaption("Labels 'n' such");
    form->SetBounds(0, 0, 420, 260);
    RegisterHandler(form.get(), "BarCodeChange", [](TObject*) {});
    auto* menu = new TPopupMenu(form.get());
    menu->SetName("Menu1");

    auto* a = new TBarCode(form.get());
    a->SetName("BarCode1");
    a->SetParent(form.get());
    a->SetBounds(8, 8, 300, 80);
    a->SetBarType(bcCode128B);
    a->SetBarCode(std::string("it's\x01\xE9", 6));
    a->SetRatio(2.25);
    a->SetTextShow(tsBoth);
    a->SetColorBar(clNavy);
    a->Font()->Size = 12;
    a->Font()->Style = fsBold | fsItalic;
    a->Constraints()->SetMinWidth(50);
    a->Anchors = TAnchors{akLeft, akRight};
    a->SetPopupMenu(menu);
    a->OnChange = TNotifyEvent([](TObject*) {}, "BarCodeChange");

    auto* b = new TBarCode(form.get());
    b->SetName("BarCode2");
    b->SetParent(form.get());
    b->SetBounds(8, 100, 80, 150);
    b->SetBarType(bcCodeEAN13);
    b->SetBarCode("590123412345");
    b->SetCheckSum(csModulo10);
    b->SetOrientation(toTopBottom);
    b->SetBorderStyle(bsSingle);
    b->SetCtl3D(false);
    b->SetColor(clWhite);

    const std::string first = WriteComponentString(*form);
    std::unique_ptr<TComponent> copy(ReadComponentString(first, "form.txt", nullptr, &form->Handlers()));
    const std::string second = WriteComponentString(*copy);
    EXPECT_EQ(first, second);
    EXPECT_NE(first.find("Modul = 1"), std::string::npos) << "no default: always written";
    EXPECT_EQ(first.find("BarHeight"), std::string::npos) << "defaults are not written";
    auto* read = dynamic_cast<TBarCode*>(static_cast<TForm*>(copy.get())->FindComponent("BarCode1"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->BarCode(), a->BarCode());
    EXPECT_EQ(read->PopupMenu(), copy->FindComponent("Menu1"));
    EXPECT_EQ(read->Parent(), copy.get());
}

TEST_F(BarCodeForms, ANonNumericTextAfterANumericTypeFailsNamingTheLine)
{
    const std::string text = "object Form1: TForm\n"
                             "  Width = 300\n"
                             "  object BarCode1: TBarCode\n"
                             "    BarType = bcCodeEAN13\n"
                             "    BarCode = '12a'\n"
                             "    Modul = 1\n"
                             "    Ratio = 2\n"
                             "  end\n"
                             "end\n";
    try {
        delete ReadComponentString(text, "form.txt", nullptr);
        FAIL() << "loaded";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message.find("form.txt:5"), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("12a: Barcode must be numeric."), std::string::npos) << e.Message;
    }
}

// The bar height's range depends on the size, frame and Orientation, which a
// form file gives before and after it: it is checked once, after loading.
TEST_F(BarCodeForms, ALoadedControlKeepsTheBarHeightItSaved)
{
    struct Row {
        const char* orientation;
        int width, height, barHeight;
        int loaded; // A = 297 across a 300-wide vertical control, 77 across an 80-high horizontal one
    };
    const Row rows[] = {
        {"toTopBottom", 300, 80, 200, 200}, {"toBottomTop", 300, 80, 297, 297}, {"toTopBottom", 300, 80, 298, 0},
        {"toLeftRight", 300, 80, 200, 0},   {"toLeftRight", 300, 80, 77, 77},   {"toLeftRight", 300, 80, -5, 0},
    };
    for (const Row& row : rows) {
        const std::string text = "object BarCode1: TBarCode\n  Width = " + std::to_string(row.width) +
                                 "\n  Height = " + std::to_string(row.height) +
                                 "\n  BarCode = 'AB'\n  BarHeight = " + std::to_string(row.barHeight) +
                                 "\n  Modul = 1\n  Ratio = 2.0\n  Orientation = " + row.orientation + "\nend\n";
        std::unique_ptr<TComponent> root(ReadComponentString(text, "bc.txt", nullptr));
        auto* bc = dynamic_cast<TBarCode*>(root.get());
        ASSERT_NE(bc, nullptr);
        EXPECT_EQ(bc->BarHeight(), row.loaded) << row.orientation << " " << row.barHeight;
        const std::string written = WriteComponentString(*bc);
        EXPECT_EQ(written.find("BarHeight = " + std::to_string(row.barHeight)) != std::string::npos, row.loaded != 0)
            << written;
    }
}

// Every enumerator of the control's enumerations, set through its property
// row, is written under the name its list gives it (or left out when it is
// the default) and reads back as the same value.
TEST_F(BarCodeForms, EveryEnumeratorRoundTripsThroughItsName)
{
    struct Enumerator {
        const char* name;
        std::int64_t value;
    };
#define QB_TEST_ENUMERATOR(name, ...) {#name, name},
    const struct {
        const char* property;
        std::vector<Enumerator> enumerators;
    } properties[] = {
        {"BarType", {QB_BAR_TYPES(QB_TEST_ENUMERATOR)}},           {"CheckSum", {QB_CHECK_SUMS(QB_TEST_ENUMERATOR)}},
        {"Orientation", {QB_ORIENTATIONS(QB_TEST_ENUMERATOR)}},    {"TextShow", {QB_TEXT_SHOWS(QB_TEST_ENUMERATOR)}},
        {"TextPosition", {QB_TEXT_POSITIONS(QB_TEST_ENUMERATOR)}},
    };
#undef QB_TEST_ENUMERATOR
    for (const auto& p : properties) {
        const TPropInfo* prop = GetPropInfo(TBarCode::StaticClassInfo(), p.property);
        ASSERT_NE(prop, nullptr) << p.property;
        ASSERT_NE(prop->Enum, nullptr) << p.property;
        EXPECT_EQ(prop->Enum->Values.size(), p.enumerators.size()) << p.property;
        for (const Enumerator& e : p.enumerators) {
            TBarCode bc(nullptr);
            bc.SetName("BarCode1");
            bc.SetBarCode("12");
            SetPropValue(bc, *prop, e.value);
            const std::string written = WriteComponentString(bc);
            const std::string line = std::string("  ") + p.property + " = " + e.name + "\n";
            const auto* def = std::get_if<std::int64_t>(&prop->Default);
            const bool isDefault = def && *def == e.value;
            EXPECT_EQ(written.find(line) != std::string::npos, !isDefault) << written;
            std::unique_ptr<TComponent> read(ReadComponentString(written, "bc.txt", nullptr));
            EXPECT_EQ(std::get<std::int64_t>(GetPropValue(*read, *prop)), e.value) << p.property << " " << e.name;
        }
        TBarCode bc(nullptr);
        EXPECT_THROW(SetPropValue(bc, *prop, static_cast<std::int64_t>(p.enumerators.size())), Exception) << p.property;
    }
}

} // namespace

namespace {

TEST_F(BarCodeForms, ALoadedControlShowsItsFont)
{
    const std::string text = "object BarCode1: TBarCode\n"
                             "  Width = 200\n"
                             "  Height = 60\n"
                             "  BarCode = 'AB'\n"
                             "  Modul = 1\n"
                             "  Ratio = 2.0\n"
                             "  TextShow = tsBarCode\n"
                             "  Font.Color = clRed\n"
                             "  Font.Size = 12\n"
                             "end\n";
    std::unique_ptr<TComponent> root(ReadComponentString(text, "bc.txt", nullptr));
    auto* bc = dynamic_cast<TBarCode*>(root.get());
    ASSERT_NE(bc, nullptr);
    EXPECT_EQ(bc->Font()->Size, 12);
    bool red = false;
    for (int y = 0; y < 60 && !red; ++y)
        for (int x = 0; x < 200 && !red; ++x)
            red = PixelAt(bc->Image(), x, y) == clRed;
    EXPECT_TRUE(red) << "the caption is painted in the loaded font";
}

} // namespace

namespace {

// The panel leaves the barcode's own box to the bars; everything else must
// be background again after the barcode moves or shrinks.
TEST(BarCodeControl, WhereTheBarcodeWasIsBackgroundAgain)
{
    const TColor face = ColorToRGB(clBtnFace);
    TBarCode bc(nullptr);
    bc.SetBounds(0, 0, 200, 60);
    bc.SetAlignment(taLeftJustify);
    bc.SetBarCode("A"); // columns 1 to 38
    EXPECT_EQ(PixelAt(bc.Image(), 1, 30), clBlack);
    bc.SetAlignment(taRightJustify);
    EXPECT_EQ(PixelAt(bc.Image(), 1, 30), face);
    bc.SetOrientation(toTopBottom);
    bc.SetBarHeight(50); // columns 75 to 125, rows 21 to 58
    EXPECT_EQ(PixelAt(bc.Image(), 190, 30), face);
    EXPECT_EQ(PixelAt(bc.Image(), 100, 10), face);
    // PostNet's short bars leave background beside them, where earlier
    // paints (Code 39 in black) must not show through: red bars, white
    // spaces and the face colour only.
    TBarCode settings(nullptr);
    settings.SetBounds(0, 0, 200, 60);
    settings.SetBarType(bcCodePostNet);
    settings.SetColorBar(clRed);
    settings.SetBarHeight(50);
    settings.SetBarCode("1234");
    TBarCode postnet(nullptr);
    postnet.SetBounds(0, 0, 200, 60); // an empty Code 39 in the middle
    postnet.Assign(&settings);        // no paint: the next one is the first PostNet paint
    postnet.Repaint();
    int background = 0;
    for (int y = 5; y <= 55; ++y)
        for (int x = 1; x < 199; ++x) {
            const TColor c = PixelAt(postnet.Image(), x, y);
            ASSERT_TRUE(c == clRed || c == clWhite || c == face) << x << "," << y << ": " << c;
            background += c == face;
        }
    EXPECT_GT(background, 0);
}

} // namespace

namespace {

// A printed page without its creation time, which is all that differs
// between two prints of the same drawing.
std::string PrintedPage(const std::function<void()>& print, const std::string& path)
{
    Printer()->SetResolution(300, 300);
    Printer()->SetOutputFile(path);
    Printer()->BeginDoc();
    print();
    Printer()->EndDoc();
    Printer()->SetOutputFile("");
    std::string pdf = testsupport::ReadFile(path);
    fs::remove(path);
    const auto at = pdf.find("/CreationDate");
    if (at != std::string::npos)
        pdf.erase(at, pdf.find('\n', at) - at);
    return pdf;
}

TEST(BarCodeControl, PrintWithoutAngleUsesGetAngle)
{
    const std::string path = (fs::temp_directory_path() / ("qb-print-" + std::to_string(::getpid()) + ".pdf")).string();
    TBarCode bc(nullptr);
    bc.SetBarType(bcCodeEAN13);
    bc.SetBarCode("590123412345");
    bc.SetTextShow(tsBarCode);
    for (TOrientation o : {toLeftRight, toTopBottom}) {
        bc.SetOrientation(o);
        const std::string implicit = PrintedPage([&] { bc.Print(utMillimeter, 20, 20, 15, 0.33); }, path);
        const std::string given = PrintedPage([&] { bc.Print(utMillimeter, 20, 20, 15, 0.33, bc.GetAngle()); }, path);
        const std::string other = PrintedPage([&] { bc.Print(utMillimeter, 20, 20, 15, 0.33, 45); }, path);
        ASSERT_FALSE(implicit.empty());
        EXPECT_EQ(implicit, given) << o;
        EXPECT_NE(implicit, other) << o;
    }
    Printer()->SetResolution(600, 600);
}

} // namespace
