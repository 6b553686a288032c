// zuviruzozozad-reader-host.exe --channel <handle> --parent <process id> <library>
//
// Loads the reader library, says how that went, then answers one request at
// a time on its channel, the one handle it inherits, until the tool closes
// it. A program without a console or a window of its own, so starting it
// flashes nothing on the screen. It lives no longer than the tool: the job
// the tool puts it in ends it with the tool, and where there is no such job
// it watches the tool's process itself.

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "base/utf16.h"
#include "reader/dynlib.h"
#include "serve.h"

namespace {

class PipeEnd : public HostChannelEnd
{
public:
    explicit PipeEnd(HANDLE pipe) : m_pipe(pipe) {}

protected:
    long ReadSome(void* data, std::size_t size) override
    {
        DWORD n = 0;
        return ::ReadFile(m_pipe, data, static_cast<DWORD>(size), &n, nullptr) ? long(n) : 0;
    }

    long WriteSome(const void* data, std::size_t size) override
    {
        DWORD n = 0;
        return ::WriteFile(m_pipe, data, static_cast<DWORD>(size), &n, nullptr) ? long(n) : 0;
    }

private:
    HANDLE m_pipe;
};

// A library that crashes ends the host at once: no error report window
// waits for a click meanwhile, which the tool could only take for a hang.
LONG WINAPI endAtOnce(EXCEPTION_POINTERS* exception)
{
    ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

void noErrorWindows()
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(endAtOnce);
    // abort() in a program with no console shows a message box otherwise.
    _set_error_mode(_OUT_TO_STDERR);
}

DWORD WINAPI endWithParent(void* parent)
{
    ::WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return 0;
}

// False when the tool is gone already. The id is taken for the tool only if
// that process started before this one: an id is reused once its process
// is gone.
bool watchParent(DWORD id)
{
    HANDLE parent = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!parent)
        return ::GetLastError() != ERROR_INVALID_PARAMETER; // else: no right to, the job alone
    FILETIME parentStart, ownStart, unused;
    if (::GetProcessTimes(parent, &parentStart, &unused, &unused, &unused) &&
        ::GetProcessTimes(::GetCurrentProcess(), &ownStart, &unused, &unused, &unused) &&
        ::CompareFileTime(&parentStart, &ownStart) > 0)
        return false;
    if (::WaitForSingleObject(parent, 0) == WAIT_OBJECT_0)
        return false;
    HANDLE watcher = ::CreateThread(nullptr, 64 * 1024, endWithParent, parent,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (watcher)
        ::CloseHandle(watcher);
    return true;
}

bool number(const wchar_t* text, unsigned long long& value)
{
    wchar_t* end = nullptr;
    value = std::wcstoull(text, &end, 10);
    return *text && end && *end == L'\0';
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    RestrictLibrarySearch();
    noErrorWindows();
    unsigned long long channel = 0, parent = 0;
    if (argc != 6 || std::wcscmp(argv[1], L"--channel") != 0 || !number(argv[2], channel) ||
        std::wcscmp(argv[3], L"--parent") != 0 || !number(argv[4], parent))
        return kHostExitUsage;
    const auto pipe = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(channel));
    if (::GetFileType(pipe) != FILE_TYPE_PIPE)
        return kHostExitUsage;
    if (!watchParent(static_cast<DWORD>(parent)))
        return 0;
    PipeEnd end(pipe);
    return ServeReaderLibrary(Utf8FromWide(argv[5]), end);
}
