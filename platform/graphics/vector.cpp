// TVectorDocument, and PDF, PostScript and EPS files drawn through cairo
// (SVG has a writer of its own).
#include "vector_output.h"
#include "qbarcode/sysutils.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>

#include <cerrno>
#include <cstring>

namespace gfx {

namespace {

class CairoPainter final : public VectorPainter {
public:
    CairoPainter(cairo_t* cr, double scaleX, double scaleY) : cr_(cairo_reference(cr))
    {
        cairo_matrix_t deviceMatrix;
        cairo_matrix_init_scale(&deviceMatrix, scaleX, scaleY);
        cairo_set_matrix(cr_, &deviceMatrix);
    }
    ~CairoPainter() override { cairo_destroy(cr_); }

    void MoveTo(double x, double y) override { cairo_move_to(cr_, x, y); }
    void LineTo(double x, double y) override { cairo_line_to(cr_, x, y); }
    void ClosePath() override { cairo_close_path(cr_); }
    void Rectangle(double x, double y, double width, double height) override
    {
        cairo_rectangle(cr_, x, y, width, height);
    }

    void Fill(TColor color, bool evenOdd) override
    {
        cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        SetCairoColor(cr_, color);
        cairo_fill(cr_);
    }

    void Stroke(TColor color, double width, LineCap cap) override
    {
        cairo_set_line_width(cr_, width);
        cairo_set_line_cap(cr_, cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
        SetCairoColor(cr_, color);
        cairo_stroke(cr_);
    }

    void Text(const TextRun& run) override
    {
        const FontResource& font = *run.layout.font;
        const int cellHeight = font.ascent + font.descent;
        if (run.opaque && run.layout.advance > 0) {
            const TextFrame& f = run.frame;
            const PointD corners[4] = {f.Map(0, 0), f.Map(run.layout.advance, 0),
                                       f.Map(run.layout.advance, cellHeight), f.Map(0, cellHeight)};
            for (const PointD& p : corners)
                cairo_line_to(cr_, p.x, p.y);
            cairo_close_path(cr_);
            Fill(run.cellColor, false);
        }
        CairoText(cr_, run.frame, run.layout, run.lf, run.color);
    }

    void Image(double x, double y, const PixelBuffer&, cairo_surface_t* surface, const PointD& visibleMin,
               const PointD& visibleMax) override
    {
        cairo_save(cr_);
        cairo_set_source_surface(cr_, surface, x, y);
        cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
        cairo_rectangle(cr_, visibleMin.x, visibleMin.y, visibleMax.x - visibleMin.x, visibleMax.y - visibleMin.y);
        cairo_fill(cr_);
        cairo_restore(cr_);
    }

private:
    cairo_t* cr_;
};

} // namespace

std::unique_ptr<VectorPainter> MakeCairoPainter(cairo_t* cr, double scaleX, double scaleY)
{
    return std::make_unique<CairoPainter>(cr, scaleX, scaleY);
}

VectorOutput::VectorOutput(TVectorFormat format, const std::string& path, double width, double height,
                           const std::string& title)
    : path_(path), paged_(format == TVectorFormat::Pdf || format == TVectorFormat::PostScript)
{
    if (format == TVectorFormat::Svg)
        throw Exception("SVG files are written by SvgOutput");
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        throw Exception(Format("Cannot create file \"%s\": %s", {path, std::strerror(errno)}));
    switch (format) {
    case TVectorFormat::Svg:
    case TVectorFormat::Pdf:
        surface_ = cairo_pdf_surface_create_for_stream(&VectorOutput::Write, this, width, height);
        if (!title.empty())
            cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, title.c_str());
        break;
    case TVectorFormat::PostScript:
    case TVectorFormat::Eps:
        surface_ = cairo_ps_surface_create_for_stream(&VectorOutput::Write, this, width, height);
        cairo_ps_surface_set_eps(surface_, format == TVectorFormat::Eps);
        if (!title.empty())
            cairo_ps_surface_dsc_comment(surface_, ("%%Title: " + title).c_str());
        break;
    }
    cr_ = cairo_create(surface_);
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
        std::string reason = cairo_status_to_string(cairo_status(cr_));
        Abort();
        throw Exception(Format("Cannot create file \"%s\": %s", {path, reason}));
    }
}

VectorOutput::~VectorOutput() { Abort(); }

