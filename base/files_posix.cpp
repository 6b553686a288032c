#include "base/files.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool writeAll(int fd, std::string_view data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut == 0 ? 1 : cut);
}

// A file given by a link is written where the link points, so the link stays.
std::string resolveLink(const std::string& path)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string out(real);
    std::free(real);
    return out;
}

} // namespace

std::FILE* OpenFileUtf8(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

bool RemoveFileUtf8(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool PathExistsUtf8(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

std::string EnvironmentUtf8(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool ReadWholeFile(const std::string& path, std::string& out, bool& exists)
{
    out.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        exists = errno != ENOENT;
        return errno == ENOENT;
    }
    exists = true;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
}

bool MoveIntoPlace(const std::string& temp, const std::string& target)
{
    return ::rename(temp.c_str(), target.c_str()) == 0;
}

bool ReplaceFileContent(const std::string& file, std::string_view content)
{
    const std::string path = resolveLink(file);
    struct stat st
    {
    };
    const bool exists = ::stat(path.c_str(), &st) == 0;
    // A file without any write permission bit is read-only, for root too;
    // renaming a new file over it would otherwise replace it.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
        return false;

    const std::string tmp = path + ".part";
    ::unlink(tmp.c_str());
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return false;
    const mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    const bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), content) &&
                    ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0 &&
                    MoveIntoPlace(tmp, path);
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    Fd dir(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}
