#include "base/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The per-user runtime directory when there is one (it is private to the
// user and emptied at logout), else /tmp with the user id in the file name so
// that two users on one machine never share a lock.
std::string lockBase(const std::string& name)
{
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) {
        struct stat st
        {
        };
        if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode))
            return std::string(dir) + "/" + name;
    }
    return "/tmp/" + name + "-" + std::to_string(::getuid());
}

// The socket address of `path`; false when the path does not fit.
bool socketAddress(const std::string& path, sockaddr_un& address)
{
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

SingleInstance::SingleInstance(const std::string& name)
{
    const std::string base = lockBase(name);
    m_signalName = base + ".sock";
    // flock, not the file's existence, is the lock: the kernel drops it with
    // the last descriptor, so a copy that crashed leaves nothing that blocks.
    // The descriptor is deliberately never closed.
    const int fd = ::open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_anotherIsRunning = (errno == EWOULDBLOCK);
        ::close(fd);
    }
}

int SingleInstance::listenForLaterCopies() const
{
    sockaddr_un address;
    if (!socketAddress(m_signalName, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    ::unlink(m_signalName.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SingleInstance::takeShowRequest(int listener)
{
    // What the later copy wrote is not looked at: that it came is the request.
    const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return false;
    ::close(peer);
    return true;
}

bool SingleInstance::askRunningCopyToShow() const
{
    sockaddr_un address;
    if (!socketAddress(m_signalName, address))
        return false;
    // Non-blocking, so a running copy that hangs with a full backlog cannot
    // hold this one up.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    // The connection itself is the request, so the running copy may take and
    // close it before this write: MSG_NOSIGNAL makes that broken pipe an
    // ignored error instead of a signal that would end this copy with another
    // code than 0.
    if (connected) {
        static const char kShow[] = "show\n";
        (void)::send(fd, kShow, sizeof kShow - 1, MSG_NOSIGNAL);
    }
    ::close(fd);
    return connected;
}