cairo_status_t VectorOutput::Write(void* closure, const unsigned char* data, unsigned int length)
{
    auto* self = static_cast<VectorOutput*>(closure);
    if (self->error_ != 0)
        return CAIRO_STATUS_WRITE_ERROR;
    if (std::fwrite(data, 1, length, self->file_) != length) {
        self->error_ = errno ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

void VectorOutput::ShowPage() { cairo_show_page(cr_); }

void VectorOutput::Close()
{
    if (!file_)
        return;
    // cairo leaves out a last page that nothing was drawn on; a job's blank
    // last page still counts.
    if (paged_)
        cairo_show_page(cr_);
    cairo_destroy(cr_);
    cr_ = nullptr;
    cairo_surface_finish(surface_);
    cairo_status_t status = cairo_surface_status(surface_);
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    if (std::fclose(file_) != 0 && error_ == 0)
        error_ = errno ? errno : EIO;
    file_ = nullptr;
    if (error_ != 0 || status != CAIRO_STATUS_SUCCESS) {
        std::string reason = error_ != 0 ? std::strerror(error_) : cairo_status_to_string(status);
        std::remove(path_.c_str());
        throw Exception(Format("Cannot write file \"%s\": %s", {path_, reason}));
    }
}

void VectorOutput::Abort()
{
    if (!file_)
        return;
    error_ = ECANCELED; // nothing more reaches the file
    if (cr_)
        cairo_destroy(cr_);
    cr_ = nullptr;
    if (surface_) {
        cairo_surface_finish(surface_);
        cairo_surface_destroy(surface_);
    }
    surface_ = nullptr;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(path_.c_str());
}

} // namespace gfx

// A document is written by cairo or, for SVG, by the native writer.
struct TVectorDocument::Output {
    std::unique_ptr<gfx::VectorOutput> cairo;
    std::unique_ptr<gfx::SvgOutput> svg;

    bool IsOpen() const { return svg ? svg->IsOpen() : cairo->IsOpen(); }
    void Close() { svg ? svg->Close() : cairo->Close(); }
    void Abort() { svg ? svg->Abort() : cairo->Abort(); }
};

TVectorDocument::TVectorDocument(TVectorFormat format, const std::string& path, int width, int height,
                                 const TVectorOptions& options)
    : format_(format), width_(width), height_(height), canvas_(std::make_unique<TCanvas>())
{
    if (width <= 0 || height <= 0)
        throw Exception(Format("Invalid document size %dx%d", {width, height}));
    if (!(options.ScaleX > 0) || !(options.ScaleY > 0) || options.PixelsPerInchX <= 0 ||
        options.PixelsPerInchY <= 0)
        throw Exception("Invalid document scale or resolution");
    out_ = std::make_unique<Output>();
    if (format == TVectorFormat::Svg) {
        out_->svg = std::make_unique<gfx::SvgOutput>(path, width, height, options.ScaleX, options.ScaleY,
                                                     options.Title);
        gfx::CanvasAccess::AttachPainter(*canvas_, *out_->svg);
    } else {
        out_->cairo = std::make_unique<gfx::VectorOutput>(format, path, width * options.ScaleX,
                                                          height * options.ScaleY, options.Title);
        gfx::CanvasAccess::AttachVector(*canvas_, out_->cairo->Context(), options.ScaleX, options.ScaleY);
    }
    gfx::DeviceCaps caps;
    caps.dpiX = options.PixelsPerInchX;
    caps.dpiY = options.PixelsPerInchY;
    caps.width = caps.physicalWidth = width;
    caps.height = caps.physicalHeight = height;
    caps.technology = DT_RASPRINTER;
    gfx::CanvasAccess::SetCaps(*canvas_, caps);
    gfx::CanvasAccess::SetNoSurfaceMessage(*canvas_, "The document is closed");
}

TVectorDocument::~TVectorDocument()
{
    gfx::CanvasAccess::Detach(*canvas_);
}

void TVectorDocument::NewPage()
{
    if (!out_->IsOpen())
        throw Exception("The document is closed");
    if (format_ == TVectorFormat::Svg || format_ == TVectorFormat::Eps)
        throw Exception("This document format holds a single page");
    out_->cairo->ShowPage();
    ++pages_;
}

void TVectorDocument::Close()
{
    gfx::CanvasAccess::Detach(*canvas_);
    out_->Close();
}

void TVectorDocument::Abort()
{
    gfx::CanvasAccess::Detach(*canvas_);
    out_->Abort();
}
