// Vector output files: PDF, PostScript and EPS written through a cairo
// surface (shared by TVectorDocument and the printer), and SVG written by
// our own writer. Internal.
#pragma once

#include "graphics_internal.h"

#include <cstdio>
#include <optional>
#include <string>

namespace gfx {

/// An SVG file of `width` x `height` device pixels, each (scaleX, scaleY) CSS
/// pixels. The document is built in memory and written when closed, in one
/// write; the file itself is created (empty) at once, so that a path that
/// cannot be written fails here.
class SvgOutput final : public VectorPainter {
public:
    SvgOutput(const std::string& path, int width, int height, double scaleX, double scaleY,
              const std::string& title);
    SvgOutput(const SvgOutput&) = delete;
    SvgOutput& operator=(const SvgOutput&) = delete;
    /// Aborts when neither closed nor aborted.
    ~SvgOutput() override;

    bool IsOpen() const { return fd_ >= 0; }
    /// Writes the document; raises (and removes the file) on a write error.
    void Close();
    /// Removes the file.
    void Abort();

    void MoveTo(double x, double y) override;
    void LineTo(double x, double y) override;
    void ClosePath() override;
    void Rectangle(double x, double y, double width, double height) override;
    void Fill(TColor color, bool evenOdd) override;
    void Stroke(TColor color, double width, LineCap cap) override;
    void Text(const TextRun& run) override;
    void Image(double x, double y, const PixelBuffer& pixels, cairo_surface_t* surface, const PointD& visibleMin,
               const PointD& visibleMax) override;

private:
    struct Box {
        double x, y, width, height;
    };
    /// Moves the pending rectangle into the path data.
    void FlushRectangle();
    /// Starts a <path> element with the pending path data; false when there is none.
    bool OpenPathElement();

    std::string path_;
    int fd_ = -1;
    std::string doc_;
    // The path being built: path data, and a last rectangle kept aside while
    // it may be the whole path (then written as a <rect>).
    std::string pathData_;
    std::optional<Box> pending_;
};

class VectorOutput {
public:
    /// Creates a PDF, PostScript or EPS file at `path`, `width` x `height`
    /// output units per page; raises with the system's reason when it cannot
    /// be created.
    VectorOutput(TVectorFormat format, const std::string& path, double width, double height,
                 const std::string& title);
    VectorOutput(const VectorOutput&) = delete;
    VectorOutput& operator=(const VectorOutput&) = delete;
    /// Aborts when neither closed nor aborted.
    ~VectorOutput();

    cairo_t* Context() const { return cr_; }
    bool IsOpen() const { return file_ != nullptr; }
    void ShowPage();
    /// Finishes the file; raises (and removes it) on a write error.
    void Close();
    /// Stops writing and removes the file.
    void Abort();

private:
    static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length);

    std::string path_;
    bool paged_;
    std::FILE* file_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    int error_ = 0;
};

} // namespace gfx
