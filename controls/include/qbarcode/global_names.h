/// \file
/// The names the component API is known by, at global scope, for code written
/// against that API: the Q_ routines, MakeLineCodes and DecodeLineCode, the
/// module widths they share, BCData and TBCdata, the core's enumerations with
/// their enumerators (bcCodeEAN13, csModulo10, toLeftRight, tsBarCode,
/// tpBottomCenter, utMillimeter, white, black, black_half) and the controls
/// TBarCode and TDBBarcode. Everything else stays in namespace qb.
///
/// No header of the library includes this one: a program opts in. The
/// controls are declared here; include qbarcode/pbarcode.h or
/// qbarcode/pdbbarcode.h to use them.
#pragma once

#include "qbarcode/qbarcode.h"

namespace qb {
class TBarCode;
class TDBBarcode;
} // namespace qb

/// \cond
// One using-declaration per name. An enumeration brings its enumerators by
// expanding its list (QB_BAR_TYPES, QB_CHECK_SUMS...).
#define QB_GLOBAL_NAME(name, ...) using qb::name;

// Routines and data
QB_GLOBAL_NAME(Q_GetBarTypeName)
QB_GLOBAL_NAME(Q_GetBarWidth)
QB_GLOBAL_NAME(Q_GetCanvasWidth)
QB_GLOBAL_NAME(Q_GetCanvasHeight)
QB_GLOBAL_NAME(Q_DrawBar)
QB_GLOBAL_NAME(Q_PrintBar)
QB_GLOBAL_NAME(Q_GetPrnBarWidth)
QB_GLOBAL_NAME(Q_PrnCanvasWidth)
QB_GLOBAL_NAME(Q_PrnCanvasHeight)
QB_GLOBAL_NAME(MakeLineCodes)
QB_GLOBAL_NAME(DecodeLineCode)
QB_GLOBAL_NAME(ModuleWidth1)
QB_GLOBAL_NAME(ModuleWidth2)
QB_GLOBAL_NAME(ModuleWidth3)
QB_GLOBAL_NAME(ModuleWidth4)
QB_GLOBAL_NAME(BCData)
QB_GLOBAL_NAME(TBCdata)

// Enumerations
QB_GLOBAL_NAME(TBarType)
QB_BAR_TYPES(QB_GLOBAL_NAME)

QB_GLOBAL_NAME(TCheckSum)
QB_CHECK_SUMS(QB_GLOBAL_NAME)
QB_GLOBAL_NAME(TOrientation)
QB_ORIENTATIONS(QB_GLOBAL_NAME)
QB_GLOBAL_NAME(TTextShow)
QB_TEXT_SHOWS(QB_GLOBAL_NAME)
QB_GLOBAL_NAME(TTextPosition)
QB_TEXT_POSITIONS(QB_GLOBAL_NAME)
QB_GLOBAL_NAME(TUnits)
QB_UNITS(QB_GLOBAL_NAME)
QB_GLOBAL_NAME(TBarLineType)
QB_BAR_LINE_TYPES(QB_GLOBAL_NAME)

// The controls
QB_GLOBAL_NAME(TBarCode)
QB_GLOBAL_NAME(TDBBarcode)

#undef QB_GLOBAL_NAME
/// \endcond
