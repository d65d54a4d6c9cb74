// SVG documents read back with a small XML reader: well-formed, rectangles
// covering exactly the raster's pixels, text escaped and placed like the
// raster's.
#include "pixel_art.h"
#include "qbarcode/graphics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace qb;

namespace {

// --- Reading XML -----------------------------------------------------------------

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text; // character data directly inside, references resolved
    int depth = 0;
};

void AppendUtf8(std::string& out, unsigned long cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6), out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12), out += char(0x80 | (cp >> 6 & 0x3F)), out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18), out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F)), out += char(0x80 | (cp & 0x3F));
    }
}

// The elements of a document in document order. Throws std::runtime_error
// naming the first thing that keeps it from being well-formed XML: tags
// that do not nest, a bad or repeated attribute, markup characters or
// control characters where they may not be, unknown references.
std::vector<Element> ParseXml(const std::string& xml)
{
    std::size_t i = 0;
    auto fail = [&](const std::string& what) { throw std::runtime_error(what + " at byte " + std::to_string(i)); };
    auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '-' || c == '_';
    };
    auto name = [&] {
        const std::size_t start = i;
        while (i < xml.size() && isNameChar(xml[i]))
            ++i;
        if (i == start)
            fail("a name expected");
        return xml.substr(start, i - start);
    };
    // Character data up to `stop`, references resolved.
    auto characters = [&](char stop) {
        std::string out;
        while (i < xml.size() && xml[i] != stop) {
            const auto c = static_cast<unsigned char>(xml[i]);
            if (c == '<' || (c < 0x20 && c != '\t' && c != '\n' && c != '\r'))
                fail("a raw markup or control character");
            if (c != '&') {
                out += xml[i++];
                continue;
            }
            const std::size_t end = xml.find(';', i);
            if (end == std::string::npos)
                fail("an unterminated reference");
            const std::string ref = xml.substr(i + 1, end - i - 1);
            static const std::map<std::string, char> named = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (auto it = named.find(ref); it != named.end())
                out += it->second;
            else if (ref.size() > 1 && ref[0] == '#')
                AppendUtf8(out, std::stoul(ref.substr(ref[1] == 'x' ? 2 : 1), nullptr, ref[1] == 'x' ? 16 : 10));
            else
                fail("an unknown reference &" + ref + ";");
            i = end + 1;
        }
        return out;
    };

    if (xml.rfind("<?xml ", 0) == 0)
        i = xml.find("?>") + 2;
    std::vector<Element> elements;
    std::vector<std::size_t> open;
    bool rootSeen = false;
    while (i < xml.size()) {
        if (xml[i] != '<') {
            const std::string text = characters('<');
            if (!open.empty())
                elements[open.back()].text += text;
            else if (text.find_first_not_of(" \t\r\n") != std::string::npos)
                fail("text outside the root");
            continue;
        }
        ++i;
        if (xml[i] == '/') {
            ++i;
            if (open.empty() || name() != elements[open.back()].name || xml[i++] != '>')
                fail("a closing tag that does not match");
            open.pop_back();
            continue;
        }
        if (open.empty() && rootSeen)
            fail("a second root");
        rootSeen = true;
        Element e;
        e.name = name();
        e.depth = static_cast<int>(open.size());
        while (true) {
            while (xml[i] == ' ' || xml[i] == '\n')
                ++i;
            if (xml[i] == '/' || xml[i] == '>')
                break;
            const std::string key = name();
            if (xml[i++] != '=' || (xml[i] != '"' && xml[i] != '\''))
                fail("an unquoted attribute");
            const char quote = xml[i++];
            if (!e.attributes.emplace(key, characters(quote)).second)
                fail("a repeated attribute " + key);
            ++i;
        }
        const bool empty = xml[i] == '/';
        i += empty ? 2 : 1;
        elements.push_back(std::move(e));
        if (!empty)
            open.push_back(elements.size() - 1);
    }
    if (!open.empty() || !rootSeen)
        fail("an unclosed element");
    return elements;
}

std::string WriteSvg(int width, int height, const std::function<void(TCanvas&)>& draw,
                     const TVectorOptions& options = {})
{
    // Test cases may run as parallel processes: one file each.
    const std::string path = testing::TempDir() + "svg_test_" + std::to_string(::getpid()) + ".svg";
    TVectorDocument svg(TVectorFormat::Svg, path, width, height, options);
    draw(svg.Canvas());
    svg.Close();
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::remove(path.c_str());
    return bytes.str();
}

const Element* Find(const std::vector<Element>& elements, const std::string& name)
{
    for (const Element& e : elements)
        if (e.name == name)
            return &e;
    return nullptr;
}

