// The barcode control's property-change benchmark, shared with the widget's
// benchmark so both set the control up alike.
#pragma once

#include "qbarcode/pbarcode.h"

#include <benchmark/benchmark.h>

#include <string>

namespace qbbench {

/// Changes the text of a 300 x 100 control with a lowered bevel, a border
/// band and a caption between `a` and `b` once per iteration; each change
/// repaints the control.
void BarCodePropertyChange(benchmark::State& state, qb::TBarType type, const std::string& a, const std::string& b);

} // namespace qbbench
