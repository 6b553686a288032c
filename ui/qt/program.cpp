// The program: one running copy at a time, the three windows, the message
// loop, and an exit that never waits for the reading thread.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#else
#include <QSocketNotifier>
#include <unistd.h>
#endif

#include "base/exe_dir.h"
#include "base/single_instance.h"
#include "reader/termb_loader.h"
#include "state/settings.h"
#include "ui/qt/diagnostics_qt.h"
#include "ui/qt/program.h"
#include "ui/qt/uMain.h"

namespace {

void bringToFront(QWidget* window)
{
    window->show();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}

#ifdef _WIN32
// The Qt build for Windows (the Win32 program has its own single instance)
// keeps Qt's local sockets; elsewhere a plain Unix socket does, so that Qt
// Network and the libraries behind it are never loaded.
void askRunningCopyToShow(const SingleInstance& instance)
{
    QLocalSocket socket;
    socket.connectToServer(QFile::decodeName(instance.signalName().c_str()));
    if (socket.waitForConnected(500)) {
        socket.write("show\n");
        socket.waitForBytesWritten(500);
        socket.disconnectFromServer();
    }
}

void listenForLaterCopies(const SingleInstance& instance, QWidget* window)
{
    const QString name = QFile::decodeName(instance.signalName().c_str());
    auto* server = new QLocalServer(window);
    QLocalServer::removeServer(name);
    if (!server->listen(name))
        return;
    QObject::connect(server, &QLocalServer::newConnection, window, [=] {
        while (QLocalSocket* peer = server->nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            bringToFront(window);
        }
    });
}
#else
void askRunningCopyToShow(const SingleInstance& instance)
{
    instance.askRunningCopyToShow();
}

void listenForLaterCopies(const SingleInstance& instance, QWidget* window)
{
    const int listener = instance.listenForLaterCopies();
    if (listener < 0)
        return;
    auto* notifier = new QSocketNotifier(listener, QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [=] {
        while (SingleInstance::takeShowRequest(listener))
            bringToFront(window);
    });
}
#endif

} // namespace

int RunProgram(int argc, char** argv, void (*onWindowCreated)(Tform_Main*))
{
    // Held for the whole run; the system releases it when the process ends.
    static SingleInstance instance;
    if (instance.anotherIsRunning()) {
        // No window and no display needed: only the running copy shows itself.
        QCoreApplication app(argc, argv);
        askRunningCopyToShow(instance);
        return 0;
    }

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 always scales windows by the screen's full scale factor; 5.15 must
    // be told to, or on a scaled Windows desktop the fonts grow while the
    // fixed window geometry does not.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
    QApplication app(argc, argv);
    InstallQtDiagnostics();
    InstallFontSubstitutions();
#ifndef _WIN32
    // Settings and photo files live beside the executable. Started from a
    // directory the user cannot write to (an install in /usr/bin), nothing
    // would be saved: say so, and how to run a copy that can save.
    if (::access(ExeDir().c_str(), W_OK) != 0)
        std::fprintf(stderr,
                     "zuviruzozozad: %s is not writable, so settings (config.ini) and photos "
                     "(zp.wlt, zp.bmp) cannot be saved; start zuviruzozozad-user to run a "
                     "per-user copy.\n",
                     ExeDir().c_str());
#endif

    // The reader library runs in a reader host unless TERMB_IN_PROCESS=1 or
    // no host program is there; decided here, on the thread that lives as
    // long as the program, which is the one a host started now dies with.
    LoadSettings(); // the call deadline, before the library loads
    SetUpWindowedReaderHosting();
    const ReaderLibrary reader = LoadReaderLibraryOrVirtual();
    Tform_Main* form_Main =
        CreateWindows(reader.library, reader.standsIn ? &reader.missing : nullptr);

    // Our lock is held, so a socket file left by a crashed copy is stale.
    listenForLaterCopies(instance, form_Main);

    if (onWindowCreated)
        onWindowCreated(form_Main);

    form_Main->show();
    const int code = app.exec();
    // The reading thread is never joined: it may sit in a reader call or wait
    // for a status that will not be handled any more. Ending here, without
    // running destructors, leaves nothing to race with it.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
