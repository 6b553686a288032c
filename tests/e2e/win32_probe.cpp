// Reads what the Win32 windows show, for the end-to-end test: one line per
// named control of every top-level window of a class, found by its control
// id: name, visible, enabled, text (UTF-8; line breaks as \n), and the
// centre of the control on the screen, where the test clicks.
//
//   win32_probe dump <window class>      exit 1 when no such window exists
//   win32_probe minimize <window class>
//   win32_probe close <window class>     as the frame's close button does

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/utf16.h"
#include "ui/win32/control_ids.h"

namespace {

void printLine(HWND hwnd, const char* name)
{
    // WM_GETTEXT, not GetWindowText: only the message reaches an edit
    // control's own text in another process.
    wchar_t buffer[4096] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                          2000, &length);
    const std::wstring text(buffer, length);
    std::string shown;
    for (char c : Utf8FromWide(text)) {
        if (c == '\n')
            shown += "\\n";
        else if (c != '\r')
            shown += c;
    }
    RECT r;
    ::GetWindowRect(hwnd, &r);
    std::printf("%s\t%d\t%d\t%s\t%ld %ld\n", name, ::IsWindowVisible(hwnd) ? 1 : 0,
                ::IsWindowEnabled(hwnd) ? 1 : 0, shown.c_str(), (r.left + r.right) / 2,
                (r.top + r.bottom) / 2);
}

BOOL CALLBACK printChild(HWND child, LPARAM)
{
    if (const char* name = ControlName(::GetDlgCtrlID(child)))
        printLine(child, name);
    return TRUE;
}

struct Search
{
    std::wstring windowClass;
    std::wstring verb;
    int found = 0;
};

BOOL CALLBACK visitTopLevel(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t name[128] = {};
    ::GetClassNameW(hwnd, name, 128);
    if (search->windowClass != name)
        return TRUE;
    ++search->found;
    if (search->verb == L"minimize") {
        ::ShowWindow(hwnd, SW_MINIMIZE);
        return TRUE;
    }
    if (search->verb == L"close") {
        ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }
    // The window itself, under its class name; "iconic" 1 when minimized.
    printLine(hwnd, Utf8FromWide(name).c_str());
    std::printf("iconic\t%d\n", ::IsIconic(hwnd) ? 1 : 0);
    ::EnumChildWindows(hwnd, printChild, 0);
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    Search search{argv[2], argv[1]};
    ::EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    std::fflush(stdout);
    return search.found ? 0 : 1;
}
