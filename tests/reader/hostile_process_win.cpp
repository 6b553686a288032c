#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "hostile_process.h"

void HangForever()
{
    for (;;)
        ::Sleep(INFINITE);
}

void ExitProcessNow()
{
    ::ExitProcess(0);
}

// The host finds its channel's handle on its command line, and so does this.
bool WriteToHostChannel(const void* data, std::size_t size)
{
    const wchar_t* option = std::wcsstr(::GetCommandLineW(), L" --channel ");
    if (!option)
        return false;
    const auto channel = reinterpret_cast<HANDLE>(
        static_cast<std::uintptr_t>(std::wcstoull(option + 11, nullptr, 10)));
    DWORD written = 0;
    return ::WriteFile(channel, data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}
