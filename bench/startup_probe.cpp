// Start-up to the first painted main window: the program exactly as it
// starts (RunProgram: single-instance check, application, font substitutions,
// the reader library, the three windows) and with the program's own set of
// shared libraries. Prints two times in milliseconds since ZUVI_BENCH_T0_NS
// (CLOCK_REALTIME in ns, taken by the caller just before it started this
// process, so loading and linking count), or since main() when that is not
// set: to the window's first paint event, where its first drawing begins,
// and to the end of that first drawing, once the window and everything in it
// (the captions in their CJK fonts among it) is painted and handed to the
// display.
//
// Built a second time as hello_probe (ZUVI_HELLO_PROBE): a minimal Qt program
// linked against Qt Widgets alone, one label saying hello, measured the same
// way: the reference the program's start-up is held against, run beside it on
// the same display.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#ifndef ZUVI_HELLO_PROBE
#include "ui/qt/program.h"
#include "ui/qt/uMain.h"
#endif

namespace {

long long realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

long long g_t0 = 0;

double sinceStartMs()
{
    return double(realtimeNs() - g_t0) / 1e6;
}

class FirstPaint : public QObject
{
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_firstPaint < 0) {
            m_firstPaint = sinceStartMs();
            // Queued: runs once the event loop is back, after the window's
            // children are painted and the frame is flushed to the display.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    std::printf("%.1f %.1f\n", m_firstPaint, sinceStartMs());
                    std::fflush(stdout);
                    std::_Exit(0);
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    double m_firstPaint = -1;
};

} // namespace

int main(int argc, char** argv)
{
    const char* t0Text = std::getenv("ZUVI_BENCH_T0_NS");
    g_t0 = t0Text ? std::atoll(t0Text) : realtimeNs();
#ifdef ZUVI_HELLO_PROBE
    QApplication app(argc, argv);
    FirstPaint probe;
    auto* hello = new QLabel(QStringLiteral("Hello, world"));
    hello->installEventFilter(&probe);
    hello->show();
    return app.exec();
#else
    return RunProgram(argc, argv,
                      [](Tform_Main* form_Main) { form_Main->installEventFilter(new FirstPaint); });
#endif
}
