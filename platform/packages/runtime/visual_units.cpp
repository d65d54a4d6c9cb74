// Units of the visual library (libqbvisual.so): graphics, printers and the
// framework's controls. Their routines only report to the unit log.
#include "qbarcode/packages.h"

void Graphics_Startup()
{
    NoteUnitEvent("Graphics", true);
}

void Graphics_Shutdown()
{
    NoteUnitEvent("Graphics", false);
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
