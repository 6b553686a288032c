#include "base/exe_dir_platform.h"

#include <windows.h>

#include "base/utf16.h"

std::string ExecutablePath()
{
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::string CurrentDirectory()
{
    // In the ANSI code page, as every other path the program hands to the
    // system's narrow functions.
    const DWORD size = ::GetCurrentDirectoryA(0, nullptr);
    if (size == 0)
        return {};
    std::string buf(size, '\0');
    const DWORD n = ::GetCurrentDirectoryA(size, buf.data());
    if (n == 0 || n >= size)
        return {};
    buf.resize(n);
    return buf;
}

std::string NativePathToUtf8(const std::string& path)
{
    if (path.empty())
        return path;
    const int units =
        ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (units <= 0)
        return path;
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                          units);
    return Utf8FromWide(wide);
}
