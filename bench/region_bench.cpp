// The card view's cost per card: the photo's cut-out on a typical photo (a
// virtual reader card's portrait) and on a 102 x 126 photo whose every other
// pixel is the background colour (the most runs a photo of that size can
// have), and the whole ShowCardInfo with its photo.
#include <QApplication>
#include <QImage>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <benchmark/benchmark.h>

#include "card/card_info.h"
#include "present/card_view_model.h"
#include "sim/cards.h"
#include "sim/photo.h"
#include "ui/qt/card_view.h"
#include "ui/qt/photo_region.h"

namespace {

QImage checkerPhoto()
{
    QImage photo(102, 126, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, (x + y) % 2 ? qRgb(30, 40, 50) : qRgb(250, 250, 250));
    return photo;
}

// The bitmap file a card's photo becomes, as the reading thread writes it.
QByteArray cardBitmap(int card)
{
    const auto bmp = termbsim::BmpFromImage(
        termbsim::CardPhotoImage(termbsim::BuiltinCards()[std::size_t(card)]));
    return QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size()));
}

QImage cardPhoto(int card)
{
    return QImage::fromData(cardBitmap(card), "BMP");
}

void BM_PhotoRegion(benchmark::State& state)
{
    const QImage photo = checkerPhoto();
    // The view holds the last mask until the next one replaces it; holding
    // it here too keeps the allocator from handing its pages back to the
    // system every round, which would be measured instead of the cut-out.
    QRegion held;
    for (auto _ : state) {
        QRegion next = PhotoRegion(photo);
        held.swap(next);
        benchmark::DoNotOptimize(held);
    }
    state.counters["rects"] = PhotoRegion(photo).rectCount();
}
BENCHMARK(BM_PhotoRegion)->Unit(benchmark::kMicrosecond);

void BM_SetPhotoRegionTypical(benchmark::State& state)
{
    const QImage photos[] = {cardPhoto(0), cardPhoto(1)};
    QWidget panel;
    panel.resize(102, 126);
    int i = 0;
    for (auto _ : state)
        SetPhotoRegion(photos[i++ & 1], &panel);
    state.counters["rects"] = PhotoRegion(photos[0]).rectCount();
}
BENCHMARK(BM_SetPhotoRegionTypical)->Unit(benchmark::kMicrosecond);

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

// Two cards of the virtual reader, as records and as the bitmaps the reading
// thread keeps, so every round of the card view's benchmarks changes every
// label and the photo.
struct TwoCards
{
    QByteArray bitmaps[2];
    TIDCardInfo cards[2] = {};

    TwoCards()
    {
        for (int i = 0; i < 2; ++i) {
            bitmaps[i] = cardBitmap(i + 1);
            termbsim::CardImage image;
            std::string error;
            termbsim::BuildCardImage(termbsim::BuiltinCards()[std::size_t(i + 1)], image, error);
            DecodeBaseTextInto(cards[i], image.baseText.data());
            cards[i].FingerprintLength = kFingerprintSize;
        }
    }

    // Shows card i as the main window does.
    void show(CardView& view, int i) const
    {
        const QByteArray& bmp = bitmaps[i];
        const TCardKindInfo idCard{};
        view.ShowCardInfo(CardViewFor(cards[i], idCard, kCardViewSelector,
                                      reinterpret_cast<const unsigned char*>(bmp.constData()),
                                      std::size_t(bmp.size())));
    }
};

// The card view filled from a card record and its photo, as the main
// window does for every card read; with `painted`, also painted and handed to
// the screen (QT_QPA_PLATFORM=xcb paints for real on an X server): what the
// operator waits for before the card is on screen. A widget paints only once
// its window is exposed, so the rounds start only then.
void showCards(benchmark::State& state, bool painted)
{
    TwoCards input;
    CardView view;
    input.show(view, 1);
    for (int waited = 0; !(view.windowHandle() && view.windowHandle()->isExposed()); ++waited) {
        if (waited == 500) {
            state.SkipWithError("the view's window was never exposed");
            return;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    int i = 0;
    for (auto _ : state) {
        input.show(view, i & 1);
        if (painted)
            view.repaint();
        ++i;
    }
}

void BM_ShowCardInfo(benchmark::State& state)
{
    showCards(state, false);
}
BENCHMARK(BM_ShowCardInfo)->Unit(benchmark::kMicrosecond);

void BM_ShowCardInfoPainted(benchmark::State& state)
{
    showCards(state, true);
}
BENCHMARK(BM_ShowCardInfoPainted)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // Widgets need an application; no screen is needed to time a mask, but
    // the painted view may be timed on a real one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
