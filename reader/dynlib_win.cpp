#include "reader/dynlib.h"

#include <windows.h>

#include "base/utf16.h"

namespace {

bool hasDirectory(const std::string& file)
{
    return file.find_first_of("/\\:") != std::string::npos;
}

std::wstring fullPath(const std::wstring& path)
{
    const DWORD units = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (units == 0)
        return path;
    std::wstring full(units, L'\0');
    const DWORD n = ::GetFullPathNameW(path.c_str(), units, full.data(), nullptr);
    full.resize(n < units ? n : 0);
    return full.empty() ? path : full;
}

// A function of kernel32 that Windows 7 has only with its 2011 loader
// update, looked up by name so that the program starts without it too.
template <typename Fn> Fn kernelFunction(const char* name)
{
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

// The library comes only from where it is asked for, never from the current
// directory or PATH, where anyone may have planted a DLL of that name: a
// path is loaded as that file, the DLLs it imports looked up beside it, then
// in the program's and the system's directories; a plain name only in the
// system directory, where vendors install their libraries.
HMODULE loadFromKnownPlaces(const std::string& file)
{
    std::wstring path = WideFromUtf8(file);
    if (!hasDirectory(file)) {
        HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module || ::GetLastError() != ERROR_INVALID_PARAMETER)
            return module;
        // A Windows without the search flags: the file in the system
        // directory by its path.
        wchar_t system[MAX_PATH] = {};
        const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return nullptr;
        path = std::wstring(system) + L"\\" + path;
    } else {
        // The search flags accept a full path only, with backslashes.
        path = fullPath(path);
        HMODULE module =
            ::LoadLibraryExW(path.c_str(), nullptr,
                             LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (module) {
            // Vendors' libraries also load DLLs of their own by name once
            // running: the process's search (RestrictLibrarySearch) takes in
            // the library's folder for them.
            using AddDllDirectoryFn = DLL_DIRECTORY_COOKIE(WINAPI*)(PCWSTR);
            if (const auto add = kernelFunction<AddDllDirectoryFn>("AddDllDirectory"))
                add(path.substr(0, path.find_last_of(L'\\')).c_str());
            return module;
        }
        if (::GetLastError() != ERROR_INVALID_PARAMETER)
            return nullptr;
    }
    // Without the flags, the altered search order looks for the DLLs it
    // imports beside it first.
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

void* OpenDynamicLibrary(const std::string& file, std::string& error)
{
    HMODULE module = loadFromKnownPlaces(file);
    if (!module) {
        const DWORD code = ::GetLastError();
        char text[512] = {};
        const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                         nullptr, code, 0, text, sizeof text, nullptr);
        error = n ? std::string(text, n) : "error " + std::to_string(code);
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r'))
            error.pop_back();
    }
    return module;
}

void* FindDynamicSymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

bool DynamicLibraryFileExists(const std::string& file)
{
    return hasDirectory(file) &&
           ::GetFileAttributesW(WideFromUtf8(file).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RestrictLibrarySearch()
{
    // Out of the search by name: the current directory (on any Windows) and,
    // where the system can narrow it, PATH; left in are the program's own
    // directory, where termb.dll and the DLLs it comes with belong, the
    // system directory and the folders of libraries loaded by path.
    ::SetDllDirectoryW(L"");
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (const auto narrow = kernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories"))
        narrow(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}
