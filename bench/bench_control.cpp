// The barcode control: every property change repaints a 300 x 100 control
// with a raised bevel, a border band and a caption.
#include "qbarcode/pbarcode.h"

#include <benchmark/benchmark.h>

using namespace qb;

namespace {

void BM_BarCodePropertyChange(benchmark::State& state)
{
    TBarCode bc(nullptr);
    bc.SetBounds(0, 0, 300, 100);
    bc.SetBorderWidth(2);
    bc.SetBevelInner(bvLowered);
    bc.SetBarType(bcCode128B);
    bc.SetTextShow(tsBarCode);
    const std::string texts[2] = {"Hello, World! 16", "Hello, World! 17"};
    int n = 0;
    for (auto _ : state)
        bc.SetBarCode(texts[++n & 1]);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarCodePropertyChange);

} // namespace
