/// \file
/// Packages: shared libraries that carry units, resources and Register
/// procedures, loaded and unloaded at run time, with each unit started once per
/// process however many packages use it.
#pragma once

#include "qbarcode/classes.h"
#include "qbarcode/sysutils.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// ---------------------------------------------------------------------------
// What a package exports (C linkage, so a host finds it with dlsym)

extern "C" {

/// A unit's start-up or shut-down routine.
typedef void (*TUnitProc)();

/// One row of a package's unit table.
struct TUnitInfo {
    const char* Name;   ///< unit name, e.g. "Qbarcode"
    TUnitProc Startup;  ///< run when the unit starts (may be null)
    TUnitProc Shutdown; ///< run when the unit stops (may be null)
    int Contained;      ///< 1 when the package itself holds the unit, 0 for a unit of a required package
};

/// Kind flags of a package (neither set: usable at design time and at run time).
enum { pfDesignOnly = 1, pfRunOnly = 2, pfNeverBuild = 4 };

/// What GetPackageInfoTable returns.
struct TPackageInfoTable {
    const char* Name;            ///< package name, e.g. "Kavrel"
    int Flags;                   ///< pf* flags
    int RequireCount;            ///< number of required runtime packages
    const char* const* Requires; ///< their names, e.g. "qbrtl"
    int UnitCount;               ///< rows of Units
    const TUnitInfo* Units;      ///< every unit the package uses, in start-up order
};

/// One resource: a named block of bytes of a type ("BITMAP", "ICON", "RCDATA", "VERSION").
struct TResourceInfo {
    const char* Name;          ///< resource name in capitals, e.g. "TBARCODE"
    const char* Type;          ///< resource type
    const unsigned char* Data; ///< the bytes
    std::size_t Size;          ///< their count
};

/// What GetPackageResources returns.
struct TResourceTable {
    int Count;                  ///< rows of Items
    const TResourceInfo* Items; ///< the resources
};

/// Entry points a package exports.
typedef const TPackageInfoTable* (*TGetPackageInfoTable)();
typedef const TResourceTable* (*TGetPackageResources)(); ///< GetPackageResources
typedef void (*TPackageProc)();                          ///< Initialize, Finalize, a unit routine
typedef void (*TRegisterProc)();                         ///< a unit's Register procedure

} // extern "C"

// ---------------------------------------------------------------------------
// Unit life cycle

/// Raised when a package cannot be loaded or used; the message says which and why.
class EPackageError : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

/// Starts every unit of table in order whose start-up has not run in this
/// process yet, and counts one more user of each. If a start-up raises, the
/// units started by this call are stopped again (in reverse) and the
/// exception passes on. A package's Initialize calls this with its own table.
void InitializePackage(const TPackageInfoTable& table);
/// Counts one user less of every unit of table, in reverse order, and stops
/// those that no package uses any more. A package's Finalize calls this.
void FinalizePackage(const TPackageInfoTable& table);

/// Unregisters every class whose class information lives in the shared
/// library holding address, and forgets what was computed from those classes
/// (palette entries, property lists), so nothing points into the library once
/// it is closed. A package's Finalize calls it with an address of its own.
void ForgetModuleClasses(const void* address);
/// Forgets the property lists computed from the classes whose class
/// information lives in the shared library holding address, keeping their
/// registrations. A runtime library's unit shut-down calls it with an address
/// of its own: the library may be unloaded next, or stay linked to its host.
void ForgetModulePropLists(const void* address);

/// A start-up or shut-down seen by the platform.
struct TUnitEvent {
    std::string Unit; ///< unit name
    bool Startup;     ///< true for a start-up, false for a shut-down
};
/// Called by unit routines: records that unit started or stopped.
void NoteUnitEvent(std::string_view unit, bool startup);
/// The start-ups and shut-downs recorded so far in this process, oldest first.
std::vector<TUnitEvent> UnitEvents();
/// Forgets the recorded events (not which units are running).
void ClearUnitEvents();
/// True while unit has a running start-up in this process.
bool UnitStarted(std::string_view unit);

// ---------------------------------------------------------------------------
// Loading packages

/// A loaded package, valid until its last UnloadPackage.
using HMODULE = struct TLoadedPackage*;

