#pragma once
// Keeps the tool to one running copy. The first copy holds a system-wide lock
// named after the instance name for its whole life; the system releases it
// when the process ends, however it ends, so a crashed copy never blocks the
// next start.

#include <string>

// The instance name, as UTF-8 source text (the lock uses it in GBK on Windows).
inline constexpr const char* kInstanceName = "非接触IC卡阅读器TAVRO测试程序";

class SingleInstance
{
public:
    // Takes the lock named `name` (UTF-8). Any failure other than "another
    // copy holds it" is ignored and this copy counts as the first.
    explicit SingleInstance(const std::string& name = kInstanceName);
    // Keeps the lock: it is released by the system when the process ends.
    ~SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another copy already held the lock.
    bool anotherIsRunning() const { return m_anotherIsRunning; }

    // The name under which the first copy listens for "show yourself" from a
    // later copy: a local socket path beside the lock on POSIX, the plain
    // instance name elsewhere.
    const std::string& signalName() const { return m_signalName; }

#ifndef _WIN32
    // The first copy: listens at signalName() for later copies, replacing a
    // socket file left by a copy that crashed (the lock says none runs).
    // Returns the listening descriptor, non-blocking and closed on exec, or
    // -1 when the socket cannot be made (later copies then just end).
    int listenForLaterCopies() const;
    // Takes one waiting request from a later copy off `listener`; false when
    // none is waiting. Each request means "come to the front".
    static bool takeShowRequest(int listener);
    // A later copy: asks the running one to come to the front. Never waits
    // for it: false when it cannot be reached at once.
    bool askRunningCopyToShow() const;
#endif

private:
    bool m_anotherIsRunning = false;
    std::string m_signalName;
};
