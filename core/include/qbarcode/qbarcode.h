/// \file
/// Qbarcode: the core unit of the barcode library.
///
/// A text and a symbology become a line-code string (one character per bar or
/// space, see the alphabet below), which is measured, drawn on any canvas at
/// any angle, or printed in physical units. Every request encodes afresh;
/// nothing is cached.
#pragma once

#include "qbarcode/graphics.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

/// The list of symbologies, one row each, in their fixed order (the ordinal
/// of a row is its TBarType value and indexes BCData). Columns: enumerator,
/// display name, digits only, short alias for the command line, lowest
/// wide-to-narrow ratio (0: the ratio is not clamped), quiet zone in modules
/// each side needs to be read, and the encoder (declared in core/bardef).
/// Everything that enumerates symbologies expands this list.
#define QB_BAR_TYPES(X)                                                                                                \
    X(bcCode_2_5_interleaved, "Code25 interleaved", true, "i25", 2.0, 10, EncodeInterleaved25)                         \
    X(bcCode_2_5_industrial, "Code25 industrial", true, "industrial25", 2.0, 10, EncodeIndustrial25)                   \
    X(bcCode_2_5_matrix, "Code25 matrix", true, "matrix25", 2.25, 10, EncodeMatrix25)                                  \
    X(bcCode39, "Code39", false, "code39", 2.0, 10, EncodeCode39)                                                      \
    X(bcCode39Extended, "Code39 Extended", false, "code39ext", 2.0, 10, EncodeCode39Ext)                               \
    X(bcCode128A, "Code128A", false, "code128a", 0.0, 10, EncodeCode128)                                               \
    X(bcCode128B, "Code128B", false, "code128b", 0.0, 10, EncodeCode128)                                               \
    X(bcCode128C, "Code128C", true, "code128c", 0.0, 10, EncodeCode128)                                                \
    X(bcCode93, "Code93", false, "code93", 0.0, 10, EncodeCode93)                                                      \
    X(bcCode93Extended, "Code93 Extended", false, "code93ext", 0.0, 10, EncodeCode93Ext)                               \
    X(bcCodeMSI, "MSI", true, "msi", 0.0, 12, EncodeMSI)                                                               \
    X(bcCodePostNet, "PostNet", true, "postnet", 0.0, 6, EncodePostNet)                                                \
    X(bcCodeCodabar, "Codebar", false, "codabar", 2.0, 10, EncodeCodabar)                                              \
    X(bcCodeEAN8, "EAN8", true, "ean8", 2.0, 7, EncodeEAN8)                                                            \
    X(bcCodeEAN13, "EAN13", true, "ean13", 2.0, 11, EncodeEAN13)                                                       \
    X(bcCodeUPC_A, "UPC_A", true, "upca", 2.0, 9, EncodeUPCA)                                                          \
    X(bcCodeUPC_E0, "UPC_E0", true, "upce0", 2.0, 9, EncodeUPCE0)                                                      \
    X(bcCodeUPC_E1, "UPC_E1", true, "upce1", 2.0, 9, EncodeUPCE1)                                                      \
    X(bcCodeUPC_Supp2, "UPC Supp2", true, "upc2", 2.0, 7, EncodeUPCSupp2)                                              \
    X(bcCodeUPC_Supp5, "UPC Supp5", true, "upc5", 2.0, 7, EncodeUPCSupp5)                                              \
    X(bcCodeEAN128A, "EAN128A", false, "ean128a", 0.0, 10, EncodeCode128)                                              \
    X(bcCodeEAN128B, "EAN128B", false, "ean128b", 0.0, 10, EncodeCode128)                                              \
    X(bcCodeEAN128C, "EAN128C", true, "ean128c", 0.0, 10, EncodeCode128)

/// The 23 symbologies, in their fixed order: the ordinal indexes BCData.
enum TBarType : int {
#define QB_ENUMERATOR(type, ...) type,
    QB_BAR_TYPES(QB_ENUMERATOR)
#undef QB_ENUMERATOR
};

/// Number of symbologies.
constexpr int BarTypeCount = 0
#define QB_COUNT(...) +1
    QB_BAR_TYPES(QB_COUNT)
