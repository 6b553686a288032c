#include "base/single_instance.h"

#include <string>
#include <windows.h>

namespace {
std::wstring utf8ToWide(const std::string& text)
{
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n > 0 ? n : 0, L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              n);
    return wide;
}
} // namespace

SingleInstance::SingleInstance(const std::string& name)
{
    m_signalName = name;
    // A named mutex with initial ownership. The first copy keeps its handle
    // for its whole life; Windows releases it when the process ends.
    // The wide call gives the mutex exactly the instance name's characters.
    // The narrow call with the name's GBK bytes gives the same name on a
    // Chinese system, but a garbled one wherever the ANSI code page is not
    // 936, and a copy started there could miss another started elsewhere.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, utf8ToWide(name).c_str());
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_anotherIsRunning = true;
        ::CloseHandle(mutex);
    }
}
