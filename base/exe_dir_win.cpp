#include "base/exe_dir_platform.h"

#include <windows.h>

#include "base/utf16.h"

std::string ExecutablePath()
{
    // The wide path, in UTF-8: the ANSI code page may not be able to write
    // the folder's name.
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size()) {
            buf.resize(n);
            return Utf8FromWide(buf);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string CurrentDirectory()
{
    // The wide path, in UTF-8, as the executable's.
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return {};
    std::wstring buf(size, L'\0');
    const DWORD n = ::GetCurrentDirectoryW(size, buf.data());
    if (n == 0 || n >= size)
        return {};
    buf.resize(n);
    return Utf8FromWide(buf);
}
