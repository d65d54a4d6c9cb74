// The framework's controls: panel painting pixel by pixel, the raster and its
// paint cycle, forms painting their controls, messages and limits.
#include "qbarcode/controls.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace qb;

namespace {

TColor PixelAt(const TBitmap& image, int x, int y)
{
    const std::uint32_t rgb = image.ScanLine(y)[x];
    return static_cast<TColor>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF));
}

const TColor kFace = ColorToRGB(clBtnFace);
const TColor kLight = ColorToRGB(clBtnHighlight);
const TColor kShadow = ColorToRGB(clBtnShadow);

class CountingPanel : public TPanel {
public:
    using TPanel::TPanel;
    int paints = 0;
    int growOnce = 0; // a width to take from inside the next paint

protected:
    void Paint() override
    {
        ++paints;
        TPanel::Paint();
        if (growOnce) {
            const int w = growOnce;
            growOnce = 0;
            SetWidth(w);
        }
    }
};

// A 20 x 12 panel, outside in along the top-left diagonal and the
// bottom-right one; every case paints the same background beyond its frame.
TEST(Panel, PaintsBevelsBorderAndWindowBorderOutsideIn)
{
    struct Row {
        const char* what;
        TBevelCut outer, inner;
        int bevelWidth, borderWidth;
        TBorderStyle border;
        bool ctl3D;
        std::vector<TColor> topLeft, bottomRight;
    };
    const TColor frame = ColorToRGB(clWindowFrame), dark = ColorToRGB(cl3DDkShadow), light3D = ColorToRGB(cl3DLight);
    const Row rows[] = {
        {"default: raised 1", bvRaised, bvNone, 1, 0, bsNone, true, {kLight, kFace}, {kShadow, kFace}},
        {"lowered 2", bvLowered, bvNone, 2, 0, bsNone, true, {kShadow, kShadow, kFace}, {kLight, kLight, kFace}},
        {"raised, band 2, lowered",
         bvRaised,
         bvLowered,
         1,
         2,
         bsNone,
         true,
         {kLight, kFace, kFace, kShadow, kFace},
         {kShadow, kFace, kFace, kLight, kFace}},
        {"space", bvSpace, bvNone, 2, 0, bsNone, true, {kFace, kFace, kFace}, {kFace, kFace, kFace}},
        {"3-D window border", bvNone, bvNone, 1, 0, bsSingle, true, {kShadow, dark, kFace}, {kLight, light3D, kFace}},
        {"flat window border",
         bvRaised,
         bvNone,
         1,
         0,
         bsSingle,
         false,
         {frame, kLight, kFace},
         {frame, kShadow, kFace}},
    };
    for (const Row& row : rows) {
        TPanel panel(nullptr);
        panel.SetBounds(0, 0, 20, 12);
        panel.SetBevelOuter(row.outer);
        panel.SetBevelInner(row.inner);
        panel.SetBevelWidth(row.bevelWidth);
        panel.SetBorderWidth(row.borderWidth);
        panel.SetBorderStyle(row.border);
        panel.SetCtl3D(row.ctl3D);
        const TBitmap& img = panel.Image();
        for (std::size_t i = 0; i < row.topLeft.size(); ++i) {
            const int d = static_cast<int>(i);
            EXPECT_EQ(PixelAt(img, d, d), row.topLeft[i]) << row.what << " at " << d;
            EXPECT_EQ(PixelAt(img, 19 - d, 11 - d), row.bottomRight[i]) << row.what << " at " << d;
        }
    }
}

TEST(Panel, BottomColourTakesTheTopRightAndBottomLeftCorners)
{
    TPanel panel(nullptr);
    panel.SetBounds(0, 0, 10, 6);
    panel.Repaint();
    const TBitmap& img = panel.Image();
    EXPECT_EQ(PixelAt(img, 8, 0), kLight);
    EXPECT_EQ(PixelAt(img, 9, 0), kShadow);
    EXPECT_EQ(PixelAt(img, 0, 4), kLight);
    EXPECT_EQ(PixelAt(img, 0, 5), kShadow);
    EXPECT_EQ(PixelAt(img, 9, 5), kShadow);
    EXPECT_EQ(PixelAt(img, 1, 1), kFace);
}