#undef QB_COUNT
    ;
static_assert(BarTypeCount == 23 && bcCodeCodabar == 12 && bcCodeEAN128C == 22, "stored ordinals are fixed");

/// Whether a value is one of the 23 TBarType enumerators.
constexpr bool IsValidBarType(TBarType t)
{
    return t >= 0 && t < BarTypeCount;
}

// The core's other enumerations, one list each. Columns: enumerator, value
// (its ordinal, see QB_ENUMERATOR_ROW) and, where the command offers the
// choice, its command-line name. The enumerations, the names form files use,
// the command's option choices and the global names all expand these lists.

/// TCheckSum: enumerator, value.
#define QB_CHECK_SUMS(X) X(csNone, 0) X(csModulo10, 1)

/// TOrientation: enumerator, value.
#define QB_ORIENTATIONS(X) X(toLeftRight, 0) X(toRightLeft, 1) X(toTopBottom, 2) X(toBottomTop, 3)

/// TTextShow: enumerator, value, command-line name.
#define QB_TEXT_SHOWS(X) X(tsNone, 0, "none") X(tsBarCode, 1, "code") X(tsBarType, 2, "type") X(tsBoth, 3, "both")

/// TTextPosition: enumerator, value, command-line name.
#define QB_TEXT_POSITIONS(X)                                                                                           \
    X(tpTopLeft, 0, "top-left")                                                                                        \
    X(tpTopRight, 1, "top-right")                                                                                      \
    X(tpTopCenter, 2, "top-center")                                                                                    \
    X(tpBottomLeft, 3, "bottom-left")                                                                                  \
    X(tpBottomRight, 4, "bottom-right")                                                                                \
    X(tpBottomCenter, 5, "bottom-center")

/// TUnits: enumerator, value.
#define QB_UNITS(X) X(utMillimeter, 0) X(utInch, 1)

/// TBarLineType: enumerator, value.
#define QB_BAR_LINE_TYPES(X) X(white, 0) X(black, 1) X(black_half, 2)

/// Check character choice: csModulo10 adds the symbology's check character
/// (modulo 43 for Code 39, modulo 10 for EAN/UPC/EAN-128).
enum TCheckSum : int { QB_CHECK_SUMS(QB_ENUMERATOR_ROW) };

/// The control's four orientations: 0, 180, 270 and 90 degrees.
enum TOrientation : int { QB_ORIENTATIONS(QB_ENUMERATOR_ROW) };

/// What the caption shows: nothing, the text, the symbology's name, or both.
enum TTextShow : int { QB_TEXT_SHOWS(QB_ENUMERATOR_ROW) };

/// Where the caption stands, inside the bars' box at its top or bottom edge.
enum TTextPosition : int { QB_TEXT_POSITIONS(QB_ENUMERATOR_ROW) };

/// Unit of the printing routines' sizes.
enum TUnits : int { QB_UNITS(QB_ENUMERATOR_ROW) };

/// Kind of one element: a space, a full-height bar, a short bar.
enum TBarLineType : int { QB_BAR_LINE_TYPES(QB_ENUMERATOR_ROW) };
/// \cond
QB_CHECK_ORDINALS(QB_CHECK_SUMS);
QB_CHECK_ORDINALS(QB_ORIENTATIONS);
QB_CHECK_ORDINALS(QB_TEXT_SHOWS);
QB_CHECK_ORDINALS(QB_TEXT_POSITIONS);
QB_CHECK_ORDINALS(QB_UNITS);
QB_CHECK_ORDINALS(QB_BAR_LINE_TYPES);
/// \endcond

/// One row of BCData: the display name and whether only digits are accepted.
struct TBCdata {
    const char* Name; ///< display name, e.g. "EAN13"
    bool Numeric;     ///< only digits are accepted
};

/// The symbology table, indexed by TBarType.
extern const TBCdata BCData[BarTypeCount];

