// SVG documents, written by our own writer.
#pragma once

#include "qbarcode/fileio.h"
#include "vector/vector_surface.h"

#include <optional>
#include <string>

namespace qb {

namespace gfx {

/// An SVG file of `width` x `height` device pixels, each (scaleX, scaleY) CSS
/// pixels. The document is built in memory and written when closed, in one
/// write; the file is started at once, so that a path that cannot be
/// written fails here.
class SvgSurface final : public DocumentSurface {
public:
    SvgSurface(const std::string& path, int width, int height, double scaleX, double scaleY, const std::string& title);

    void MoveTo(double x, double y) override;
    void LineTo(double x, double y) override;
    void ClosePath() override;
    void Rectangle(double x, double y, double width, double height) override;
    void Fill(TColor color, bool evenOdd) override;
    void Stroke(TColor color, double width, LineCap cap) override;
    void ShowText(const TextRun& run) override;
    void PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD& visibleMin,
                    const PointD& visibleMax) override;
    void ClipTo(double x, double y, double width, double height) override;
    void Unclip() override;

protected:
    void EndPage() override;
    void WriteOut() override;
    void Drop() noexcept override;

private:
    struct Box {
        double x, y, width, height;
        friend bool operator==(const Box&, const Box&) = default;
    };
    /// Before an element is written: puts it in a group clipped as asked,
    /// opening one (with its clip path) when the clip has changed since the
    /// last element. Clips that nothing is drawn under cost nothing.
    void SyncClip();
    /// Moves the pending rectangle into the path data.
    void FlushRectangle();
    /// Starts a <path> element with the pending path data; false when there is none.
    bool OpenPathElement();

    TAtomicFile file_;
    std::string doc_;
    // The path being built: path data, and a last rectangle kept aside while
    // it may be the whole path (then written as a <rect>).
    std::string pathData_;
    std::optional<Box> pending_;
    std::optional<Box> clip_;      // for the elements to come
    std::optional<Box> groupClip_; // of the group open in the document
    int clipPaths_ = 0;
};

} // namespace gfx

} // namespace qb