TEST(Panel, CaptionFollowsAlignment)
{
    int inkLeft[3];
    for (int a = 0; a < 3; ++a) {
        TPanel panel(nullptr);
        panel.SetBounds(0, 0, 200, 30);
        panel.Font()->Color = clBlack;
        panel.SetAlignment(static_cast<TAlignment>(a));
        panel.SetCaption("Mm");
        inkLeft[a] = -1;
        for (int x = 1; x < 199 && inkLeft[a] < 0; ++x)
            for (int y = 1; y < 29; ++y)
                if (PixelAt(panel.Image(), x, y) != kFace) {
                    inkLeft[a] = x;
                    break;
                }
    }
    EXPECT_GE(inkLeft[taLeftJustify], 1);
    EXPECT_LT(inkLeft[taLeftJustify], 5);
    EXPECT_GT(inkLeft[taCenter], 80);
    EXPECT_LT(inkLeft[taCenter], 100);
    EXPECT_GT(inkLeft[taRightJustify], 170);
}

TEST(Control, RasterFollowsTheSizeAndRepaints)
{
    CountingPanel panel(nullptr);
    EXPECT_EQ(panel.Image().Width(), 185);
    EXPECT_EQ(panel.Image().Height(), 41);
    panel.SetWidth(60);
    EXPECT_EQ(panel.paints, 1);
    EXPECT_EQ(panel.Image().Width(), 60);
    EXPECT_EQ(PixelAt(panel.Image(), 59, 20), kShadow);
    panel.SetLeft(10); // a move is no new paint
    EXPECT_EQ(panel.paints, 1);
    panel.SetWidth(60);
    EXPECT_EQ(panel.paints, 1);
}

TEST(Control, AResizeFromInsidePaintRepaintsAfterIt)
{
    CountingPanel panel(nullptr);
    panel.growOnce = 90;
    panel.Repaint();
    EXPECT_EQ(panel.Width(), 90);
    EXPECT_EQ(panel.paints, 2);
    EXPECT_EQ(PixelAt(panel.Image(), 89, 20), kShadow) << "the second paint is at the new size";
}

TEST(Control, SizesOutOfRangeRaiseAndChangeNothing)
{
    TPanel panel(nullptr);
    for (auto [w, h] : {std::pair{-1, 10}, std::pair{10, -1}, std::pair{40000, 10}, std::pair{30000, 30000}}) {
        EXPECT_THROW(panel.SetBounds(5, 5, w, h), Exception) << w << " x " << h;
        EXPECT_EQ(panel.Width(), 185);
        EXPECT_EQ(panel.Left(), 0);
    }
    panel.Constraints()->SetMaxWidth(100);
    EXPECT_EQ(panel.Width(), 100);
    panel.Constraints()->SetMinHeight(50);
    panel.SetHeight(10);
    EXPECT_EQ(panel.Height(), 50);
}

TEST(Form, PaintsItsControlsInOrderAtTheirPlaces)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 100, 60);
    form.SetColor(clWhite);
    auto* under = new TPanel(&form);
    under->SetParent(&form);
    under->SetBounds(10, 10, 40, 30);
    under->SetColor(clRed);
    auto* over = new TPanel(&form);
    over->SetParent(&form);
    over->SetBounds(30, 20, 40, 30);
    over->SetColor(clBlue);
    over->SetBorderStyle(bsSingle);
    form.Repaint();
    const TBitmap& img = form.Image();
    EXPECT_EQ(PixelAt(img, 5, 5), clWhite);
    EXPECT_EQ(PixelAt(img, 20, 15), clRed);
    // Where they overlap the later control is on top; its pixels are its raster's.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(PixelAt(img, 30 + x, 20 + y), PixelAt(over->Image(), x, y)) << x << "," << y;
    over->SetVisible(false);
    form.Repaint();
    EXPECT_EQ(PixelAt(img, 45, 35), clRed);
}

