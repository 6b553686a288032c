#include "app/single_instance.h"

#include <windows.h>

#include "card/gbk.h"

SingleInstance::SingleInstance(const std::string& name)
{
    m_signalName = name;
    // A named mutex with initial ownership. The first copy keeps its handle
    // for its whole life; Windows releases it when the process ends.
    const std::string gbkName = Utf8ToGbk(name);
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, gbkName.c_str());
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_anotherIsRunning = true;
        ::CloseHandle(mutex);
    }
}
