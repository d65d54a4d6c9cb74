// TVectorDocument: SVG, PDF, PostScript and EPS files through cairo.
#include "platform/vector_output.h"
#include "platform/sysutils.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo-svg.h>

#include <cerrno>
#include <cstring>

namespace gfx {

VectorOutput::VectorOutput(TVectorFormat format, const std::string& path, double width, double height,
                           const std::string& title)
    : path_(path), paged_(format == TVectorFormat::Pdf || format == TVectorFormat::PostScript)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        throw Exception(Format("Cannot create file \"%s\": %s", {path, std::strerror(errno)}));
    switch (format) {
    case TVectorFormat::Svg:
        surface_ = cairo_svg_surface_create_for_stream(&VectorOutput::Write, this, width, height);
        cairo_svg_surface_set_document_unit(surface_, CAIRO_SVG_UNIT_PX);
        break;
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

struct TVectorDocument::Output : gfx::VectorOutput {
    using VectorOutput::VectorOutput;
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
    out_ = std::make_unique<Output>(format, path, width * options.ScaleX, height * options.ScaleY,
                                    options.Title);
    gfx::CanvasAccess::AttachVector(*canvas_, out_->Context(), options.ScaleX, options.ScaleY);
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
    out_->ShowPage();
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
