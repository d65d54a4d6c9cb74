/// \file
/// EAN and UPC symbols with the caption a till expects.
///
/// The retail caption is a caption style of its own, beside TTextShow: the
/// digits stand under the bars, each group under the symbol characters it
/// belongs to, with the guard bars running down between the groups five
/// modules below the other bars. EAN-13 shows its first digit left of the
/// left guard and six digits under each half; EAN-8 four under each half;
/// UPC-A its first and last digits smaller, outside the symbol, and five under
/// each half (the bars of those two digits run down with the guards); UPC-E
/// the number system digit left and the check digit right, smaller, and its
/// six digits under the bars. A supplement (add-on) stands to the right of
/// the main symbol with its digits above its bars. The digits shown are read
/// from the bars, so they are always what the symbol carries.
#pragma once

#include "qbarcode/qbarcode.h"

#include <cstddef>
#include <string>

namespace qb {

/// Whether a symbology takes the retail caption: EAN-8, EAN-13, UPC-A,
/// UPC-E0, UPC-E1 and the 2- and 5-digit supplements.
bool HasRetailCaption(TBarType BarType);

/// Modules of space between a main symbol and its add-on (GS1 allows 7 to 12
/// after EAN and 9 to 12 after UPC).
inline constexpr int kAddOnGap = 9;

/// An EAN or UPC symbol, or a supplement alone, with what its retail caption
/// shows.
struct RetailSymbol {
    /// The main symbol's elements, then, with an add-on, kAddOnGap modules of
    /// space and the add-on's elements: drawn with tsNone by DrawSymbol it is
    /// the whole symbol without a caption, and its BarWidth spans both.
    EncodedSymbol Symbol;
    /// The main symbology.
    TBarType BarType = bcCodeEAN13;
    /// The digits the main symbol carries, in reading order: EAN-13 all
    /// thirteen (the first one set by the parity of the left half), UPC-E the
    /// number system digit, the six digits and the check digit.
    std::string Digits;
    /// The add-on's two or five digits; empty without one.
    std::string AddOnDigits;
    /// How many of Symbol.LineCodes belong to the main symbol.
    std::size_t MainLineCodes = 0;
};

/// Encodes Text as BarType, as EncodeSymbol does at ratio 2.0 (the same
/// checks and messages), and, when AddOn is not empty, the add-on's digits
/// as the 2- or 5-digit supplement beside it. Raises "Wrong barcode type."
/// for a symbology without a retail caption, "<AddOn> : an add-on has 2 or 5
/// digits." and "<AddOn> : a supplement takes no add-on." as their messages
/// say, and what EncodeSymbol raises for either text.
RetailSymbol EncodeRetailSymbol(TBarType BarType, const std::string& Text, std::int32_t Modul, TCheckSum CheckSum,
                                const std::string& AddOn = {});

/// Draws the symbol with its retail caption, turned by Angle. As with
/// DrawSymbol, (Left, Top) places the top-left corner of the box of the bars
/// (Symbol.BarWidth x BarHeight, turned); the guard extensions, the digits and
/// the marks lie around it (RetailSymbolBounds says where). The digits take
/// the family, style, colour and quality of Font (the default font when
/// null) at a size set by the module, in character cells filled with
/// TextColor. QuietZoneMarks adds "<" and ">" at the outer edges of the
/// quiet zones (EAN-8 both, EAN-13 and any add-on ">"). The canvas's font,
/// pen and brush are restored afterwards.
void DrawRetailSymbol(TCanvas& Canvas, const RetailSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                      std::int32_t BarHeight, const TFont* Font, TColor ColorBar, TColor ColorSpc, TColor TextColor,
                      double Angle, bool QuietZoneMarks = false);

/// The pixels DrawRetailSymbol paints with the same arguments (Right and
/// Bottom exclusive), digits and marks included. Exact at multiples of 90
/// degrees on a device with square pixels; otherwise it contains every
/// painted pixel and may be a pixel or so larger.
TRect RetailSymbolBounds(TCanvas& Canvas, const RetailSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                         std::int32_t BarHeight, const TFont* Font, double Angle, bool QuietZoneMarks = false);

} // namespace qb
