// PDF, PostScript and EPS documents are drawn by the 2-D graphics library,
// whose code (and the libraries it loads) only such an output needs. The
// shared visual library opens it as a module on first use, found beside the
// library itself; a static link of the layers holds it directly.
#pragma once

#include "vector/vector_surface.h"

#include <memory>
#include <string>

namespace qb {

namespace gfx {

/// What the document module offers.
struct DocumentBackend {
    /// A PDF, PostScript or EPS file of `width` x `height` device pixels on
    /// pages of `pageWidth` x `pageHeight` points, each device pixel
    /// (scaleX, scaleY) points. Raises with the system's reason when the
    /// file cannot be created.
    std::unique_ptr<DocumentSurface> (*create)(TVectorFormat format, const std::string& path, int width, int height,
                                               double pageWidth, double pageHeight, double scaleX, double scaleY,
                                               const std::string& title);
};

/// The document backend, loaded when first asked for; raises, naming what is
/// missing, when it cannot be loaded.
const DocumentBackend& Documents();

} // namespace gfx

/// The module's entry point: its backend (the name carries the interface's
/// version, so a module of another version is not taken for this one).
#define QB_DOCUMENT_BACKEND_ENTRY "qb_document_backend_1"

} // namespace qb
