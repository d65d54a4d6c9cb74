#include "cairo/cairo_surface.h"
#include "cairo/cairo_text.h"
#include "qbarcode/sysutils.h"
#include "raster/pixels.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>

namespace qb {

namespace gfx {
namespace {

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length)
{
    return static_cast<TAtomicFile*>(closure)->TryWrite(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

CairoSurface::CairoSurface(TVectorFormat format, const std::string& path, int width, int height, double pageWidth,
                           double pageHeight, double scaleX, double scaleY, const std::string& title)
    : DocumentSurface(width, height), file_(path),
      paged_(format == TVectorFormat::Pdf || format == TVectorFormat::PostScript)
{
    switch (format) {
    case TVectorFormat::Svg:
    case TVectorFormat::Pdf:
        surface_ = cairo_pdf_surface_create_for_stream(WriteToFile, &file_, pageWidth, pageHeight);
        if (!title.empty())
            cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, title.c_str());
        break;
    case TVectorFormat::PostScript:
    case TVectorFormat::Eps:
        surface_ = cairo_ps_surface_create_for_stream(WriteToFile, &file_, pageWidth, pageHeight);
        cairo_ps_surface_set_eps(surface_, format == TVectorFormat::Eps);
        if (!title.empty())
            cairo_ps_surface_dsc_comment(surface_, ("%%Title: " + title).c_str());
        break;
    }
    cr_ = cairo_create(surface_);
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
        std::string reason = cairo_status_to_string(cairo_status(cr_));
        Drop();
        throw Exception("Cannot create file " + QuotedFileName(path) + ": " + reason);
    }
    cairo_matrix_t deviceMatrix;
    cairo_matrix_init_scale(&deviceMatrix, scaleX, scaleY);
    cairo_set_matrix(cr_, &deviceMatrix);
    // Readers of PDF and PostScript fit each filled rectangle to their pixel
    // grid one fill at a time, so that a bar's edge pixel depends on the fills
    // around it: gathered boxes would move edges by a pixel. Each box is
    // filled as it comes.
    SetGathering(false);
}

CairoSurface::~CairoSurface()
{
    Drop();
}

void CairoSurface::EndPage()
{
    cairo_show_page(cr_);
}

int CairoSurface::Finish() noexcept
{
    if (cr_)
        cairo_destroy(cr_);
    cr_ = nullptr;
    cairo_status_t status = CAIRO_STATUS_SUCCESS;
    if (surface_) {
        cairo_surface_finish(surface_);
        status = cairo_surface_status(surface_);
        cairo_surface_destroy(surface_);
    }
    surface_ = nullptr;
    return status;
}

void CairoSurface::WriteOut()
{
    if (!file_.IsOpen())
        return;
    // cairo leaves out a last page that nothing was drawn on; a job's blank
    // last page still counts.
    if (paged_)
        cairo_show_page(cr_);
    const auto status = static_cast<cairo_status_t>(Finish());
    if (status != CAIRO_STATUS_SUCCESS)
        file_.Fail(cairo_status_to_string(status)); // a write error recorded first is kept
    file_.Commit();
}

void CairoSurface::Drop() noexcept
{
    if (!file_.IsOpen())
        return;
    file_.Fail("aborted"); // nothing more reaches the file
    Finish();
    file_.Discard();
}

void CairoSurface::MoveTo(double x, double y)
{
    cairo_move_to(cr_, x, y);
}

void CairoSurface::LineTo(double x, double y)
{
    cairo_line_to(cr_, x, y);
}

void CairoSurface::ClosePath()
{
    cairo_close_path(cr_);
}

void CairoSurface::ClipTo(double x, double y, double width, double height)
{
    cairo_reset_clip(cr_);
    cairo_rectangle(cr_, x, y, width, height);
    cairo_clip(cr_);
}

void CairoSurface::Unclip()
{
    cairo_reset_clip(cr_);
}

void CairoSurface::Rectangle(double x, double y, double width, double height)
{
    cairo_rectangle(cr_, x, y, width, height);
}

void CairoSurface::Fill(TColor color, bool evenOdd)
{
    cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    SetCairoColor(cr_, color);
    cairo_fill(cr_);
}

void CairoSurface::Stroke(TColor color, double width, LineCap cap)
{
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
    SetCairoColor(cr_, color);
    cairo_stroke(cr_);
}

void CairoSurface::ShowText(const TextRun& run)
{
    const FontResource& font = *run.layout.font;
    const int cellHeight = font.ascent + font.descent;
    if (run.opaque && run.layout.advance > 0) {
        const TextFrame& f = run.frame;
        const PointD corners[4] = {f.Map(0, 0), f.Map(run.layout.advance, 0), f.Map(run.layout.advance, cellHeight),
                                   f.Map(0, cellHeight)};
        for (const PointD& p : corners)
            cairo_line_to(cr_, p.x, p.y);
        cairo_close_path(cr_);
        Fill(run.cellColor, false);
    }
    CairoText(cr_, run.frame, run.layout, run.lf, run.color);
}

void CairoSurface::PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD& visibleMin,
                              const PointD& visibleMax)
{
    // A view of the pixels for this call only: cairo copies what it keeps
    // when the view goes.
    cairo_surface_t* image =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data), CAIRO_FORMAT_RGB24,
                                            pixels.width, pixels.height, pixels.stride * 4);
    cairo_save(cr_);
    cairo_set_source_surface(cr_, image, x, y);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr_, visibleMin.x, visibleMin.y, visibleMax.x - visibleMin.x, visibleMax.y - visibleMin.y);
    cairo_fill(cr_);
    cairo_restore(cr_);
    cairo_surface_finish(image);
    cairo_surface_destroy(image);
}

const DocumentBackend& CairoDocuments()
{
    static const DocumentBackend backend{[](TVectorFormat format, const std::string& path, int width, int height,
                                            double pageWidth, double pageHeight, double scaleX, double scaleY,
                                            const std::string& title) -> std::unique_ptr<DocumentSurface> {
        return std::make_unique<CairoSurface>(format, path, width, height, pageWidth, pageHeight, scaleX, scaleY,
                                              title);
    }};
    return backend;
}

} // namespace gfx

} // namespace qb