double Number(const Element& e, const std::string& attribute)
{
    return std::stod(e.attributes.at(attribute));
}

std::vector<std::string> Words(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Selects the canvas's font turned by `escapement`; it stays in effect
// until the canvas's font changes.
void TurnFont(TCanvas& canvas, int escapement)
{
    LOGFONTA lf;
    GetObject(canvas.Font().Handle(), sizeof lf, &lf);
    lf.lfEscapement = escapement;
    HFONT turned = CreateFontIndirect(&lf);
    SelectObject(canvas.Handle(), turned);
    DeleteObject(turned);
}

// --- Tests ------------------------------------------------------------------------

TEST(Svg, EverythingDrawnMakesWellFormedXml)
{
    TBitmap logo(3, 2);
    TVectorOptions options;
    options.Title = "Labels <A & B>";
    const std::string xml = WriteSvg(
        60, 40,
        [&](TCanvas& canvas) {
            UseColor(canvas, clBlack);
            const TPoint slanted[4] = {{5, 5}, {20, 9}, {18, 20}, {3, 15}};
            canvas.Polygon(slanted, 4);
            canvas.Pen().Width = 3;
            canvas.MoveTo(2, 30);
            canvas.LineTo(40, 35);
            canvas.Brush().SetColor(clYellow);
            canvas.TextOut(2, 2, "<\"quoted\" & 'single'>\t\x01\xe9");
            TurnFont(canvas, 450);
            canvas.TextOut(30, 30, "turned");
            canvas.Draw(50, 5, logo);
        },
        options);
    std::vector<Element> elements;
    ASSERT_NO_THROW(elements = ParseXml(xml)) << xml;
    EXPECT_EQ(elements.front().name, "svg");
    EXPECT_EQ(Find(elements, "title")->text, "Labels <A & B>");
    for (const char* name : {"path", "text", "g", "image"})
        EXPECT_NE(Find(elements, name), nullptr) << name;
}

// '.' white, '#' black, 'R' red, 'B' blue, 'Y' yellow: the pixels whose
// centres the rectangles of the document's <rect> and <path> elements cover.
Art Rasterise(const std::vector<Element>& elements, int width, int height)
{
    static const std::map<std::string, char> legend = {
        {"#fff", '.'}, {"#000", '#'}, {"#f00", 'R'}, {"#00f", 'B'}, {"#ff0", 'Y'}};
    Art art(height, std::string(width, '.'));
    auto paint = [&](double x0, double y0, double x1, double y1, char c) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (x + 0.5 > std::min(x0, x1) && x + 0.5 < std::max(x0, x1) && y + 0.5 > std::min(y0, y1) &&
                    y + 0.5 < std::max(y0, y1))
                    art[y][x] = c;
    };
    for (const Element& e : elements) {
        if (e.name == "rect") {
            paint(Number(e, "x"), Number(e, "y"), Number(e, "x") + Number(e, "width"),
                  Number(e, "y") + Number(e, "height"), legend.at(e.attributes.at("fill")));
        } else if (e.name == "path") {
            // Axis-parallel shapes: a filled subpath paints its bounding box,
            // a stroked segment (square caps) its box grown by half the pen.
            const bool stroke = e.attributes.at("fill") == "none";
            const double half = stroke && e.attributes.count("stroke-width") ? Number(e, "stroke-width") / 2 : 0.5;
            const char colour = legend.at(e.attributes.at(stroke ? "stroke" : "fill"));
            std::istringstream d(e.attributes.at("d"));
            double x = 0, y = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            for (char cmd; d >> cmd;) {
                const double px = x, py = y;
                if (cmd == 'Z') {
                    paint(x0, y0, x1, y1, colour);
                    continue;
                }
                cmd == 'H' ? d >> x : cmd == 'V' ? d >> y : d >> x >> y;
                if (cmd == 'M')
                    x0 = x1 = x, y0 = y1 = y;
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
                if (stroke && cmd != 'M')
                    paint(std::min(px, x) - half, std::min(py, y) - half, std::max(px, x) + half,
                          std::max(py, y) + half, colour);
            }
        }
    }
    return art;
}

