#pragma once
// One road for the failures the program absorbs: a settings file that cannot
// be read or written, a photo that cannot be decoded, a status that could not
// be delivered, an unforeseen error in a read pass, a reader library that did
// not load. The operator still sees only the windows; these reports go to
// the one sink the program connects (a Qt logging category on Linux, the
// debugger's output on Windows), and nowhere when none is connected.

#include <string_view>

// Where a report comes from.
enum class DiagArea {
    Settings,
    Photo,
    Status,
    ReadPass,
    Library,
};

// The name of an area in reports: "settings", "photo", "status", "read-pass",
// "library".
const char* DiagAreaName(DiagArea area);

// Receives every report; called on the thread that reports. Set once at
// start, before the reading thread runs.
using DiagnosticSink = void (*)(DiagArea area, std::string_view message);
void SetDiagnosticSink(DiagnosticSink sink);

void ReportDiagnostic(DiagArea area, std::string_view message);

#ifdef _WIN32
// The Windows sink: each report as one line of debugger output
// (OutputDebugStringW).
void InstallDebugOutputDiagnostics();
#endif
