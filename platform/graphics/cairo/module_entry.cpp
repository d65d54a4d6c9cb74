// The document module's entry point, looked up by the visual library.
#include "cairo/cairo_surface.h"
#include "vector/document_backend.h"

namespace qb {

extern "C" [[gnu::visibility("default")]] const gfx::DocumentBackend* qb_document_backend_1()
{
    return &gfx::CairoDocuments();
}

} // namespace qb
