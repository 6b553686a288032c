#include "config/profile.h"

#include <vector>
#include <windows.h>

// windows.h maps WriteProfileString to WriteProfileStringA (the win.ini
// writer); without this our own function would be defined under that name.
#undef WriteProfileString

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key)
{
    std::vector<char> buf(4096);
    for (;;) {
        const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buf.data(),
                                                   static_cast<DWORD>(buf.size()), file.c_str());
        // A result of size - 1 means the value may have been cut.
        if (n + 1 < buf.size() || buf.size() >= (1u << 20))
            return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    const DWORD attrs = ::GetFileAttributesA(file.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
        return false;
    const std::string line = value.substr(0, value.find_first_of("\r\n"));
    if (!::WritePrivateProfileStringA(section.c_str(), key.c_str(), line.c_str(), file.c_str()))
        return false;
    // Flush the system's cached copy of the file to disk before returning.
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return true;
}
