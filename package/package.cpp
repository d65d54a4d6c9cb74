// The package shell: its unit table, the start-up and shut-down routines of
// the units it holds, the Register procedures, and the entry points a host
// calls. Built twice, as Kavrel (assertions on) and Kavrin (assertions off);
// QB_PACKAGE names the package.
#include "qbarcode/package.h"

#include "qbarcode/pbarcode.h"

#include <iterator>
#if __has_include("qbarcode/pdbbarcode.h")
#include "qbarcode/pdbbarcode.h"
#define QB_HAS_DBBARCODE 1
#endif

namespace qb {

#define QB_STRING2(x) #x
#define QB_STRING(x) QB_STRING2(x)
#define QB_PASTE2(a, b) a##b
#define QB_PASTE(a, b) QB_PASTE2(a, b)

namespace {
const char kPalettePage[] = "Orlenvo";
} // namespace

// The units' routines. The core's tables are constant data and the controls
// keep no unit state, so a start-up or shut-down only reports itself.
void Qbarcode_Startup()
{
    NoteUnitEvent("Qbarcode", true);
}
void Qbarcode_Shutdown()
{
    NoteUnitEvent("Qbarcode", false);
}
void Pbarcode_Startup()
{
    NoteUnitEvent("Pbarcode", true);
}
void Pbarcode_Shutdown()
{
    NoteUnitEvent("Pbarcode", false);
}
void Pdbbarcode_Startup()
{
    NoteUnitEvent("Pdbbarcode", true);
}
void Pdbbarcode_Shutdown()
{
    NoteUnitEvent("Pdbbarcode", false);
}
// The package's own unit: Kavrel_Startup and so on.
extern "C" void QB_PASTE(QB_PACKAGE, _Startup)()
{
    NoteUnitEvent(QB_STRING(QB_PACKAGE), true);
}
extern "C" void QB_PASTE(QB_PACKAGE, _Shutdown)()
{
    NoteUnitEvent(QB_STRING(QB_PACKAGE), false);
}

void Pbarcode_Register()
{
    RegisterComponents(kPalettePage, {&TBarCode::StaticClassInfo()});
}

void Pdbbarcode_Register()
{
#ifdef QB_HAS_DBBARCODE
    RegisterComponents(kPalettePage, {&TDBBarcode::StaticClassInfo()});
#endif
}

namespace {

const char* const kRequires[] = {"qbrtl", "qbvisual", "qbdbrtl", "qbdbaware"};

// Start-up order: the framework units each unit uses come before it; the
// database units are needed only from Pdbbarcode on.
const TUnitInfo kUnits[] = {
    {"SysUtils", SysUtils_Startup, SysUtils_Shutdown, 0},
    {"Classes", Classes_Startup, Classes_Shutdown, 0},
    {"Graphics", Graphics_Startup, Graphics_Shutdown, 0},
    {"Printers", Printers_Startup, Printers_Shutdown, 0},
    {"Controls", Controls_Startup, Controls_Shutdown, 0},
    {"Qbarcode", Qbarcode_Startup, Qbarcode_Shutdown, 1},
    {"Pbarcode", Pbarcode_Startup, Pbarcode_Shutdown, 1},
    {"DB", DB_Startup, DB_Shutdown, 0},
    {"DBLinks", DBLinks_Startup, DBLinks_Shutdown, 0},
    {"Pdbbarcode", Pdbbarcode_Startup, Pdbbarcode_Shutdown, 1},
    {QB_STRING(QB_PACKAGE), QB_PASTE(QB_PACKAGE, _Startup), QB_PASTE(QB_PACKAGE, _Shutdown), 1},
};

const TPackageInfoTable kTable = {
    QB_STRING(QB_PACKAGE),
    pfNeverBuild, // usable at design time and at run time, never rebuilt by a host
    static_cast<int>(std::size(kRequires)),
    kRequires,
    static_cast<int>(std::size(kUnits)),
    kUnits,
};

} // namespace

const TPackageInfoTable* GetPackageInfoTable()
{
    return &kTable;
}

void Initialize()
{
    InitializePackage(kTable);
}

void Finalize()
{
    ForgetModuleClasses(&kTable);
    FinalizePackage(kTable);
}

} // namespace qb
