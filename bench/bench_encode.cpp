// Encoding speed: MakeLineCodes followed by Q_GetBarWidth, as a measuring
// caller does (the width call encodes the text once more).
#include "qbarcode/qbarcode.h"

#include <benchmark/benchmark.h>

using namespace qb;

namespace {

// A typical text per symbology.
const char* const kTypicalText[BarTypeCount] = {
    "1234567890",     "1234567890",       "1234567890",  "CODE-39 TEXT", "Code 39 ext", "ABC-123-XYZ", "Hello, World!",
    "12345678901234", "CODE-93",          "Code 93 ext", "1234567",      "555551237",   "A12345B",     "1234567",
    "590123412345",   "03600029145",      "0123456",     "0123456",      "12",          "52495",       "0123456789",
    "0123456789012",  "0101234567890128",
};

void EncodeAndMeasure(benchmark::State& state, TBarType type, const std::string& text, TCheckSum cs)
{
    std::string caption, lineCodes;
    for (auto _ : state) {
        double ratio = 2.0;
        caption = text;
        MakeLineCodes(type, text, 1, ratio, cs, caption, lineCodes);
        benchmark::DoNotOptimize(lineCodes.data());
        benchmark::DoNotOptimize(Q_GetBarWidth(type, text, 1, ratio, cs));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_EncodeEAN13(benchmark::State& state)
{
    EncodeAndMeasure(state, bcCodeEAN13, "590123412345", csModulo10);
}
BENCHMARK(BM_EncodeEAN13);

void BM_EncodeCode128B(benchmark::State& state)
{
    EncodeAndMeasure(state, bcCode128B, "Hello, World! 16", csNone);
}
BENCHMARK(BM_EncodeCode128B);

void BM_EncodeEverySymbology(benchmark::State& state)
{
    const auto type = static_cast<TBarType>(state.range(0));
    state.SetLabel(BCData[type].Name);
    EncodeAndMeasure(state, type, kTypicalText[type], csModulo10);
}
BENCHMARK(BM_EncodeEverySymbology)->DenseRange(0, BarTypeCount - 1);

} // namespace
