#include "ui/qt/diagnostics_qt.h"

#include <QLoggingCategory>
#include <QString>

#include "base/diagnostics.h"

namespace {

// Warnings and above only by default, and nothing is reported above info.
Q_LOGGING_CATEGORY(lcDiagnostics, "zuviruzozozad.diagnostics", QtWarningMsg)

void toCategory(DiagArea area, std::string_view message)
{
    qCInfo(lcDiagnostics, "%s: %s", DiagAreaName(area),
           QString::fromUtf8(message.data(), static_cast<int>(message.size()))
               .toLocal8Bit()
               .constData());
}

} // namespace

void InstallQtDiagnostics()
{
    SetDiagnosticSink(toCategory);
}
