// The barcode control: every property change repaints a 300 x 100 control
// with a lowered bevel, a border band and a caption.
#include "bench_control.h"

using namespace qb;

namespace qbbench {

void BarCodePropertyChange(benchmark::State& state, TBarType type, const std::string& a, const std::string& b)
{
    TBarCode bc(nullptr);
    bc.SetBounds(0, 0, 300, 100);
    bc.SetBorderWidth(2);
    bc.SetBevelInner(bvLowered);
    bc.SetBarType(type);
    bc.SetTextShow(tsBarCode);
    const std::string* texts[2] = {&a, &b};
    int n = 0;
    for (auto _ : state)
        bc.SetBarCode(*texts[++n & 1]);
    state.SetItemsProcessed(state.iterations());
}

} // namespace qbbench

namespace {

void BM_BarCodePropertyChange(benchmark::State& state)
{
    qbbench::BarCodePropertyChange(state, bcCode128B, "Hello, World! 16", "Hello, World! 17");
}
BENCHMARK(BM_BarCodePropertyChange);

} // namespace
