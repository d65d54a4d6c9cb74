/// \file
/// What the component packages Kavrel and Kavrin export with C linkage, besides
/// the library's C++ API: the entry points a host calls, the unit routines of
/// their unit table, the Register procedures and the resource table.
#pragma once

#include "qbarcode/packages.h"

namespace qb {

extern "C" {

/// Runs the start-up of every unit of the package's table not yet started in this process.
void Initialize();
/// Runs the shut-downs (reverse order) of the units no other package uses, after
/// forgetting the classes the package registered.
void Finalize();
/// The unit table: for each unit in start-up order, its start-up and shut-down routine.
const TPackageInfoTable* GetPackageInfoTable();
/// The resources: "TBARCODE" and "TDBBARCODE" (BITMAP), "PACKAGEICON" (ICON),
/// "DESCRIPTION" (RCDATA) and "1" (VERSION).
const TResourceTable* GetPackageResources();

/// Registers TBarCode on the palette page "Orlenvo" (one call, one class).
void Pbarcode_Register();
/// Registers TDBBarcode on the palette page "Orlenvo" (one call, one class).
void Pdbbarcode_Register();

void Qbarcode_Startup();    ///< core unit start-up
void Qbarcode_Shutdown();   ///< core unit shut-down
void Pbarcode_Startup();    ///< TBarCode unit start-up
void Pbarcode_Shutdown();   ///< TBarCode unit shut-down
void Pdbbarcode_Startup();  ///< TDBBarcode unit start-up
void Pdbbarcode_Shutdown(); ///< TDBBarcode unit shut-down
}

} // namespace qb
