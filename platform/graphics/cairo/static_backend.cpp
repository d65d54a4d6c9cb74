// The document backend of a static link: the Cairo surfaces linked in.
#include "cairo/cairo_surface.h"
#include "vector/document_backend.h"

namespace qb {

namespace gfx {

const DocumentBackend& Documents()
{
    return CairoDocuments();
}

} // namespace gfx

} // namespace qb
