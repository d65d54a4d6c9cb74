// Units of the runtime library (libqbrtl.so). They hold no state that needs
// starting or stopping; their routines only report to the unit log.
#include "qbarcode/packages.h"

namespace qb {

void SysUtils_Startup()
{
    NoteUnitEvent("SysUtils", true);
}

void SysUtils_Shutdown()
{
    NoteUnitEvent("SysUtils", false);
}

void Classes_Startup()
{
    NoteUnitEvent("Classes", true);
}

void Classes_Shutdown()
{
    NoteUnitEvent("Classes", false);
}

// The palette this runtime library holds, for hosts that carry a copy of the
// framework of their own and so cannot call GetPalette() on this one.
extern "C" const std::vector<TPalettePage>* Classes_Palette()
{
    return &GetPalette();
}

} // namespace qb
