#include "base/files.h"

#include <windows.h>

#include "base/utf16.h"

namespace {

class Handle
{
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    bool close()
    {
        const bool ok = !valid() || ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_h;
};

bool missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool writeAll(HANDLE file, std::string_view data)
{
    while (!data.empty()) {
        const DWORD chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0)
            return false;
        data.remove_prefix(written);
    }
    return true;
}

} // namespace

std::FILE* OpenFileUtf8(const std::string& path, const char* mode)
{
    return ::_wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

bool RemoveFileUtf8(const std::string& path)
{
    return ::DeleteFileW(WideFromUtf8(path).c_str()) || missing(::GetLastError());
}

bool PathExistsUtf8(const std::string& path)
{
    return ::GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string EnvironmentUtf8(const char* name)
{
    const std::wstring wideName = WideFromUtf8(name);
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                  static_cast<DWORD>(value.size()));
        if (n == 0)
            return {};
        if (n < value.size()) {
            value.resize(n);
            return Utf8FromWide(value);
        }
        value.resize(n); // n counts the terminating null here
    }
}

bool ReadWholeFile(const std::string& path, std::string& out, bool& exists)
{
    out.clear();
    Handle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        exists = !missing(::GetLastError());
        return !exists;
    }
    exists = true;
    char buf[4096];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buf, sizeof buf, &n, nullptr))
            return false;
        if (n == 0)
            return true;
        out.append(buf, n);
    }
}

bool MoveIntoPlace(const std::string& temp, const std::string& target)
{
    // Replaces the target in one step; write-through: the call returns once
    // the move is on disk.
    return ::MoveFileExW(WideFromUtf8(temp).c_str(), WideFromUtf8(target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool ReplaceFileContent(const std::string& path, std::string_view content)
{
    const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    const std::string temp = path + ".part";
    const std::wstring wideTemp = WideFromUtf8(temp);
    Handle file(::CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    const bool ok = writeAll(file.get(), content) && ::FlushFileBuffers(file.get()) &&
                    file.close() && MoveIntoPlace(temp, path);
    if (!ok) {
        file.close();
        ::DeleteFileW(wideTemp.c_str());
    }
    return ok;
}
