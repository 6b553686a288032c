#include <gtest/gtest.h>
#include <windows.h>

#include "base/single_instance.h"

namespace {

TEST(Win32NamedMutex, ALaterInstanceSeesTheFirst)
{
    const std::string name = "zuvi-test-instance-" + std::to_string(::GetCurrentProcessId());
    const SingleInstance first(name);
    EXPECT_FALSE(first.anotherIsRunning());
    const SingleInstance second(name);
    EXPECT_TRUE(second.anotherIsRunning());
}

TEST(Win32NamedMutex, TheMutexBearsTheInstanceNameWhateverTheAnsiCodePage)
{
    const SingleInstance first;
    // Another test program may hold it (a parallel run); that is no fault.
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, L"非接触IC卡阅读器TAVRO测试程序");
    EXPECT_NE(mutex, nullptr) << "error " << ::GetLastError();
    std::printf("[win32] named mutex \"%s\": %s (ANSI code page %u)\n", kInstanceName,
                mutex ? "found by its Unicode name" : "not found", ::GetACP());
    if (mutex)
        ::CloseHandle(mutex);
    // On a Chinese system the narrow call with the GBK bytes names the same mutex.
    if (::GetACP() == 936) {
        HANDLE byGbk = ::OpenMutexA(SYNCHRONIZE, FALSE,
                                    "\xB7\xC7\xBD\xD3\xB4\xA5IC\xBF\xA8\xD4\xC4\xB6\xC1\xC6\xF7"
                                    "TAVRO\xB2\xE2\xCA\xD4\xB3\xCC\xD0\xF2");
        EXPECT_NE(byGbk, nullptr);
        if (byGbk)
            ::CloseHandle(byGbk);
    }
}

} // namespace