/// Pixel widths of the four width classes, set by every MakeLineCodes call
/// and read by DecodeLineCode. Class 1 is the narrow module, class 2 the wide
/// element, classes 3 and 4 one and a half and two times class 2. Each thread
/// has its own four, so one thread's encoding never changes what another
/// draws; the routines that take a qb::EncodedSymbol read neither.
///@{
extern thread_local constinit std::int32_t ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4;
///@}

/// Largest module width, in pixels, that MakeLineCodes accepts.
constexpr std::int32_t MaxModuleWidth = 1000000;

/// Encodes Text (trimmed here) as symbology Type.
///
/// Clamps Ratio per symbology (written back), sets the module widths from
/// Modul and Ratio, trims and validates the text, and writes the whole symbol
/// to LineCodes. Caption is set by the caller to the text as given; the
/// Code 128/EAN-128 and UPC encoders may replace it with what the symbol
/// carries. Raises Exception with the system's messages ("Wrong barcode
/// type.", "<text> : Barcode must be numeric.", the encoders' own, and
/// "Module width out of range." for widths beyond MaxModuleWidth).
void MakeLineCodes(TBarType Type, const std::string& Text, std::int32_t Modul, double& Ratio, TCheckSum CheckSum,
                   std::string& Caption, std::string& LineCodes);

/// Width in pixels and kind of one line code, by the module widths the
/// calling thread's last MakeLineCodes set. Raises "Internal Error." for a
/// character that is not a line code.
void DecodeLineCode(char Code, std::int32_t& Width, TBarLineType& LineType);

/// Converts element widths ('1' to '4' modules, alternating bar and space,
/// bar first) to line codes. Pure character arithmetic: nothing is checked.
void WidthsToLineCodes(const std::string& Widths, std::string& LineCodes);

/// BCData[BarType].Name; raises "Wrong barcode type." outside TBarType.
std::string Q_GetBarTypeName(TBarType BarType);

/// Width in pixels of the whole symbol (first to last element, no quiet
/// zone). Raises what MakeLineCodes raises, and "Module width out of range."
/// when the width does not fit 32 bits.
std::int32_t Q_GetBarWidth(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                           TCheckSum CheckSum);

/// Finds a symbology by its enumerator ("bcCodeEAN13"), display name
/// ("EAN13") or short alias ("ean13"), ignoring case. Returns false when no
/// symbology has that name.
bool FindBarType(const std::string& Name, TBarType& Type);

/// The short alias of a symbology ("ean13"), as FindBarType accepts it.
const char* BarTypeAlias(TBarType BarType);

/// The blank margin, in modules, a reader needs on each side of the symbol
/// (10 for most symbologies; EAN-13 11, EAN-8 7, UPC 9...).
int BarTypeQuietZone(TBarType BarType);

/// The enumerator's name of a symbology ("bcCodeEAN13").
const char* BarTypeEnumName(TBarType BarType);

/// The check digit that csModulo10 gives a number of EAN-8, EAN-13 or UPC-A
/// (Digits: the number without its check digit, all digits) or of UPC-E0 or
/// UPC-E1 (Digits: the six digits of the symbol), whose check digit is that of
/// the UPC-A number it stands for. Raises the conversion error for a
/// character that is no digit, "<Digits> : Invalid barcode length." for a
/// UPC-E that is not six digits, and "Wrong barcode type." for any other
/// symbology.
char EanUpcCheckDigit(TBarType Type, const std::string& Digits);

// ---------------------------------------------------------------------------
// Geometry. Angles are degrees, counter-clockwise on the screen (y down).

/// Width of the barcode turned by Angle along the screen's y axis (at 0 deg
/// about BarHeight): Round(W |sin| + H |cos| + 0.5).
std::int32_t Q_GetCanvasWidth(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                              TCheckSum CheckSum, std::int32_t BarHeight, double Angle);

/// Extent along the screen's x axis (at 0 deg about the bar width):
/// Round(W |cos| + H |sin| + 0.5).
std::int32_t Q_GetCanvasHeight(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                               TCheckSum CheckSum, std::int32_t BarHeight, double Angle);

/// R becomes P turned about (0, 0) by Radians, each coordinate rounded once.
void RotatePoint(TPoint P, TPoint& R, double Radians);

