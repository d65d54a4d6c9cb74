// The unit of the data-aware library (libqbdbaware.so), which data-aware
// controls require. The field data link they use is built with the database
// layer (its links and data sources share one private interface), so this
// library holds the unit and requires the database runtime and the visual
// library. It only reports to the unit log.
#include "qbarcode/packages.h"

namespace qb {

void DBLinks_Startup()
{
    NoteUnitEvent("DBLinks", true);
}

void DBLinks_Shutdown()
{
    NoteUnitEvent("DBLinks", false);
}

} // namespace qb
