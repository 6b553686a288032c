#include "base/exe_dir.h"

#include <mutex>

#include "base/exe_dir_platform.h"

namespace {
std::mutex g_overrideMutex;
std::string g_override;

bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

bool isRelative(const std::string& path)
{
    if (path.empty() || isSeparator(path[0]))
        return false;
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':')
        return false; // C:\dir, or C:file on that drive's own directory
#endif
    return true;
}
} // namespace

std::string ExeDir()
{
    {
        std::lock_guard lock(g_overrideMutex);
        if (!g_override.empty())
            return g_override;
    }
    // The executable cannot move while it runs, so its path is looked up once.
    static const std::string dir = [] {
        std::string path = ExecutablePath();
        const auto cut = path.find_last_of(kPathSeparators);
        return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    }();
    return dir;
}

void SetExeDirOverride(const std::string& dir)
{
    std::lock_guard lock(g_overrideMutex);
    g_override = dir;
    if (!g_override.empty() && !isSeparator(g_override.back()))
        g_override += kPreferredSeparator;
}

std::string AbsolutePath(const std::string& path)
{
    if (!isRelative(path))
        return path;
    const std::string cwd = CurrentDirectory();
    if (cwd.empty())
        return path;
    return isSeparator(cwd.back()) ? cwd + path : cwd + kPreferredSeparator + path;
}