/// R becomes A + B (wrapping, never trapping, on overflow).
void OffsetPoint(TPoint A, TPoint B, TPoint& R);

/// R becomes Origin plus the shift that brings the bounding box of the
/// Size.X x Size.Y box, turned by Radians, to Origin.
void PlaceRotatedBox(TPoint Origin, TPoint Size, TPoint& R, double Radians);

// ---------------------------------------------------------------------------
// Drawing

/// Draws a barcode (bars, spaces, optional caption) on Canvas, turned by
/// Angle, with the top-left corner of its bounding box at (Left, Top).
/// Font is needed only when TextShow is not tsNone. The canvas's font, pen
/// and brush are restored afterwards. An invalid text raises before
/// anything is drawn.
void Q_DrawBar(TCanvas& Canvas, TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
               TCheckSum CheckSum, std::int32_t Left, std::int32_t Top, std::int32_t BarHeight, const TFont* Font,
               TTextShow TextShow, TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor,
               double Angle);

/// Paints one polygon per line code (used by Q_DrawBar).
void PaintBars(const std::string& LineCodes, TCanvas& Canvas, TColor ColorBar, TColor ColorSpc, std::int32_t Left,
               std::int32_t Top, std::int32_t BarWidth, std::int32_t BarHeight, double Angle);

/// Writes the caption with a turned font (used by Q_DrawBar).
void PaintCaption(const std::string& Caption, TCanvas& Canvas, TColor TextColor, const TFont& Font, std::int32_t Left,
                  std::int32_t Top, std::int32_t BarWidth, std::int32_t BarHeight, double Angle,
                  TTextPosition TextPosition);

/// The pixels Q_DrawBar paints with the same arguments (Right and Bottom
/// exclusive), caption included. Exact at multiples of 90 degrees; at other
/// angles it contains every painted pixel and may be a pixel larger on a
/// side. Canvas only measures the caption. Raises what MakeLineCodes raises.
TRect DrawingBounds(TCanvas& Canvas, TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                    TCheckSum CheckSum, std::int32_t Left, std::int32_t Top, std::int32_t BarHeight, const TFont* Font,
                    TTextShow TextShow, TTextPosition TextPosition, double Angle);

// ---------------------------------------------------------------------------
// Printing in physical units on the global printer (platform/printers.h).
// Sizes are in Units; a Units value outside TUnits takes them as printer
// pixels. Every conversion reads the printer's resolution anew.

/// Draws the barcode on the printer's canvas, inside a job the caller has
/// begun, the top-left corner of its bounding box at (Left, Top). Left and
/// the module are converted with the horizontal resolution, Top and the bar
/// height with the vertical one.
void Q_PrintBar(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio, TCheckSum CheckSum,
                double Left, double Top, double BarHeight, const TFont* Font, TTextShow TextShow,
                TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor, double Angle);

/// Value in Units as printer pixels along x (Horizontal) or y, converted as
/// Q_PrintBar converts its sizes. Raises "Printer coordinate out of range."
/// when the result does not fit 32 bits.
std::int32_t PrinterPixels(TUnits Units, double Value, bool Horizontal);

/// The printer pixels Q_PrintBar paints with the same arguments (Right and
/// Bottom exclusive, as DrawingBounds gives them); needs no print job.
TRect PrintedBounds(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                    TCheckSum CheckSum, double Left, double Top, double BarHeight, const TFont* Font,
                    TTextShow TextShow, TTextPosition TextPosition, double Angle);

/// The printed bar width as a whole number of Units; -1.0 for a unit
/// outside TUnits.
double Q_GetPrnBarWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                        TCheckSum CheckSum);

/// The printed Q_GetCanvasWidth (along the paper's y axis at 0 degrees), in
/// whole Units; the bar height is converted with the horizontal resolution.
double Q_PrnCanvasWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                        TCheckSum CheckSum, double BarHeight, double Angle);

/// The printed Q_GetCanvasHeight (along the paper's x axis at 0 degrees).
double Q_PrnCanvasHeight(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                         TCheckSum CheckSum, double BarHeight, double Angle);