TEST(Svg, RectanglesCoverTheRasterPixels)
{
    auto draw = [](TCanvas& canvas) {
        UseColor(canvas, clBlack);
        const TPoint bars[][4] = {
            {{1, 1}, {1, 6}, {2, 6}, {2, 1}},   // 0 degrees, 2 columns
            {{4, 1}, {4, 6}, {4, 6}, {4, 1}},   // one column
            {{6, 7}, {10, 7}, {10, 6}, {6, 6}}, // 90 degrees
            {{13, 6}, {13, 1}, {11, 1}, {11, 6}},
        };
        for (const auto& bar : bars)
            canvas.Polygon(bar, 4);
        canvas.Pen().Color = clRed;
        canvas.Brush().SetColor(clBlue);
        canvas.Rectangle(1, 9, 6, 14); // blue inside a red outline
        canvas.Brush().SetStyle(bsClear);
        canvas.Rectangle(8, 9, 13, 14); // the outline alone
        canvas.Brush().SetColor(clYellow);
        canvas.FillRect({14, 9, 17, 11});
        canvas.MoveTo(14, 13);
        canvas.LineTo(19, 13);
        canvas.LineTo(19, 8);
    };
    TBitmap bitmap(20, 15);
    draw(bitmap.Canvas());
    const std::string xml = WriteSvg(20, 15, draw);
    EXPECT_EQ(Rasterise(ParseXml(xml), 20, 15), PixelArt(bitmap)) << xml;
}

// Boxes of one colour become one element where that leaves the picture as
// the raster draws it: a box painted over another colour keeps its place
// after it, and a box inside one of its colour's boxes with nothing over it
// adds no element.
TEST(Svg, BoxesOfAColourShareAnElementWithoutChangingThePicture)
{
    struct Case {
        const char* name;
        std::function<void(TCanvas&)> draw;
        std::size_t shapes;       // <rect> and <path> elements
        bool axisParallel = true; // the test's rasteriser can read it
    };
    auto box = [](TCanvas& canvas, TColor color, TRect r) {
        canvas.Brush().SetColor(color);
        canvas.FillRect(r);
    };
    const Case cases[] = {
        {"bars and spaces on a white label",
         [&](TCanvas& c) {
             box(c, clWhite, {0, 0, 20, 8});
             for (int x = 1; x < 19; x += 3) {
                 box(c, clBlack, {x, 1, x + 2, 7});
                 box(c, clWhite, {x + 2, 1, x + 3, 7}); // a space: the label's white already
             }
         },
         2},
        {"a box over another colour stays over it",
         [&](TCanvas& c) {
             box(c, clBlack, {1, 1, 6, 6});
             box(c, clRed, {4, 4, 10, 7});
             box(c, clBlack, {8, 2, 12, 5}); // over the red: after it
             box(c, clBlack, {14, 1, 16, 3});
         },
         3},
        {"colours apart share their elements",
         [&](TCanvas& c) {
             box(c, clRed, {1, 1, 3, 3});
             box(c, clBlue, {5, 1, 7, 3});
             box(c, clRed, {9, 1, 11, 3});
             box(c, clBlue, {13, 1, 15, 3});
         },
         2},
        {"a box inside its colour's box but over another is painted",
         [&](TCanvas& c) {
             box(c, clBlack, {1, 1, 12, 7});
             box(c, clYellow, {3, 2, 9, 6});
             box(c, clBlack, {5, 3, 7, 5});
         },
         3},
        {"other drawing comes after what was gathered",
         [&](TCanvas& c) {
             box(c, clBlue, {1, 1, 8, 7});
             UseColor(c, clRed);
             const TPoint slanted[3] = {{2, 2}, {12, 4}, {2, 6}};
             c.Polygon(slanted, 3);
             box(c, clBlue, {10, 1, 14, 7}); // over the triangle's tip
             box(c, clRed, {16, 1, 18, 3});
         },
         5, false}, // the triangle is filled and outlined
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap bitmap(20, 8);
        c.draw(bitmap.Canvas());
        const std::string xml = WriteSvg(20, 8, c.draw);
        const std::vector<Element> elements = ParseXml(xml);
        if (c.axisParallel) {
            EXPECT_EQ(Rasterise(elements, 20, 8), PixelArt(bitmap)) << xml;
        }
        std::size_t shapes = 0;
        for (const Element& e : elements)
            shapes += e.name == "rect" || e.name == "path";
        EXPECT_EQ(shapes, c.shapes) << xml;
    }
}

TEST(Svg, ThickPensKeepTheirWidth)
{
    TBitmap bitmap(14, 14);
    DrawThickPens(bitmap.Canvas());
    EXPECT_EQ(PixelArt(bitmap), kThickPens);
    EXPECT_EQ(Rasterise(ParseXml(WriteSvg(14, 14, DrawThickPens)), 14, 14), kThickPens);
}

TEST(Svg, PensOfEveryWidthCoverTheRasterPixels)
{
    TBitmap bitmap(kPenWidthsWidth, kPenWidthsHeight);
    DrawPenWidths(bitmap.Canvas());
    const std::string xml = WriteSvg(kPenWidthsWidth, kPenWidthsHeight, DrawPenWidths);
    EXPECT_EQ(Rasterise(ParseXml(xml), kPenWidthsWidth, kPenWidthsHeight), PixelArt(bitmap)) << xml;
}

