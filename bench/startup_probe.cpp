// Start-up to the first painted main window: the program's start-up path
// (application, font substitutions, the reader library, the three windows),
// ending at the main window's first paint event. Prints the milliseconds since
// ZUVI_BENCH_T0_NS (CLOCK_REALTIME in ns, taken by the caller just before it
// started this process, so loading and linking count), or since main() when
// that is not set.
//
// With the argument "hello" it starts a minimal Qt program instead, one label
// saying hello, measured the same way: the reference the program's start-up
// is held against, run beside it on the same display.
#include <QApplication>
#include <QLabel>
#include <QEvent>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "reader/termb_loader.h"
#include "ui/qt/uMain.h"

namespace {

long long realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

class FirstPaint : public QObject
{
public:
    explicit FirstPaint(long long t0) : m_t0(t0) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            std::printf("%.1f\n", double(realtimeNs() - m_t0) / 1e6);
            std::fflush(stdout);
            std::_Exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    long long m_t0;
};

} // namespace

int main(int argc, char** argv)
{
    const char* t0Text = std::getenv("ZUVI_BENCH_T0_NS");
    const long long t0 = t0Text ? std::atoll(t0Text) : realtimeNs();
    QApplication app(argc, argv);
    FirstPaint probe(t0);
    if (argc > 1 && QByteArray(argv[1]) == "hello") {
        auto* hello = new QLabel(QStringLiteral("Hello, world"));
        hello->installEventFilter(&probe);
        hello->show();
        return app.exec();
    }
    InstallFontSubstitutions();
    Tform_Main* form_Main = CreateWindows(LoadTermbLibrary());
    form_Main->installEventFilter(&probe);
    form_Main->show();
    return app.exec();
}