// A caption wider than its panel is cut at the panel's client area: nothing
// reaches the form around it or the window border, on the form and on the
// panel's own image.
TEST(Form, AControlPaintsOnlyWithinItsBounds)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 120, 40);
    form.SetColor(clWhite);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(40, 10, 30, 20);
    panel->SetBorderStyle(bsSingle);
    panel->SetCtl3D(false); // a one-pixel clWindowFrame ring
    panel->Font()->Color = clRed;
    panel->Font()->Size = 14;
    panel->SetCaption("MMMMMMMM");
    TBitmap page(120, 40);
    form.PaintTo(page.Canvas(), 0, 0);
    int ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool inPanel = x >= 40 && x < 70 && y >= 10 && y < 30;
            const bool ring = inPanel && (x == 40 || x == 69 || y == 10 || y == 29);
            const TColor c = PixelAt(page, x, y);
            if (!inPanel) {
                ASSERT_EQ(c, clWhite) << x << "," << y;
                continue;
            }
            if (ring) {
                ASSERT_EQ(c, ColorToRGB(clWindowFrame)) << x << "," << y;
            }
            ink += !ring && c != kFace && c != kLight && c != kShadow;
            ASSERT_EQ(c, PixelAt(panel->Image(), x - 40, y - 10)) << x << "," << y;
        }
    EXPECT_GT(ink, 0) << "the caption shows inside";
}

TEST(Form, VectorOutputKeepsShapes)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("qb-form-" + std::to_string(::getpid()) + ".svg")).string();
    TForm form(nullptr);
    form.SetBounds(0, 0, 80, 40);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(5, 5, 50, 20);
    panel->SetCaption("Hi");
    {
        TVectorDocument doc(TVectorFormat::Svg, path, 80, 40);
        form.PaintTo(doc.Canvas(), 0, 0);
        doc.Close();
    }
    const std::string svg = testsupport::ReadFile(path);
    std::filesystem::remove(path);
    EXPECT_EQ(svg.find("<image"), std::string::npos);
    EXPECT_NE(svg.find(">Hi<"), std::string::npos);
}

// A control at the root of a file owns what is nested in it, whoever owns
// the control, so that references between them resolve (the reader looks
// names up from the root).
TEST(Control, ARootControlOwnsItsNestedComponents)
{
    RegisterControlClasses();
    TComponent owner(nullptr);
    TComponent* root = ReadComponentString("object Panel1: TPanel\n"
                                           "  object Menu1: TPopupMenu\n  end\n"
                                           "  object Inner: TPanel\n"
                                           "    object Deepest: TPanel\n    end\n"
                                           "  end\n"
                                           "end\n",
                                           "panel.txt", &owner);
    ASSERT_EQ(root->Owner(), &owner);
    for (const char* name : {"Menu1", "Inner", "Deepest"}) {
        ASSERT_NE(root->FindComponent(name), nullptr) << name;
        EXPECT_EQ(owner.FindComponent(name), nullptr) << name;
    }
    EXPECT_EQ(static_cast<TControl*>(root->FindComponent("Deepest"))->Parent(), root->FindComponent("Inner"));
}

class MessageCounter : public TPanel {
public:
    using TPanel::TPanel;
    std::uint32_t last = 0;
    void WndProc(TMessage& m) override
    {
        last = m.Msg;
        if (m.Msg == CM_GETDATALINK) {
            m.Result = 0x1234;
            return;
        }
        TPanel::WndProc(m);
    }
};

TEST(Control, PerformDispatchesThroughWndProc)
{
    MessageCounter c(nullptr);
    EXPECT_EQ(c.Perform(CM_GETDATALINK), 0x1234);
    c.SetEnabled(false);
    EXPECT_EQ(c.last, CM_ENABLEDCHANGED);
    EXPECT_EQ(c.Perform(0x9999, 1, 2), 0);
}

TEST(Control, AFreedPopupMenuIsForgotten)
{
    TForm form(nullptr);
    auto* panel = new TPanel(&form);
    auto* menu = new TPopupMenu(&form);
    panel->SetPopupMenu(menu);
    delete menu;
    EXPECT_EQ(panel->PopupMenu(), nullptr);
}

} // namespace
