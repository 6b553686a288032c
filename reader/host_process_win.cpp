#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "base/diagnostics.h"
#include "base/utf16.h"
#include "reader/host_process.h"

// The channel is a named pipe with one instance. The tool holds the server
// end, opened for overlapped I/O so that every transfer can be waited for
// with a deadline and abandoned; the host gets the client end, the only
// handle it inherits.
struct HostProcess::Handles
{
    HANDLE process = nullptr;
    DWORD id = 0;
    HANDLE channel = INVALID_HANDLE_VALUE;
    HANDLE transferred = nullptr; // the overlapped transfers' event
    HANDLE interrupted = nullptr; // set by Interrupt(), never reset

    ~Handles()
    {
        for (HANDLE h : {process, channel, transferred, interrupted})
            if (h && h != INVALID_HANDLE_VALUE)
                ::CloseHandle(h);
    }
};

namespace {

std::string systemError(const char* call)
{
    return std::string(call) + " failed with error " + std::to_string(::GetLastError());
}

// One job for all the hosts of this process. Its handle is never closed:
// the system closes it when the tool ends, however it ends, and the job's
// limit then ends every host in it, even one inside a call that never
// returns. A host that crashes in it dies at once instead of waiting on an
// error report's window.
HANDLE hostJob()
{
    static const HANDLE job = [] {
        HANDLE j = ::CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
        if (j && !::SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits,
                                            sizeof limits)) {
            ::CloseHandle(j);
            j = nullptr;
        }
        if (!j)
            ReportDiagnostic(DiagArea::Library, systemError("creating the reader hosts' job"));
        return j;
    }();
    return job;
}

// An argument as the C runtime's parser reads it back: quoted, with the
// backslashes before a quote, or before the closing quote, doubled.
std::wstring quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// A pipe name that no other pipe has: this process's id and a count. The
// first instance and a single one, so a pipe of that name made by anyone
// else fails the creation, and once the tool has connected its client end
// nobody else can connect.
HANDLE createChannel(std::wstring& name)
{
    static std::atomic<unsigned> count{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        name = L"\\\\.\\pipe\\zuviruzozozad-reader-host-" +
               std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(count++) + L"-" +
               std::to_wstring(now.QuadPart);
        constexpr DWORD kBuffer = 64 * 1024;
        HANDLE pipe = ::CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
            kBuffer, kBuffer, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_ACCESS_DENIED)
            return pipe;
    }
    return INVALID_HANDLE_VALUE;
}

// The client end, inheritable so that it can be handed to the host; closed
// by the tool as soon as the host holds its copy.
HANDLE connectClient(HANDLE server, const std::wstring& name)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE client = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inheritable,
                                  OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE)
        return client;
    OVERLAPPED connected{};
    connected.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool ok = connected.hEvent && (::ConnectNamedPipe(server, &connected) ||
                                         ::GetLastError() == ERROR_PIPE_CONNECTED);
    if (connected.hEvent)
        ::CloseHandle(connected.hEvent);
    if (!ok) {
        ::CloseHandle(client);
        return INVALID_HANDLE_VALUE;
    }
    return client;
}

// Starts the host suspended with `inherit` as the only handle it inherits;
// no standard handles, no window, no busy cursor.
bool createHost(const std::wstring& program, std::wstring commandLine, HANDLE inherit,
                PROCESS_INFORMATION& started, std::string& error)
{
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string storage(size, '\0');
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        error = systemError("InitializeProcThreadAttributeList");
        return false;
    }
    bool ok = ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                          &inherit, sizeof inherit, nullptr, nullptr);
    if (!ok) {
        error = systemError("UpdateProcThreadAttribute");
    } else {
        STARTUPINFOEXW info{};
        info.StartupInfo.cb = sizeof info;
        info.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_FORCEOFFFEEDBACK;
        info.lpAttributeList = attributes;
        ok = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                              CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT,
                              nullptr, nullptr, &info.StartupInfo, &started);
        if (!ok)
            error = systemError("CreateProcessW");
    }
    ::DeleteProcThreadAttributeList(attributes);
    return ok;
}

} // namespace

