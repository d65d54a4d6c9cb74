// The unit of the database runtime (libqbdbrtl.so): datasets, fields, data
// sources and links, the SQLite and in-memory datasets. It only reports to the unit log.
#include "qbarcode/packages.h"

void DB_Startup()
{
    NoteUnitEvent("DB", true);
}

void DB_Shutdown()
{
    NoteUnitEvent("DB", false);
}
