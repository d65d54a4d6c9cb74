// Drawing speed: Q_DrawBar onto a bitmap, and whole image files written the
// way `qbarcode draw --batch` writes them.
#include "qbarcode/qbarcode.h"
#include "render.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace qb;

namespace {

void DrawOnBitmap(benchmark::State& state, TBarType type, const std::string& text, TCheckSum cs)
{
    TBitmap bitmap(300, 80);
    TFont font;
    for (auto _ : state)
        Q_DrawBar(bitmap.Canvas(), type, text, 2, 2.0, cs, 10, 10, 50, &font, tsBarCode, tpBottomCenter, clBlack,
                  clWhite, clWhite, 0);
    state.SetItemsProcessed(state.iterations());
}

void BM_DrawEAN13(benchmark::State& state)
{
    DrawOnBitmap(state, bcCodeEAN13, "590123412345", csModulo10);
}
BENCHMARK(BM_DrawEAN13);

void BM_DrawCode128B(benchmark::State& state)
{
    DrawOnBitmap(state, bcCode128B, "Hello, World! 16", csNone);
}
BENCHMARK(BM_DrawCode128B);

// Files go to the memory file system when there is one: the disk would
// measure itself, not the drawing.
std::filesystem::path OutputDir()
{
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    auto dir = base / ("qb-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

void WriteFiles(benchmark::State& state, const char* extension)
{
    const auto dir = OutputDir();
    BarcodeStyle style;
    style.symbology.type = bcCodeEAN13;
    style.checksum = csModulo10;
    TFont font;
    MakeFont(style, font);
    long long n = 0;
    for (auto _ : state) {
        std::string name = std::to_string(n++ % 1000);
        name.insert(0, 1, 'f'); // not "f" + ...: GCC 12 warns falsely about that at -O3 (-Wrestrict)
        RenderBarcodeFile(style, font, "590123412345", (dir / (name + extension)).string());
    }
    std::filesystem::remove_all(dir);
    state.SetItemsProcessed(state.iterations());
}

void BM_WritePngFiles(benchmark::State& state)
{
    WriteFiles(state, ".png");
}
BENCHMARK(BM_WritePngFiles);

void BM_WriteSvgFiles(benchmark::State& state)
{
    WriteFiles(state, ".svg");
}
BENCHMARK(BM_WriteSvgFiles);

} // namespace