// ---------------------------------------------------------------------------
// Encoding once. The routines above encode the text on every call; these
// take a symbol encoded once and draw, measure or print it as often as
// needed, from any encoder's line codes. They read and write no state:
// threads may use them at once, each on its own canvas.

/// Pixel widths of the four width classes of one symbol: [0] is class 1 (the
/// narrow module), [1] class 2 (the wide element), [2] and [3] one and a half
/// and two times class 2.
using ModuleWidths = std::array<std::int32_t, 4>;

/// A symbol encoded once: what drawing, measuring and printing it need.
struct EncodedSymbol {
    /// One character per element, in the line-code alphabet.
    std::string LineCodes;
    /// The text as given (untrimmed), or what the encoder put in its place.
    std::string Caption;
    /// The symbology's display name, shown by tsBarType and tsBoth; points to
    /// storage that outlives the symbol (a literal, BCData).
    std::string_view TypeName;
    /// The wide-to-narrow ratio as the symbology clamped it.
    double Ratio = 0;
    /// The pixel widths the line codes are drawn with.
    ModuleWidths Widths{};
    /// The width of the whole symbol in pixels: the sum of its elements.
    std::int32_t BarWidth = 0;
};

/// Encodes Text as symbology BarType, as MakeLineCodes does (same clamping,
/// trimming, checks and messages, the caption starting as Text), and
/// measures it as Q_GetBarWidth does. Leaves the module widths of
/// MakeLineCodes unchanged.
EncodedSymbol EncodeSymbol(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                           TCheckSum CheckSum);

/// A symbol from line codes that any encoder wrote (WidthsToLineCodes turns
/// element widths into them), drawn with Modul pixels per narrow module and
/// Ratio (not clamped) for the wide elements. Raises "Module width out of
/// range." as MakeLineCodes does, and "Internal Error." for a character that
/// is not a line code.
EncodedSymbol MakeSymbol(std::string LineCodes, std::string Caption, std::string_view TypeName, std::int32_t Modul,
                         double Ratio);

/// Width in pixels and kind of one line code by the given module widths.
/// Raises "Internal Error." for a character that is not a line code.
void DecodeLineCode(char Code, const ModuleWidths& Widths, std::int32_t& Width, TBarLineType& LineType);

/// Draws the symbol as Q_DrawBar draws the text it was encoded from.
void DrawSymbol(TCanvas& Canvas, const EncodedSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                std::int32_t BarHeight, const TFont* Font, TTextShow TextShow, TTextPosition TextPosition,
                TColor ColorBar, TColor ColorSpc, TColor TextColor, double Angle);

/// The pixels DrawSymbol paints with the same arguments, as DrawingBounds
/// gives them.
TRect SymbolBounds(TCanvas& Canvas, const EncodedSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                   std::int32_t BarHeight, const TFont* Font, TTextShow TextShow, TTextPosition TextPosition,
                   double Angle);

/// Q_GetCanvasWidth of the symbol: its extent along the screen's y axis.
std::int32_t SymbolCanvasWidth(const EncodedSymbol& Symbol, std::int32_t BarHeight, double Angle);

/// Q_GetCanvasHeight of the symbol: its extent along the screen's x axis.
std::int32_t SymbolCanvasHeight(const EncodedSymbol& Symbol, std::int32_t BarHeight, double Angle);

/// Prints the symbol as Q_PrintBar prints a text. Its widths are printer
/// pixels: encode it with the module PrinterPixels(Units, Modul, true) gives.
void PrintSymbol(TUnits Units, const EncodedSymbol& Symbol, double Left, double Top, double BarHeight,
                 const TFont* Font, TTextShow TextShow, TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc,
                 TColor TextColor, double Angle);

/// The printer pixels PrintSymbol paints with the same arguments, as
/// PrintedBounds gives them; needs no print job.
TRect PrintedSymbolBounds(TUnits Units, const EncodedSymbol& Symbol, double Left, double Top, double BarHeight,
                          const TFont* Font, TTextShow TextShow, TTextPosition TextPosition, double Angle);

} // namespace qb
