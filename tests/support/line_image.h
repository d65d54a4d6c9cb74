// Paints a line-code string straight into pixels (one width class = one
// module) and reads it back with the two independent readers: symbols that
// no TBarType names are checked without the drawing path.
#pragma once

#include "support/reader.h"

#include <cstdint>
#include <string_view>
#include <vector>

using namespace qb;

namespace testsupport {

struct LineImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB, row after row
};

/// Black bars on white, a quiet zone of ten modules on each side.
LineImage PaintLineCodes(std::string_view lineCodes, int pixelsPerModule = 2, int height = 24);

/// ZXing's reading (text as UTF-8).
Decoded ReadWithZxing(const LineImage& image);

/// zbar's reading: format "CODE-128", the data's bytes as zbar gives them,
/// the symbology identifier from its modifiers ("]C1" for GS1 data).
Decoded ReadWithZbar(const LineImage& image);

} // namespace testsupport
