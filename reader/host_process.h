#pragma once
// A running reader host and the tool's end of its channel, per platform.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

class HostProcess
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Io {
        Ok,
        Closed,   // the host is gone or the channel broke
        TimedOut, // the deadline passed first
    };

    // Starts `program` (a UTF-8 path) for `library` with the host's end of a
    // fresh channel as the only thing it inherits besides, on POSIX, the
    // standard streams. Null, with the system's reason in `error`, when it
    // cannot be started.
    static std::unique_ptr<HostProcess> Start(const std::string& program,
                                              const std::string& library, std::string& error);

    // Ends the host and waits for it to be gone.
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Sends or receives exactly `size` bytes before `deadline`. One thread at a time.
    Io Send(const void* data, std::size_t size, Clock::time_point deadline);
    Io Receive(void* data, std::size_t size, Clock::time_point deadline);

    // Breaks the channel from any thread, so that a Send or Receive under way,
    // and any later one, returns Closed at once.
    void Interrupt();

    // The host's process id, for tests.
    long Id() const;

private:
    HostProcess() = default;
    struct Handles;
    std::unique_ptr<Handles> m_handles;
};
