#pragma once
// Connects the program's diagnostic reports to the Qt logging category
// "zuviruzozozad.diagnostics": silent by default, shown with
// QT_LOGGING_RULES="zuviruzozozad.diagnostics.info=true".

void InstallQtDiagnostics();
