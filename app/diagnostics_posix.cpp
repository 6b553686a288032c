#include "app/diagnostics.h"

void InstallDebugOutputDiagnostics()
{
    // No debugger output here; the windows connect their own sink.
}
