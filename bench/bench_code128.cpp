// Code 128 and GS1-128 encoding, each paired with libzint's encoding of the
// same data when the build found libzint (QB_BENCH_ZINT). Ours writes the
// line codes, the symbol character values and the caption into a symbol it
// reuses; libzint writes its module rows and its human-readable text into the
// symbol structure it reuses.
#include "qbarcode/code128.h"
#include "qbarcode/gs1.h"

#include <benchmark/benchmark.h>

#ifdef QB_BENCH_ZINT
#include <zint.h>
#endif

#include <string>

using namespace qb;

namespace {

// Mixed text (letters, a digit run worth code set C, lower case), all digits,
// and Latin-1 with control characters and extended ones.
const char* const kTexts[] = {"ABC-123-xyz-4567890", "0123456789012345",
                              "Gr\xfc\xdf"
                              "e\tAus\xe9"
                              "12345"};

// A product (GTIN, expiry, batch) and a logistics label (SSCC, content,
// count, batch, expiry, order).
const char* const kGs1[] = {"(01)09501101530003(17)261231(10)AB-123",
                            "(00)106141411234567897(02)09501101530003(37)12(10)LOT-42(17)261231(400)PO-4711"};

void BM_Code128(benchmark::State& state)
{
    const std::string text = kTexts[state.range(0)];
    qb::Code128Symbol symbol;
    for (auto _ : state) {
        qb::EncodeCode128(text, symbol);
        benchmark::DoNotOptimize(symbol.LineCodes.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Code128)->DenseRange(0, 2);

void BM_GS1_128(benchmark::State& state)
{
    const std::string text = kGs1[state.range(0)];
    qb::Code128Symbol symbol;
    for (auto _ : state) {
        qb::EncodeGS1_128(text, symbol);
        benchmark::DoNotOptimize(symbol.LineCodes.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GS1_128)->DenseRange(0, 1);

#ifdef QB_BENCH_ZINT
void ZintEncode(benchmark::State& state, int symbology, int inputMode, const std::string& text)
{
    zint_symbol* symbol = ZBarcode_Create();
    for (auto _ : state) {
        ZBarcode_Clear(symbol);
        symbol->symbology = symbology;
        symbol->input_mode = inputMode;
        const int error =
            ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        if (error >= ZINT_ERROR) {
            state.SkipWithError(symbol->errtxt);
            break;
        }
        benchmark::DoNotOptimize(symbol->encoded_data);
    }
    ZBarcode_Delete(symbol);
    state.SetItemsProcessed(state.iterations());
}

void BM_Code128_Zint(benchmark::State& state)
{
    ZintEncode(state, BARCODE_CODE128, DATA_MODE, kTexts[state.range(0)]);
}
BENCHMARK(BM_Code128_Zint)->DenseRange(0, 2);

void BM_GS1_128_Zint(benchmark::State& state)
{
    ZintEncode(state, BARCODE_GS1_128, GS1_MODE | GS1PARENS_MODE, kGs1[state.range(0)]);
}
BENCHMARK(BM_GS1_128_Zint)->DenseRange(0, 1);
#endif

} // namespace