TEST(Svg, TextIsEscapedAndKeepsEveryCharacter)
{
    struct Case {
        std::string text, shown; // as given; as the document's text reads, in UTF-8
    };
    const Case cases[] = {
        {"a<b&c>\"d'", "a<b&c>\"d'"},
        {"caf\xe9", "caf\xc3\xa9"},         // 8-bit text is Latin-1...
        {"caf\xc3\xa9", "caf\xc3\xa9"},     // ...unless it is UTF-8 already
        {"  two  spaces", "  two  spaces"}, // kept, not collapsed
        {"tab\there", "tab\there"},
        {"bell\x07", "bell\xef\xbf\xbd"}, // XML cannot carry it: a replacement character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string xml = WriteSvg(200, 20, [&](TCanvas& canvas) {
            canvas.Brush().SetStyle(bsClear);
            canvas.TextOut(2, 2, c.text);
        });
        const std::vector<Element> elements = ParseXml(xml);
        const Element* text = Find(elements, "text");
        ASSERT_NE(text, nullptr) << xml;
        EXPECT_EQ(text->text, c.shown);
        EXPECT_EQ(text->attributes.at("xml:space"), "preserve");
        // One position per character.
        std::size_t characters = 0;
        for (char ch : c.shown)
            characters += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
        EXPECT_EQ(Words(text->attributes.at("x")).size(), characters);
    }
}

TEST(Svg, TextSitsOnTheRasterBaselineInTheFontSize)
{
    auto draw = [](TCanvas& canvas) {
        canvas.Font().Size = 12;
        canvas.Font().Style = fsBold;
        canvas.Font().Color = clRed;
        canvas.Brush().SetStyle(bsClear);
        canvas.TextOut(3, 4, "4210");
    };
    TBitmap bitmap(60, 30);
    draw(bitmap.Canvas());
    int baseline = 0; // digits stand on the baseline: one below their lowest ink
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (bitmap.Canvas().Pixel(x, y) != clWhite)
                baseline = y + 1;
    const std::vector<Element> elements = ParseXml(WriteSvg(60, 30, draw));
    const Element& text = *Find(elements, "text");
    EXPECT_EQ(Number(text, "y"), baseline);
    EXPECT_EQ(Words(text.attributes.at("x")).front(), "3");
    EXPECT_EQ(Number(text, "font-size"), 16); // 12 points at 96 pixels per inch
    EXPECT_EQ(text.attributes.at("font-family"), "DejaVu Sans");
    EXPECT_EQ(text.attributes.at("font-weight"), "bold");
    EXPECT_EQ(text.attributes.at("fill"), "#f00");
    EXPECT_EQ(Find(elements, "g"), nullptr) << "unturned text needs no transform";
}

TEST(Svg, TurnedTextTurnsWithItsCellAboutTheReferencePoint)
{
    struct Case {
        int escapement, dpiX;
        const char* transform;
        double cellX, cellY; // the cell's corner in the group's coordinates
    };
    const Case cases[] = {
        {900, 96, "rotate(-90 30 20)", 30, 20},
        {300, 96, "rotate(-30 30 20)", 30, 20},
        {2700, 96, "rotate(-270 30 20)", 30, 20},
        {0, 192, "translate(30 20) scale(2 1)", 0, 0}, // pixels half as wide as high
        {900, 192, "translate(30 20) scale(2 1) rotate(-90)", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transform);
        TVectorOptions options;
        options.PixelsPerInchX = c.dpiX;
        int width = 0, height = 0;
        const std::vector<Element> elements = ParseXml(WriteSvg(
            80, 60,
            [&](TCanvas& canvas) {
                width = canvas.TextWidth("42");
                height = canvas.TextHeight("42");
                canvas.Brush().SetColor(clYellow);
                TurnFont(canvas, c.escapement);
                canvas.TextOut(30, 20, "42");
            },
            options));
        const Element* group = Find(elements, "g");
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->attributes.at("transform"), c.transform);
        const Element& cell = *Find(elements, "rect");
        EXPECT_EQ(cell.depth, group->depth + 1);
        EXPECT_EQ(cell.attributes.at("fill"), "#ff0");
        EXPECT_EQ(Number(cell, "x"), c.cellX);
        EXPECT_EQ(Number(cell, "y"), c.cellY);
        EXPECT_EQ(Number(cell, "width") * c.dpiX / 96, width);
        EXPECT_EQ(Number(cell, "height"), height);
        const Element& text = *Find(elements, "text");
        EXPECT_EQ(text.depth, group->depth + 1);
        EXPECT_GT(Number(text, "y"), c.cellY);
        EXPECT_LT(Number(text, "y"), c.cellY + height);
    }
}

} // namespace
