#include "app/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
