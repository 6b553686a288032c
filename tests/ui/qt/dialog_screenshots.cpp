// Grabs the settings dialog and the about box to PNG files for a look at
// them: dialog_screenshots <directory>. Runs on any platform plugin; use
// QT_QPA_PLATFORM=offscreen without a display.

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "base/exe_dir.h"
#include "dialog_fonts.h"
#include "reader/serial_ports.h"
#include "ui/qt/SetForm.h"
#include "ui/qt/uAboutForm.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    substituteDialogFonts();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    // A made-up machine with three serial ports and no settings file yet.
    SetSerialPortSource([](std::vector<std::string>& names) {
        names = {"COM3", "COM12", "COM4"};
        return true;
    });
    SetExeDirOverride(out.absolutePath().toStdString());

    TSetFrm settings;
    settings.show();
    Tform_About about;
    about.show();
    app.processEvents();
    const bool ok = settings.grab().save(out.filePath("settings-dialog.png")) &&
                    about.grab().save(out.filePath("about-box.png"));
    return ok ? 0 : 1;
}
