// Unit conversions of the printing routines, by the current printer's
// resolution (read anew for every conversion).
#pragma once

#include "qbarcode/printers.h"

#include <cstdint>

namespace qb {

/// Pixels per inch of the printer along x (Horizontal) or y.
int PrinterPixelsPerInch(TPrinter& Printer, bool Horizontal);

std::int32_t MmToPixelsX(double v);
std::int32_t MmToPixelsY(double v);
std::int32_t InchToPixelsX(double v);
std::int32_t InchToPixelsY(double v);
std::int32_t PixelsToMmX(double v);
std::int32_t PixelsToMmY(double v);
std::int32_t PixelsToInchX(double v);
std::int32_t PixelsToInchY(double v);

} // namespace qb
