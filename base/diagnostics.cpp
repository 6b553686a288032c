#include "base/diagnostics.h"

#include <atomic>

namespace {
std::atomic<DiagnosticSink> g_sink{nullptr};
} // namespace

const char* DiagAreaName(DiagArea area)
{
    switch (area) {
    case DiagArea::Settings:
        return "settings";
    case DiagArea::Photo:
        return "photo";
    case DiagArea::Status:
        return "status";
    case DiagArea::ReadPass:
        return "read-pass";
    case DiagArea::Library:
        return "library";
    }
    return "other";
}

void SetDiagnosticSink(DiagnosticSink sink)
{
    g_sink = sink;
}

void ReportDiagnostic(DiagArea area, std::string_view message)
{
    if (const DiagnosticSink sink = g_sink.load())
        sink(area, message);
}
