// Raster canvases as text pictures, one character per pixel, so pixel tests
// read (and fail) as pictures.
#pragma once

#include "qbarcode/graphics.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

using namespace qb;

using Art = std::vector<std::string>;

/// '.' white, '#' black, 'R' red, 'B' blue, 'Y' yellow, '?' anything else.
inline Art PixelArt(TBitmap& bitmap)
{
    static const std::map<TColor, char> legend = {
        {clWhite, '.'}, {clBlack, '#'}, {clRed, 'R'}, {clBlue, 'B'}, {clYellow, 'Y'}};
    Art art;
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::string row;
        for (int x = 0; x < bitmap.Width(); ++x) {
            auto it = legend.find(bitmap.Canvas().Pixel(x, y));
            row += it == legend.end() ? '?' : it->second;
        }
        art.push_back(row);
    }
    return art;
}

/// Pen (1 pixel) and brush in one colour, as the barcode painter sets them.
inline void UseColor(TCanvas& canvas, TColor color)
{
    canvas.Pen().Color = color;
    canvas.Pen().Width = 1;
    canvas.Brush().SetColor(color);
}

/// Pens three pixels wide: two lines in black, a rectangle's outline in red
/// round a blue interior.
inline void DrawThickPens(TCanvas& canvas)
{
    UseColor(canvas, clBlack);
    canvas.Pen().Width = 3;
    canvas.MoveTo(2, 2);
    canvas.LineTo(10, 2);
    canvas.LineTo(10, 8);
    canvas.Pen().Color = clRed;
    canvas.Brush().SetColor(clBlue);
    canvas.Rectangle(2, 7, 7, 12);
}

/// What DrawThickPens paints on every surface: each stroke covers its path
/// and one pixel more on every side.
inline const Art kThickPens = {
    "..............", ".###########..", ".###########..", ".###########..", ".........###..",
    ".........###..", ".RRRRRRR.###..", ".RRRRRRR.###..", ".RRRRRRR.###..", ".RRRBRRR......",
    ".RRRRRRR......", ".RRRRRRR......", ".RRRRRRR......", "..............",
};

/// Lines drawn right, left, down and up with pens 1 to 4 pixels wide, a row
/// per width. An even pen reaches one pixel further on one side of its path
/// than on the other; every surface picks the same side.
inline void DrawPenWidths(TCanvas& canvas)
{
    UseColor(canvas, clBlack);
    for (int width = 1; width <= 4; ++width) {
        canvas.Pen().Width = width;
        const int y = 12 * width - 6;
        const TPoint lines[][2] = {
            {{3, y}, {9, y}}, {{21, y}, {15, y}}, {{26, y - 3}, {26, y + 3}}, {{32, y + 3}, {32, y - 3}}};
        for (const auto& line : lines) {
            canvas.MoveTo(line[0].X, line[0].Y);
            canvas.LineTo(line[1].X, line[1].Y);
        }
    }
}
inline constexpr int kPenWidthsWidth = 36, kPenWidthsHeight = 48;

inline std::ostream& operator<<(std::ostream& out, const TRect& r)
{
    return out << "{" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << "}";
}

inline std::ostream& operator<<(std::ostream& out, const TPoint& p)
{
    return out << "(" << p.X << ", " << p.Y << ")";
}
