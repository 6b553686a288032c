// Reads what the Win32 windows show, for the end-to-end test: one line per
// named control of every top-level window of a class, found by its control
// id: name, visible, enabled, text (UTF-8; line breaks as \n), and the
// centre of the control on the screen, where the test clicks.
//
//   win32_probe dump <window class>      exit 1 when no such window exists
//   win32_probe minimize <window class>

#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/win32/control_ids.h"

namespace {

std::string utf8(const std::wstring& wide)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], n,
                              nullptr, nullptr);
    return out;
}

void printLine(HWND hwnd, const char* name)
{
    std::wstring text(::GetWindowTextLengthW(hwnd) + 1, L'\0');
    text.resize(::GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size())));
    std::string shown;
    for (char c : utf8(text)) {
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
    bool minimize;
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
    if (search->minimize) {
        ::ShowWindow(hwnd, SW_MINIMIZE);
        return TRUE;
    }
    // The window itself, under its class name; "iconic" 1 when minimized.
    printLine(hwnd, utf8(name).c_str());
    std::printf("iconic\t%d\n", ::IsIconic(hwnd) ? 1 : 0);
    ::EnumChildWindows(hwnd, printChild, 0);
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    Search search{argv[2], std::wstring(argv[1]) == L"minimize"};
    ::EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    std::fflush(stdout);
    return search.found ? 0 : 1;
}
