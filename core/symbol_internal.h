// The encoding step behind the Q_ routines.
#pragma once

#include "qbarcode/qbarcode.h"

namespace qb {

namespace detail {

/// EncodeSymbol that also sets the calling thread's module widths, as
/// MakeLineCodes does (before the text is checked), which the Q_ routines
/// that encode have always done.
EncodedSymbol EncodeSettingWidths(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                                  TCheckSum CheckSum);

} // namespace detail

} // namespace qb
