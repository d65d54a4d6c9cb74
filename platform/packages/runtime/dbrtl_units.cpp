// The unit of the database runtime (libqbdbrtl.so): datasets, fields, data
// sources and links, the SQLite and in-memory datasets. Its shut-down takes
// back the property lists the runtime library computed from this library's
// classes, whose code may be unloaded next.
#include "qbarcode/packages.h"

namespace qb {

void DB_Startup()
{
    NoteUnitEvent("DB", true);
}

void DB_Shutdown()
{
    NoteUnitEvent("DB", false);
    ForgetModulePropLists(reinterpret_cast<const void*>(&DB_Shutdown));
}

} // namespace qb
