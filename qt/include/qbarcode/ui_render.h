/// \file
/// The C entry of the module that renders .ui files (qbarcode-ui.so, in the
/// library's module folder `qbarcode`): what `qbarcode form render` calls
/// for a form laid out in Qt Designer. Plain C types only: the command links
/// no Qt.
#pragma once

#include <cstddef>

/// Output format of the entry: a PNG image.
#define QB_UI_PNG 0
/// Output format of the entry: an SVG drawing.
#define QB_UI_SVG 1
/// Output format of the entry: a one-page PDF document.
#define QB_UI_PDF 2

/// The entry's name, as the module defines it.
#define QB_UI_RENDER_ENTRY_NAME qb_render_ui_form
/// The entry's name as a string, looked up with dlsym.
#define QB_UI_RENDER_ENTRY "qb_render_ui_form"

/// Renders the .ui text `ui` (`size` bytes, named `name` in messages) into
/// `output` as QB_UI_PNG, QB_UI_SVG or QB_UI_PDF, written whole or not at all;
/// PNG captions are anti-aliased only with `smoothText`. Returns 0, or 1 with
/// a message in `message` (`room` bytes).
using QbUiRenderEntry = int (*)(const char* ui, std::size_t size, const char* name, const char* output, int format,
                                int smoothText, char* message, std::size_t room);
