// A vector output file (SVG, PDF, PostScript, EPS) written through a cairo
// surface: shared by TVectorDocument and the printer. Internal.
#pragma once

#include "platform/graphics_internal.h"

#include <cstdio>
#include <string>

namespace gfx {

class VectorOutput {
public:
    /// Creates the file at `path`, `width` x `height` output units per page;
    /// raises with the system's reason when it cannot be created.
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