/// Loads the package at path (dlopen), refuses it when it holds a unit that an
/// already loaded package holds (nothing of it runs then), and calls its
/// Initialize. Loading a loaded package again counts one more load. Raises
/// EPackageError.
HMODULE LoadPackage(const std::string& path);
/// Undoes one LoadPackage; the last one calls Finalize, forgets the classes
/// whose class information lives in the package (registry, palette, property
/// lists) and closes the library.
void UnloadPackage(HMODULE module);
/// The packages loaded now, in load order.
std::vector<HMODULE> LoadedPackages();

/// The package's unit table.
const TPackageInfoTable& GetPackageInfo(HMODULE module);
/// The file the package was loaded from.
std::string GetPackagePath(HMODULE module);
/// The address of the exported symbol name of the package (C linkage or a
/// C++ mangled name), or nullptr.
void* GetProcAddress(HMODULE module, const std::string& name);
/// True when address (a class's information, a routine) lies in the package's library.
bool PackageHolds(HMODULE module, const void* address);
/// The names of the units the package itself holds, in start-up order.
std::vector<std::string> ContainedUnits(HMODULE module);

/// Calls the Register procedure ("<Unit>_Register", C linkage) of every unit
/// the package holds, in start-up order: what a host does to install it.
void InstallPackage(HMODULE module);
/// The palette as the package's runtime library holds it, with the
/// classes its Register procedures put there (the same list as GetPalette()
/// for a host that uses the runtime library itself).
const std::vector<TPalettePage>& GetPackagePalette(HMODULE module);

/// A resource of a package: its bytes, or {nullptr, 0} when there is none.
struct TResourceBytes {
    const unsigned char* Data = nullptr; ///< first byte
    std::size_t Size = 0;                ///< byte count
};
/// The resource name (matched without regard to case) of type in module.
TResourceBytes FindResource(HMODULE module, std::string_view name, std::string_view type);
/// The package's description string (the "DESCRIPTION" RCDATA resource).
std::string GetPackageDescription(HMODULE module);

/// A version block: a fixed part of four numbers and its texts.
struct TVersionInfo {
    int Major = 0;               ///< file version, first number
    int Minor = 0;               ///< file version, second number
    int Release = 0;             ///< file version, third number
    int Build = 0;               ///< file version, fourth number
    std::string ProductName;     ///< e.g. "qbarcode"
    std::string FileDescription; ///< what the file is
    std::string LegalCopyright;  ///< who holds the rights
};
/// The package's version block (the "VERSION" resource named "1"); raises
/// EPackageError when it is missing or malformed.
TVersionInfo GetPackageVersion(HMODULE module);
/// Parses a version block: "QBVERSION" and NUL, four little-endian 16-bit
/// numbers, then key=value texts each ended by NUL. Raises EPackageError.
TVersionInfo ParseVersionBlock(const unsigned char* data, std::size_t size);

/// A device-independent bitmap read into RGB pixels.
struct TDibImage {
    int Width = 0;                     ///< pixels per row
    int Height = 0;                    ///< rows
    int BitCount = 0;                  ///< bits per pixel as stored
    std::vector<std::uint32_t> Pixels; ///< 0x00RRGGBB, top row first
};
/// Reads a DIB (an info header, a colour table and rows, as a BITMAP resource
/// holds them; 8 bits per pixel, uncompressed). Raises EPackageError for
/// anything else or for data that does not hold what the header says.
TDibImage ReadDib(const unsigned char* data, std::size_t size);

// ---------------------------------------------------------------------------
// Runtime units: the start-up and shut-down routines the runtime libraries
// export, for the unit tables of the packages that require them.

extern "C" {
void SysUtils_Startup();  ///< runtime library
void SysUtils_Shutdown(); ///< runtime library
void Classes_Startup();   ///< runtime library
void Classes_Shutdown();  ///< runtime library
void Graphics_Startup();  ///< visual library
void Graphics_Shutdown(); ///< visual library
void Printers_Startup();  ///< visual library
void Printers_Shutdown(); ///< visual library
void Controls_Startup();  ///< visual library
void Controls_Shutdown(); ///< visual library
void DB_Startup();        ///< database runtime
void DB_Shutdown();       ///< database runtime
void DBLinks_Startup();   ///< data-aware library
void DBLinks_Shutdown();  ///< data-aware library
}

} // namespace qb
