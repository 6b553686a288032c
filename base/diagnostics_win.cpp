#include "base/diagnostics.h"

#include <string>
#include <windows.h>

#include "base/utf16.h"

namespace {

void debugOutput(DiagArea area, std::string_view message)
{
    const std::string line =
        std::string("zuviruzozozad: ") + DiagAreaName(area) + ": " + std::string(message) + "\n";
    ::OutputDebugStringW(WideFromUtf8(line).c_str());
}

} // namespace

void InstallDebugOutputDiagnostics()
{
    SetDiagnosticSink(debugOutput);
}
