#include "base/exe_dir_platform.h"

#include <climits>
#include <unistd.h>

std::string ExecutablePath()
{
    // /proc/self/exe names the executable even when it was started through a
    // link or from another working directory.
    std::string buf(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size())
        return {};
    buf.resize(static_cast<size_t>(n));
    return buf;
}

std::string CurrentDirectory()
{
    std::string buf(PATH_MAX, '\0');
    if (!::getcwd(buf.data(), buf.size()))
        return {};
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    return buf;
}
