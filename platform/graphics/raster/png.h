// PNG encoding of raster images.
#pragma once

#include "raster/pixels.h"

#include <string>

namespace qb {

namespace gfx {

/// PNG bytes of an image: paletted at the smallest bit depth that holds its
/// colours, 24-bit RGB beyond 256 colours. Raises for an empty image.
std::string EncodePng(const PixelBuffer& image);

} // namespace gfx

} // namespace qb
