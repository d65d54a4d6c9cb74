// Shared between the property metadata and the form reader and writer.
#pragma once

#include "qbarcode/classes.h"

namespace qb {

namespace classes {

/// The colour's name from the installed converter, if any.
bool ColorToIdent(TColor color, std::string& name);
/// The colour named name by the installed converter, if any.
bool IdentToColor(std::string_view name, TColor& color);
/// ASCII case-insensitive comparison (component and class names).
bool SameText(std::string_view a, std::string_view b);

} // namespace classes

} // namespace qb
