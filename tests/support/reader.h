// Reads barcodes back with an independent reader (ZXing), for round trips.
#pragma once

#include "qbarcode/graphics.h"

#include <string>

using namespace qb;

namespace testsupport {

struct Decoded {
    bool found = false;
    std::string format; // ZXing's name: "EAN-13", "Code128", "ITF", ...
    std::string text;
    std::string symbology; // the symbology identifier, "]C1" for GS1-128
    std::string bytes;     // the content as encoded, before any character set is guessed
};

/// Decodes the one linear barcode on a raster (any of the four quarter
/// turns), without down-scaling. `fullAscii` reads Code 39 in full-ASCII mode.
Decoded ReadLinear(const std::uint32_t* const* rows, int width, int height, bool fullAscii = false);

/// The same for a bitmap.
Decoded ReadLinear(const TBitmap& bitmap, bool fullAscii = false);

} // namespace testsupport
