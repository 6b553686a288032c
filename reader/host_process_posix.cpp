#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "reader/host_process.h"

// The file descriptor on which the host finds its end of the channel.
static constexpr int kHostChannelFd = 3;

struct HostProcess::Handles
{
    pid_t pid = -1;
    int channel = -1;
};

namespace {

// In the child between fork and exec, where only async-signal-safe calls may
// be made: every descriptor above the channel's becomes close-on-exec, so the
// host inherits none of the tool's files, sockets or pipes, whoever opened
// them and however.
void closeOthersOnExec()
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, kHostChannelFd + 1, ~0U, 4 /* CLOSE_RANGE_CLOEXEC */) == 0)
        return;
#endif
    for (int fd = kHostChannelFd + 1; fd < 65536; ++fd)
        close(fd);
}

} // namespace

std::unique_ptr<HostProcess> HostProcess::Start(const std::string& program,
                                                const std::string& library, std::string& error)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        return nullptr;
    }
    // Everything the child needs is made before fork: a thread of another
    // part of the tool may hold the allocator's lock at that moment.
    const std::string parent = std::to_string(getpid());
    const char* argv[] = {program.c_str(), "--parent", parent.c_str(), library.c_str(), nullptr};
    const pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(pair[0]);
        close(pair[1]);
        return nullptr;
    }
    if (pid == 0) {
        // dup2 clears close-on-exec on the copy. The standard streams go
        // nowhere: the host inherits nothing of the tool's but its channel,
        // so what the library (or a sanitizer in it) prints can never land in
        // the console program's output or its one line of error.
        if (dup2(pair[1], kHostChannelFd) < 0)
            _exit(127);
        const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
        for (int stream = 0; devNull >= 0 && stream <= 2; ++stream)
            dup2(devNull, stream);
        closeOthersOnExec();
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    close(pair[1]);
    std::unique_ptr<HostProcess> host(new HostProcess);
    host->m_handles = std::make_unique<Handles>();
    host->m_handles->pid = pid;
    host->m_handles->channel = pair[0];
    return host;
}

HostProcess::~HostProcess()
{
    kill(m_handles->pid, SIGKILL);
    // Killed, it is gone at once, unless it is inside a driver call the
    // kernel does not interrupt; then this waits for that call to end.
    while (waitpid(m_handles->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    close(m_handles->channel);
}

namespace {

// Waits for the channel to be ready for `events` until `deadline`.
HostProcess::Io ready(int fd, short events, HostProcess::Clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - HostProcess::Clock::now())
                .count();
        if (left <= 0)
            return HostProcess::Io::TimedOut;
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (n > 0)
            return HostProcess::Io::Ok; // readable, writable, or hung up: the call tells
        if (n < 0 && errno != EINTR)
            return HostProcess::Io::Closed;
    }
}

} // namespace

namespace {

// Moves `size` bytes in as many steps as the channel takes: `step` is one
// non-blocking send or receive. Each step is tried before waiting, since the
// channel is mostly ready (a request always fits, an answer's payload has
// come with its length): a wait, and its system call, only when it is not.
template <class Step>
HostProcess::Io transfer(int fd, short events, std::size_t size,
                         HostProcess::Clock::time_point deadline, Step step)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = step(done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return HostProcess::Io::Closed;
        if (HostProcess::Io io = ready(fd, events, deadline); io != HostProcess::Io::Ok)
            return io;
    }
    return HostProcess::Io::Ok;
}

} // namespace

HostProcess::Io HostProcess::Send(const void* data, std::size_t size, Clock::time_point deadline)
{
    const int fd = m_handles->channel;
    return transfer(fd, POLLOUT, size, deadline, [&](std::size_t done, std::size_t left) {
        // MSG_NOSIGNAL: a host that died must not take the tool with it by SIGPIPE.
        return send(fd, static_cast<const char*>(data) + done, left, MSG_NOSIGNAL | MSG_DONTWAIT);
    });
}

HostProcess::Io HostProcess::Receive(void* data, std::size_t size, Clock::time_point deadline)
{
    const int fd = m_handles->channel;
    return transfer(fd, POLLIN, size, deadline, [&](std::size_t done, std::size_t left) {
        return recv(fd, static_cast<char*>(data) + done, left, MSG_DONTWAIT);
    });
}

void HostProcess::Interrupt()
{
    // The descriptor stays open until the destructor, so no other thread's
    // call can meet a number reused meanwhile.
    shutdown(m_handles->channel, SHUT_RDWR);
}

long HostProcess::Id() const
{
    return m_handles->pid;
}
