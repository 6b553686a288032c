// The program as the end-to-end tests and the screenshot script run it: the
// shipping program, plus a dump of what its main window shows, written to
// the file ZUVI_UI_DUMP names whenever the window changes, so the tests read
// the window without scraping pixels.

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>

#include "ui/qt/program.h"
#include "ui/qt/uMain.h"

namespace {

QString widgetText(const QWidget* w)
{
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return w->isWindow() ? w->windowTitle() : QString();
}

// Writes one line per named widget of `window`: name, visible, enabled and
// text, tab-separated. Replaced whole on every write so that a reader never
// sees half a file. Only used when ZUVI_UI_DUMP names the file (end-to-end
// tests read what the window shows without scraping pixels).
void dumpWindow(const QWidget* window, const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    QList<const QWidget*> widgets{window};
    for (const QWidget* w : window->findChildren<QWidget*>())
        widgets << w;
    for (const QWidget* w : widgets) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QString text = widgetText(w);
        text.replace(QLatin1Char('\n'), QLatin1String("\\n")).remove(QLatin1Char('\r'));
        const QString line = QStringLiteral("%1\t%2\t%3\t%4\n")
                                 .arg(w->objectName())
                                 .arg(w->isVisible() ? 1 : 0)
                                 .arg(w->isEnabled() ? 1 : 0)
                                 .arg(text);
        out.write(line.toUtf8());
    }
    out.commit();
}

} // namespace

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, [](Tform_Main* form_Main) {
        const QString dumpFile = qEnvironmentVariable("ZUVI_UI_DUMP");
        if (dumpFile.isEmpty())
            return;
        QObject::connect(form_Main, &Tform_Main::viewChanged, form_Main,
                         [=] { dumpWindow(form_Main, dumpFile); });
        QTimer::singleShot(0, form_Main, [=] { dumpWindow(form_Main, dumpFile); });
    });
}
