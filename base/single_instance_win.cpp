#include "base/single_instance.h"

#include <string>
#include <windows.h>

#include "base/utf16.h"

SingleInstance::SingleInstance(const std::string& name)
{
    m_signalName = name;
    // A named mutex with initial ownership. The first copy keeps its handle
    // for its whole life; Windows releases it when the process ends.
    // The wide call gives the mutex exactly the instance name's characters.
    // The narrow call with the name's GBK bytes gives the same name on a
    // Chinese system, but a garbled one wherever the ANSI code page is not
    // 936, and a copy started there could miss another started elsewhere.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, WideFromUtf8(name).c_str());
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_anotherIsRunning = true;
        ::CloseHandle(mutex);
    }
}
