#include "base/diagnostics.h"

#include <string>
#include <windows.h>

namespace {

void debugOutput(DiagArea area, std::string_view message)
{
    const std::string line =
        std::string("zuviruzozozad: ") + DiagAreaName(area) + ": " + std::string(message) + "\n";
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                        nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                              n);
    ::OutputDebugStringW(wide.c_str());
}

} // namespace

void InstallDebugOutputDiagnostics()
{
    SetDiagnosticSink(debugOutput);
}
