// Units of the visual library (libqbvisual.so): graphics, printers and the
// framework's controls. Graphics, the first of them to start and the last to
// stop, hands the colour names to the runtime library below and takes back
// what the runtime library holds of this one; the others only report to the
// unit log.
#include "qbarcode/graphics.h"
#include "qbarcode/packages.h"

namespace qb {

void Graphics_Startup()
{
    NoteUnitEvent("Graphics", true);
    RegisterColorNames();
}

void Graphics_Shutdown()
{
    NoteUnitEvent("Graphics", false);
    UnregisterColorNames();
    ForgetModulePropLists(reinterpret_cast<const void*>(&Graphics_Shutdown));
}

void Printers_Startup()
{
    NoteUnitEvent("Printers", true);
}

void Printers_Shutdown()
{
    NoteUnitEvent("Printers", false);
}

void Controls_Startup()
{
    NoteUnitEvent("Controls", true);
}

void Controls_Shutdown()
{
    NoteUnitEvent("Controls", false);
}

} // namespace qb
