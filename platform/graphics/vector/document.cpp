// TVectorDocument: a canvas over an SVG or a PDF, PostScript or EPS document surface.
#include "qbarcode/sysutils.h"
#include "vector/page_surface.h"
#include "vector/svg_surface.h"

namespace qb {

TVectorDocument::TVectorDocument(TVectorFormat format, const std::string& path, int width, int height,
                                 const TVectorOptions& options)
    : format_(format), width_(width), height_(height), ownCanvas_(std::make_unique<TCanvas>()),
      canvas_(ownCanvas_.get())
{
    Open(path, options);
    gfx::CanvasAccess::SetNoSurfaceMessage(*canvas_, "The document is closed");
}

TVectorDocument::TVectorDocument(TCanvas& canvas, TVectorFormat format, const std::string& path, int width, int height,
                                 const TVectorOptions& options)
    : format_(format), width_(width), height_(height), canvas_(&canvas)
{
    Open(path, options);
}

void TVectorDocument::Open(const std::string& path, const TVectorOptions& options)
{
    if (width_ <= 0 || height_ <= 0)
        throw Exception(Format("Invalid document size %dx%d", {width_, height_}));
    if (!(options.ScaleX > 0) || !(options.ScaleY > 0) || options.PixelsPerInchX <= 0 || options.PixelsPerInchY <= 0 ||
        !(options.PageWidth >= 0) || !(options.PageHeight >= 0))
        throw Exception("Invalid document scale or resolution");
    if (format_ == TVectorFormat::Svg) {
        out_ = std::make_unique<gfx::SvgSurface>(path, width_, height_, options.ScaleX, options.ScaleY, options.Title);
    } else {
        const double pageWidth = options.PageWidth > 0 ? options.PageWidth : width_ * options.ScaleX;
        const double pageHeight = options.PageHeight > 0 ? options.PageHeight : height_ * options.ScaleY;
        out_ = std::make_unique<gfx::PageSurface>(format_, path, width_, height_, pageWidth, pageHeight, options.ScaleX,
                                                  options.ScaleY, options.Title);
    }
    gfx::CanvasAccess::Attach(*canvas_, out_.get());
    gfx::DeviceCaps caps;
    caps.dpiX = options.PixelsPerInchX;
    caps.dpiY = options.PixelsPerInchY;
    caps.width = caps.physicalWidth = width_;
    caps.height = caps.physicalHeight = height_;
    caps.technology = DT_RASPRINTER;
    gfx::CanvasAccess::SetCaps(*canvas_, caps);
}

TVectorDocument::~TVectorDocument()
{
    Abort();
}

void TVectorDocument::NewPage()
{
    if (!out_)
        throw Exception("The document is closed");
    if (format_ == TVectorFormat::Svg || format_ == TVectorFormat::Eps)
        throw Exception("This document format holds a single page");
    out_->NewPage();
    ++pages_;
}

void TVectorDocument::Close()
{
    if (!out_)
        return;
    gfx::CanvasAccess::Detach(*canvas_);
    const std::unique_ptr<gfx::DocumentSurface> out = std::move(out_);
    out->Close();
}

void TVectorDocument::Abort()
{
    if (!out_)
        return;
    gfx::CanvasAccess::Detach(*canvas_);
    out_->Abort();
    out_.reset();
}

} // namespace qb
