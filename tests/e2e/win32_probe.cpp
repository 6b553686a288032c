// Reads what the Win32 windows show, for the end-to-end test: one line per
// named control of every top-level window of a class, found by its control
// id: name, visible, enabled, text (UTF-8; line breaks as \n), and the
// centre of the control on the screen, where the test clicks.
//
//   win32_probe dump <window class>      exit 1 when no such window exists
//   win32_probe minimize <window class>  as the system does: the windows
//                                        it owns are told (SW_PARENTCLOSING)
//   win32_probe close <window class>     as the frame's close button does
//   win32_probe select <window class> <index>
//                                        in the list with the focus, with no
//                                        notification, as tools select

#include <windows.h>

#include <cstdio>
#include <cwchar>
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

// The window that has the keyboard focus on the thread of `hwnd`.
HWND focusOf(HWND hwnd)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hwnd, nullptr), &info);
    return info.hwndFocus;
}

BOOL CALLBACK tellOwnerClosing(HWND hwnd, LPARAM owner)
{
    if (::GetWindow(hwnd, GW_OWNER) == reinterpret_cast<HWND>(owner) && ::IsWindowVisible(hwnd))
        ::SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
    return TRUE;
}

struct Search
{
    std::wstring windowClass;
    std::wstring verb;
    WPARAM index = 0; // select's
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
        ::EnumWindows(tellOwnerClosing, reinterpret_cast<LPARAM>(hwnd));
        ::ShowWindow(hwnd, SW_MINIMIZE);
        return TRUE;
    }
    if (search->verb == L"select") {
        ::SendMessageW(focusOf(hwnd), CB_SETCURSEL, search->index, 0);
        return TRUE;
    }
    if (search->verb == L"close") {
        ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }
    // The window itself, under its class name; "iconic" 1 when minimized,
    // "foreground" 1 when it is that; "focus" and the control that has it.
    printLine(hwnd, Utf8FromWide(name).c_str());
    std::printf("iconic\t%d\nforeground\t%d\n", ::IsIconic(hwnd) ? 1 : 0,
                ::GetForegroundWindow() == hwnd ? 1 : 0);
    const char* focus = ControlName(::GetDlgCtrlID(focusOf(hwnd)));
    std::printf("focus\t%s\n", focus ? focus : "");
    ::EnumChildWindows(hwnd, printChild, 0);
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 && argc != 4)
        return 2;
    Search search{argv[2], argv[1], argc == 4 ? std::wcstoul(argv[3], nullptr, 10) : 0};
    ::EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    std::fflush(stdout);
    return search.found ? 0 : 1;
}
