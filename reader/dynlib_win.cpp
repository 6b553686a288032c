#include "reader/dynlib.h"

#include <windows.h>

void* OpenDynamicLibrary(const std::string& file, std::string& error)
{
    HMODULE module = ::LoadLibraryA(file.c_str());
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
    return file.find_first_of("/\\:") != std::string::npos &&
           ::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}
