// Figures for the recorder's drawing: one scroll step of a 207 x 1000 pixel
// picture (it runs at every scroll interval, down to 50 ms, shown or not) and
// a redraw from memory with a full ring and 999 trigger marks (after each
// change of scale or size).
#include "recorder/XtPlotImage.h"
#include "recorder/XtRedrawPlan.h"
#include "recording/XtRecording.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {
constexpr float Xmin = -11.0f;
constexpr float Xmax = 11.0f;
constexpr int Width = 207;
constexpr int Height = 1000;

void ScrollStep(benchmark::State& state) {
    XtPlotImage image;
    image.resize(QSize(Width, Height));
    const auto columns = XtGeometry::gridColumns(Xmin, Xmax, Width);
    image.drawGrid(columns);
    for (auto _ : state) {
        image.scrollStep(columns);
        benchmark::DoNotOptimize(image.image().constBits());
    }
}
BENCHMARK(ScrollStep)->Unit(benchmark::kMicrosecond);

// A sine of 8 V over the last 10000 samples (40 ms apart, 1 s / DIV, so the
// trace fills the picture) and a trigger every `markEvery` samples: every 10
// puts about 125 marks on the picture, every sample all 999.
std::unique_ptr<XtRecording> fullRecording(int markEvery) {
    auto recording = std::make_unique<XtRecording>();
    for (int n = 0; n < 10500; ++n) {
        recording->addSample(n * 40, static_cast<float>(8.0 * std::sin(n / 25.0)));
        if (n % markEvery == 0)
            recording->addMark(n * 40, n / 10);
    }
    return recording;
}

void PlotXt(benchmark::State& state) {
    const auto recording = fullRecording(static_cast<int>(state.range(0)));
    XtPlotImage image;
    image.resize(QSize(Width, Height));
    const auto columns = XtGeometry::gridColumns(Xmin, Xmax, Width);
    for (auto _ : state) {
        image.drawGrid(columns);
        image.drawPlan(XtRedrawPlan::make(*recording, Xmin, Xmax, Width, 50));
        benchmark::DoNotOptimize(image.image().constBits());
    }
}
BENCHMARK(PlotXt)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the marks' labels need fonts
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
