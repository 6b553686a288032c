#include "ui/win32/uAboutForm.h"

#include <commctrl.h>
#include <shellapi.h>

#include "present/about_model.h"
#include "present/layout.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/resource.h"

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

} // namespace

void Tform_About::Register(HINSTANCE instance)
{
    RegisterWindowClass(instance, kClassName, WndProc);
}

Tform_About::Tform_About(HWND owner)
{
    using namespace UiLayout;
    const RECT frame = FrameRect(kStyle, kExStyle, kAboutWidth, kAboutHeight, owner);
    m_hwnd =
        ::CreateWindowExW(kExStyle, kClassName, Wide(AboutTexts().caption).c_str(), kStyle,
                          frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                          owner, nullptr, ::GetModuleHandleW(nullptr), this);
    m_font = CreateLayoutFont(kAboutFont);
    m_linkFont = CreateLayoutFont(kAboutLinkFont);
    m_picture = PictureFromResource(IDB_ABOUTJPEG);
    m_backdrop.add(&m_picture, ScaledRect(kAboutPicture));

    // Every control notifies its clicks, so a click on a label stays on the
    // label (and does nothing) instead of falling through to the picture.
    const DWORD label = WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY;
    const auto at = [](int row) {
        return ScaledRect(Rect{kAboutLabelLeft, kAboutLabelTop[row], 0, 0});
    };
    i_About = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_i_About, ScaledRect(kAboutPicture),
                            nullptr);
    l_AppName = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_l_AppName, at(0), nullptr);
    l_Version = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_l_Version, at(1), nullptr);
    l_Company = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_l_Company, at(2), nullptr);
    l_Address = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_l_Address, at(3), nullptr);
    l_Telephone = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_l_Telephone, at(4), nullptr);
    l_WebSite = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_l_WebSite, at(5), nullptr);
    ::SetWindowPos(i_About, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    m_drawn.add(i_About, {&m_backdrop});
    for (HWND l : {l_AppName, l_Version, l_Company, l_Address, l_Telephone})
        m_drawn.add(l, {&m_backdrop, m_font.get(), ::GetSysColor(COLOR_WINDOWTEXT),
                        DT_LEFT | DT_NOPREFIX, true});
    m_drawn.add(l_WebSite,
                {&m_backdrop, m_linkFont.get(), FromRgb(kLinkColour), DT_LEFT | DT_NOPREFIX, true});
    FormCreate();
}

void Tform_About::FormCreate()
{
    const AboutView& texts = AboutTexts();
    m_drawn.setText(l_AppName, texts.appName);
    m_drawn.setText(l_Version, texts.version);
    m_drawn.setText(l_Company, texts.company);
    m_drawn.setText(l_Address, texts.address);
    m_drawn.setText(l_WebSite, texts.webSite);
    m_drawn.setText(l_Telephone, texts.telephone);
}

void Tform_About::ShowModal(HWND owner)
{
    const RECT frame =
        FrameRect(kStyle, kExStyle, UiLayout::kAboutWidth, UiLayout::kAboutHeight, owner);
    ::SetWindowPos(m_hwnd, nullptr, frame.left, frame.top, 0, 0,
                   SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    RunModal(m_hwnd, owner);
}

LRESULT CALLBACK Tform_About::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowObject<Tform_About>(hwnd, msg, lParam);
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_COMMAND:
        self->onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        return self->m_drawn.draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_SETCURSOR:
        if (self->onSetCursor(reinterpret_cast<HWND>(wParam)))
            return TRUE;
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_CLOSE:
        EndModal(hwnd);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void Tform_About::onCommand(int id, int code)
{
    if (code != STN_CLICKED)
        return;
    if (id == IDC_i_About)
        i_AboutClick();
    else if (id == IDC_l_WebSite)
        l_WebSiteClick();
}

bool Tform_About::onSetCursor(HWND over)
{
    if (over != l_WebSite)
        return false;
    ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); // IDC_HAND
    return true;
}

void Tform_About::i_AboutClick()
{
    EndModal(m_hwnd);
}

void Tform_About::l_WebSiteClick()
{
    // The box stays open; a failed request (no browser) is ignored.
    ::ShellExecuteW(m_hwnd, nullptr, Wide(AboutTexts().webSite).c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
}
