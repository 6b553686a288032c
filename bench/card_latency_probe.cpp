// From the read call returning to the card drawn on screen: the real main
// window with the virtual reader (TERMB_LIBRARY, TERMB_VIRTUAL_SCENARIO with
// cards coming and going), in continuous reading. For each card it takes the
// time from the moment the read call returned to the end of the first window
// update that painted the card view (painted and handed to the display
// server), and after ZUVI_BENCH_CARDS cards (default 40) prints the median,
// the 90th percentile and the maximum in milliseconds.
//
// In process by default; with --hosted the library runs in a reader host, as
// the program runs it by default: the host beside the probe or, in a build
// tree, the one built with it.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reader/termb_loader.h"
#include "ui/qt/uMain.h"

namespace {

using Clock = std::chrono::steady_clock;

TermbApi g_reader;
std::atomic<long long> g_readReturned{0}; // ns on Clock; 0 when none pending

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

int TERMB_CALL readBase(int port, unsigned char* text, unsigned int* textLen, unsigned char* photo,
                        unsigned int* photoLen, int reserved)
{
    const int result = g_reader.SDT_ReadBaseMsg(port, text, textLen, photo, photoLen, reserved);
    if (result == kTermbOk)
        g_readReturned = nowNs();
    return result;
}

int TERMB_CALL readBaseFP(int port, unsigned char* text, unsigned int* textLen,
                          unsigned char* photo, unsigned int* photoLen, unsigned char* fp,
                          int* fpLen, int reserved)
{
    const int result =
        g_reader.SDT_ReadBaseFPMsg(port, text, textLen, photo, photoLen, fp, fpLen, reserved);
    if (result == kTermbOk)
        g_readReturned = nowNs();
    return result;
}

class Probe : public QApplication
{
public:
    using QApplication::QApplication;
    QWidget* window = nullptr;
    QWidget* cardView = nullptr;
    bool cardPainted = false;
    std::vector<double> latencies;
    std::size_t wanted = 40;

    bool notify(QObject* receiver, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Paint && receiver == cardView && g_readReturned != 0)
            cardPainted = true;
        const bool result = QApplication::notify(receiver, event);
        if (type == QEvent::UpdateRequest && cardPainted) {
            cardPainted = false;
            latencies.push_back(double(nowNs() - g_readReturned.exchange(0)) / 1e6);
            if (latencies.size() == wanted)
                report();
        }
        return result;
    }

    void report()
    {
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) { return latencies[std::size_t(q * double(wanted - 1))]; };
        std::printf("%.2f %.2f %.2f\n", at(0.5), at(0.9), latencies.back());
        std::fflush(stdout);
        std::_Exit(0);
    }
};

} // namespace

int main(int argc, char** argv)
{
    Probe app(argc, argv);
    if (const char* n = std::getenv("ZUVI_BENCH_CARDS"))
        app.wanted = std::max(1, std::atoi(n));
    InstallFontSubstitutions();
    const bool hosted = app.arguments().contains(QStringLiteral("--hosted"));
    if (hosted) {
        // Set up on this thread, which lives as long as the calls.
        std::string program = FindReaderHostProgram();
        SetReaderHosting(ReaderHosting{program.empty() ? READER_HOST : program});
    }
    TermbLibrary library = LoadTermbLibrary();
    if (!library.loaded || hosted != (library.host != nullptr)) {
        std::fprintf(stderr, "card_latency_probe: the reader library did not load %s (%s)\n",
                     hosted ? "in a reader host" : "in process", library.error.c_str());
        return 1;
    }
    g_reader = library.api;
    library.api.SDT_ReadBaseMsg = readBase;
    library.api.SDT_ReadBaseFPMsg = readBaseFP;
    Tform_Main* form_Main = CreateWindows(library);
    app.window = form_Main;
    app.cardView = form_Main->findChild<QWidget*>(QStringLiteral("p_IDCardInfo"));
    form_Main->show();
    QTimer::singleShot(500, form_Main, [=] { form_Main->btn_CycleReadCardClick(); });
    QTimer::singleShot(120000, [] {
        std::fprintf(stderr, "card_latency_probe: too few cards in two minutes\n");
        std::_Exit(1);
    });
    return app.exec();
}
