// The Windows program's entry: one running copy at a time (a later copy
// brings the first to the front and ends), the reader library or the virtual
// reader, the three windows, the message loop, and an exit that never waits
// for the reading thread.

#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "base/diagnostics.h"
#include "base/single_instance.h"
#include "reader/dynlib.h"
#include "reader/termb_loader.h"
#include "state/settings.h"
#include "ui/win32/SetForm.h"
#include "ui/win32/uAboutForm.h"
#include "ui/win32/uMain.h"
#include "ui/win32/win32_gdi.h"

namespace {

constexpr const wchar_t* kInstanceWindowClass = L"ZuviInstanceWindow";
// Posted to the instance window once it was made active.
constexpr UINT kPassActivation = WM_APP + 1;
// A window of the first copy that carries the instance name as its title, so
// a later copy finds it by that title. It is never shown: what the later copy
// asks of it (show, restore, activate) it passes on to the main window.
LRESULT CALLBACK instanceWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* main = reinterpret_cast<Tform_Main*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_ACTIVATE:
        // The later copy makes this window the foreground one, which this
        // copy may then hand on; done once the activation is complete.
        if (LOWORD(wParam) != WA_INACTIVE)
            ::PostMessageW(hwnd, kPassActivation, 0, 0);
        return 0;
    case kPassActivation:
        if (main && ::GetForegroundWindow() == hwnd)
            main->BringToFront();
        return 0;
    case WM_WINDOWPOSCHANGING: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if ((pos->flags & SWP_SHOWWINDOW) && main) {
            pos->flags &= ~SWP_SHOWWINDOW;
            main->BringToFront();
        }
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE && main) {
            main->BringToFront();
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

HWND createInstanceWindow(HINSTANCE instance, Tform_Main* main)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = instanceWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kInstanceWindowClass;
    ::RegisterClassExW(&wc);
    HWND hwnd =
        ::CreateWindowExW(WS_EX_TOOLWINDOW, kInstanceWindowClass, Wide(kInstanceName).c_str(),
                          WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(main));
    return hwnd;
}

// A later copy: shows, restores and brings forward the window titled with the
// instance name (of any class), then ends without a window of its own.
void raiseFirstCopy()
{
    HWND first = ::FindWindowW(nullptr, Wide(kInstanceName).c_str());
    if (!first)
        return;
    ::AllowSetForegroundWindow(ASFW_ANY); // lets the first copy take the foreground
    ::ShowWindow(first, SW_SHOW);
    ::SendMessageW(first, WM_SYSCOMMAND, SC_RESTORE, 0);
    ::SetForegroundWindow(first);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    RestrictLibrarySearch(); // before anything may load a DLL by name
    // Held for the whole run; the system releases it when the process ends.
    static SingleInstance single;
    if (single.anotherIsRunning()) {
        raiseFirstCopy();
        return 0;
    }

    InstallDebugOutputDiagnostics(); // absorbed failures go to the debugger's output
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // the imaging component
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    InitScale();
    RegisterPanelClass(instance);
    Tform_Main::Register(instance);
    Tform_About::Register(instance);
    TSetFrm::Register(instance);

    // The reader library runs in a reader host unless TERMB_IN_PROCESS=1 or
    // no host program is there; decided here, on the thread that lives as
    // long as the program, which is the one a host started now dies with.
    LoadSettings(); // the call deadline, before the library loads
    SetUpWindowedReaderHosting();
    // The reader library, or the virtual reader standing in for it.
    const ReaderLibrary reader = LoadReaderLibraryOrVirtual();

    // The three windows in their order; never freed, the process ends with
    // them and the reading thread may use its status target to the very end.
    auto* form_Main = new Tform_Main(reader.library, reader.standsIn ? &reader.missing : nullptr);
    auto* form_About = new Tform_About(form_Main->handle());
    auto* SetFrm = new TSetFrm(form_Main->handle());
    form_Main->setDialogs(form_About, SetFrm);
    createInstanceWindow(instance, form_Main);
    form_Main->Show();

    // Tab and Enter among the main window's buttons, as in a dialog.
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(form_Main->handle(), &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    // The reading thread is never joined: it may sit in a reader call or wait
    // in SendMessage. Ending the process here, without running the reader
    // library's or anyone's clean-up, leaves nothing to race with it or to
    // wait on it.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(msg.wParam));
    return 0;
}
