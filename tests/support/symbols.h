// Encoding and drawing helpers for the core suites (header-only: each core
// test binary links its own flavour of the core).
#pragma once

#include "qbarcode/qbarcode.h"
#include "support/reader.h"

#include <string>

using namespace qb;

namespace testsupport {

struct Symbol {
    std::string lineCodes, caption;
    std::string modules; // one character per pixel: '1' bar, 'h' short bar, '0' space
};

/// Encodes at module 1 and ratio 2.0 (clamped as the symbology says), so that
/// the modules string holds one character per module; the caption starts as
/// the text.
inline Symbol Encode(TBarType type, const std::string& text, TCheckSum cs = csNone)
{
    Symbol s{"", text, ""};
    double ratio = 2.0;
    MakeLineCodes(type, text, 1, ratio, cs, s.caption, s.lineCodes);
    for (char code : s.lineCodes) {
        std::int32_t width = 0;
        TBarLineType kind = white;
        DecodeLineCode(code, width, kind);
        s.modules.append(width, kind == white ? '0' : kind == black ? '1' : 'h');
    }
    return s;
}

/// Draws the symbol (no caption) with a quiet zone of 10 modules on a bitmap
/// and reads it back.
inline Decoded DrawAndRead(TBarType type, const std::string& text, TCheckSum cs, int modul, double ratio, double angle)
{
    const int w = Q_GetBarWidth(type, text, modul, ratio, cs);
    const int h = 40 * modul, quiet = 10 * modul;
    const bool upright = angle == 0.0 || angle == 180.0;
    TBitmap bmp((upright ? w : h + 1) + 2 * quiet, (upright ? h + 1 : w) + 2 * quiet);
    Q_DrawBar(bmp.Canvas(), type, text, modul, ratio, cs, quiet, quiet, h, nullptr, tsNone, tpTopLeft, clBlack, clWhite,
              clWhite, angle);
    return ReadLinear(bmp, type == bcCode39Extended);
}

} // namespace testsupport
