// The objects behind font handles and device contexts, and the tables that
// hand them out. A handle is checked before use: a stale or made-up one is
// refused, never dereferenced.
#pragma once

#include "qbarcode/graphics.h"

#include <memory>

namespace qb {

namespace gfx {

class FontResource;

/// The object behind a font handle: the record it was created from, and the
/// realised font, looked up on first use.
struct GdiFont {
    explicit GdiFont(const LOGFONTA& record) : lf(record) {}
    LOGFONTA lf;
    const std::shared_ptr<FontResource>& Resource();

private:
    std::shared_ptr<FontResource> resource_;
};

/// What GetDeviceCaps reports for a device context.
struct DeviceCaps {
    int dpiX = 96, dpiY = 96;
    int width = 0, height = 0;                 // drawable area, pixels
    int physicalWidth = 0, physicalHeight = 0; // whole page, pixels
    int offsetX = 0, offsetY = 0;              // of the drawable area on the page
    int technology = DT_RASDISPLAY;
};

/// The drawing state of one canvas: its device and the selected font.
struct DeviceContext {
    DeviceCaps caps;
    std::shared_ptr<GdiFont> font;
    HGDIOBJ fontHandle = nullptr;
};

HGDIOBJ RegisterFont(std::shared_ptr<GdiFont> font);
/// Null for a handle that is not a live font.
std::shared_ptr<GdiFont> FindFont(HGDIOBJ handle);
/// Removes a font handle; false when it was not a live font.
bool UnregisterFont(HGDIOBJ handle);

HDC RegisterDeviceContext(std::shared_ptr<DeviceContext> dc);
/// Null for a handle that is not a live device context.
std::shared_ptr<DeviceContext> FindDeviceContext(HDC handle);
void UnregisterDeviceContext(HDC handle);

struct FontAccess {
    /// The object behind the font's current handle.
    static const std::shared_ptr<GdiFont>& Object(const TFont& font);
};

} // namespace gfx

} // namespace qb
