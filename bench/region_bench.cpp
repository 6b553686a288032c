// The photo's cut-out on a 102 x 126 photo whose every other pixel is the
// background colour: the most runs a photo of that size can have.
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <benchmark/benchmark.h>

#include "ui/photo_region.h"

namespace {

QImage checkerPhoto()
{
    QImage photo(102, 126, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, (x + y) % 2 ? qRgb(30, 40, 50) : qRgb(250, 250, 250));
    return photo;
}

void BM_PhotoRegion(benchmark::State& state)
{
    const QImage photo = checkerPhoto();
    for (auto _ : state)
        benchmark::DoNotOptimize(photoRegion(photo));
    state.counters["rects"] = photoRegion(photo).rectCount();
}
BENCHMARK(BM_PhotoRegion)->Unit(benchmark::kMicrosecond);

// With the mask handed to a widget, as the card view does; alternating two
// photos so that every round really sets a new mask.
void BM_SetPhotoRegion(benchmark::State& state)
{
    const QImage photos[] = {checkerPhoto(), checkerPhoto().mirrored(true, false)};
    QWidget panel;
    panel.resize(102, 126);
    int i = 0;
    for (auto _ : state)
        SetPhotoRegion(photos[i++ & 1], &panel);
}
BENCHMARK(BM_SetPhotoRegion)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // Widgets need an application; no screen is needed to time a mask.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
