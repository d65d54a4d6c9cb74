// The barcode widget: every property change repaints a 300 x 100 widget with
// a lowered bevel, a border band and a caption into an image of its size,
// beside the control alone (here with the widget's EAN-13 settings, and
// bench_control.cpp built into this program too) so they compare in one run.
#include "bench_control.h"
#include "qbarcode/qbbarcode.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace qb;

namespace {

// The widget as the control's benchmark sets the control up, with EAN-13.
void SetUp(QbBarCode& w)
{
    w.resize(300, 100);
    w.setBorderWidth(2);
    w.setBevelInner(QbBarCode::bvLowered);
    w.setBarType(QbBarCode::bcCodeEAN13);
    w.setTextShow(QbBarCode::tsBarCode);
}

const QString kTexts[2] = {QStringLiteral("4006381333931"), QStringLiteral("5901234123457")};

// The repaint as Qt runs it: QWidget::render sends the widget a paint event,
// which paints through the widget's own QPainter (here by a copy of the
// control's raster).
void BM_QbBarCodePropertyChange(benchmark::State& state)
{
    QbBarCode w;
    SetUp(w);
    QImage image(w.size(), QImage::Format_RGB32);
    int n = 0;
    for (auto _ : state) {
        w.setBarCode(kTexts[++n & 1]);
        w.render(&image);
    }
    if (!w.lastError().isEmpty())
        state.SkipWithError(w.lastError().toStdString().c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QbBarCodePropertyChange);

// The same change on a window at two device pixels per pixel: no copy of the
// control's raster serves there, the control paints through the painter.
void BM_QbBarCodePropertyChangeHiDpi(benchmark::State& state)
{
    QbBarCode w;
    SetUp(w);
    QImage image(w.size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    int n = 0;
    for (auto _ : state) {
        w.setBarCode(kTexts[++n & 1]);
        w.render(&image);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QbBarCodePropertyChangeHiDpi);

// The same change painted through QbBarCode::paint alone, without the paint
// event: the difference is what Qt's render path adds.
void BM_QbBarCodePropertyChangePaint(benchmark::State& state)
{
    QbBarCode w;
    SetUp(w);
    QImage image(w.size(), QImage::Format_RGB32);
    int n = 0;
    for (auto _ : state) {
        w.setBarCode(kTexts[++n & 1]);
        QPainter painter(&image);
        w.paint(painter);
    }
    if (!w.lastError().isEmpty())
        state.SkipWithError(w.lastError().toStdString().c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QbBarCodePropertyChangePaint);

// The control alone with the widget's settings: what the widget adds to the
// control's own repaint.
void BM_BarCodePropertyChangeEAN13(benchmark::State& state)
{
    qbbench::BarCodePropertyChange(state, bcCodeEAN13, kTexts[0].toStdString(), kTexts[1].toStdString());
}
BENCHMARK(BM_BarCodePropertyChangeEAN13);

} // namespace

// One application for every benchmark, on the offscreen platform unless the
// environment names another.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