std::unique_ptr<HostProcess> HostProcess::Start(const std::string& program,
                                                const std::string& library, std::string& error)
{
    auto handles = std::make_unique<Handles>();
    std::wstring name;
    handles->channel = createChannel(name);
    if (handles->channel == INVALID_HANDLE_VALUE) {
        error = systemError("CreateNamedPipeW");
        return nullptr;
    }
    handles->transferred = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    handles->interrupted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!handles->transferred || !handles->interrupted) {
        error = systemError("CreateEventW");
        return nullptr;
    }
    HANDLE client = connectClient(handles->channel, name);
    if (client == INVALID_HANDLE_VALUE) {
        error = systemError("connecting the reader host's channel");
        return nullptr;
    }

    const std::wstring path = WideFromUtf8(program);
    const std::wstring commandLine =
        quoted(path) + L" --channel " +
        std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(client))) +
        L" --parent " + std::to_wstring(::GetCurrentProcessId()) + L" " +
        quoted(WideFromUtf8(library));
    PROCESS_INFORMATION started{};
    const bool ok = createHost(path, commandLine, client, started, error);
    ::CloseHandle(client);
    if (!ok)
        return nullptr;
    // Into the job before it runs a single instruction. Where the system
    // refuses (a tool itself in a job that allows no other, on Windows
    // before 8), the host still ends with the tool: it watches the tool's
    // process itself.
    if (HANDLE job = hostJob(); job && !::AssignProcessToJobObject(job, started.hProcess))
        ReportDiagnostic(DiagArea::Library, systemError("putting the reader host in its job"));
    ::ResumeThread(started.hThread);
    ::CloseHandle(started.hThread);
    handles->process = started.hProcess;
    handles->id = started.dwProcessId;

    std::unique_ptr<HostProcess> host(new HostProcess);
    host->m_handles = std::move(handles);
    return host;
}

HostProcess::~HostProcess()
{
    // Ended, it is gone once its threads have left the calls they are in;
    // only a driver call that does not return keeps this waiting.
    ::TerminateProcess(m_handles->process, 1);
    ::WaitForSingleObject(m_handles->process, INFINITE);
}

namespace {

// Reads or writes up to `size` bytes, waiting until `deadline`; `done` is
// what was moved. A transfer that is cut short is cancelled and waited for,
// as the system writes to `data` and `overlapped` until it has ended.
HostProcess::Io transfer(HANDLE channel, HANDLE event, HANDLE interrupted, bool write, char* data,
                         DWORD size, HostProcess::Clock::time_point deadline, DWORD& done)
{
    if (::WaitForSingleObject(interrupted, 0) == WAIT_OBJECT_0)
        return HostProcess::Io::Closed;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    const BOOL started = write ? ::WriteFile(channel, data, size, nullptr, &overlapped)
                               : ::ReadFile(channel, data, size, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return HostProcess::Io::Closed; // the host closed its end
    const HANDLE events[] = {event, interrupted};
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - HostProcess::Clock::now())
                .count();
        const DWORD waited = left <= 0
                                 ? WAIT_TIMEOUT
                                 : ::WaitForMultipleObjects(
                                       2, events, FALSE,
                                       static_cast<DWORD>(std::min<long long>(left, INFINITE - 1)));
        if (waited == WAIT_OBJECT_0) {
            if (!::GetOverlappedResult(channel, &overlapped, &done, FALSE) || done == 0)
                return HostProcess::Io::Closed;
            return HostProcess::Io::Ok;
        }
        // The system's timer may end the wait a little before the steady
        // clock reaches the deadline: then it is waited again.
        if (waited == WAIT_TIMEOUT && left > 0)
            continue;
        ::CancelIoEx(channel, &overlapped);
        ::GetOverlappedResult(channel, &overlapped, &done, TRUE);
        return waited == WAIT_TIMEOUT ? HostProcess::Io::TimedOut : HostProcess::Io::Closed;
    }
}

HostProcess::Io transferAll(HANDLE channel, HANDLE event, HANDLE interrupted, bool write,
                            char* data, std::size_t size, HostProcess::Clock::time_point deadline)
{
    while (size > 0) {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        const HostProcess::Io io =
            transfer(channel, event, interrupted, write, data, chunk, deadline, done);
        if (io != HostProcess::Io::Ok)
            return io;
        data += done;
        size -= done;
    }
    return HostProcess::Io::Ok;
}

} // namespace

HostProcess::Io HostProcess::Send(const void* data, std::size_t size, Clock::time_point deadline)
{
    return transferAll(m_handles->channel, m_handles->transferred, m_handles->interrupted, true,
                       static_cast<char*>(const_cast<void*>(data)), size, deadline);
}

HostProcess::Io HostProcess::Receive(void* data, std::size_t size, Clock::time_point deadline)
{
    return transferAll(m_handles->channel, m_handles->transferred, m_handles->interrupted, false,
                       static_cast<char*>(data), size, deadline);
}

void HostProcess::Interrupt()
{
    // The transfer under way sees the event and cancels itself; the handles
    // stay open until the destructor, so no other thread meets one reused.
    ::SetEvent(m_handles->interrupted);
}

long HostProcess::Id() const
{
    return static_cast<long>(m_handles->id);
}
