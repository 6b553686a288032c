#include "ui/win32/SetForm.h"

#include <commctrl.h>

#include <string>

#include "present/layout.h"
#include "present/texts.h"
#include "ui/win32/control_ids.h"

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;

std::string windowText(HWND control)
{
    std::wstring text(::GetWindowTextLengthW(control) + 1, L'\0');
    text.resize(::GetWindowTextW(control, &text[0], static_cast<int>(text.size())));
    return Utf8(text);
}

// Digits are all the field takes, so an input method has nothing to add:
// without an input context the field gets plain key presses, which meet the
// key filter. An edit control inserts an input method's composed text itself,
// past WM_CHAR, so the filter alone would not see it. imm32 is the one the
// system loaded already, or comes from the system directory only; where there
// is none there is no input method to turn off.
void refuseInputMethod(HWND edit)
{
    using AssociateContextEx = BOOL(WINAPI*)(HWND, HANDLE, DWORD);
    HMODULE imm = ::GetModuleHandleW(L"imm32.dll");
    if (!imm)
        imm = ::LoadLibraryExW(L"imm32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!imm)
        return;
    const auto associate = reinterpret_cast<AssociateContextEx>(
        reinterpret_cast<void*>(::GetProcAddress(imm, "ImmAssociateContextEx")));
    if (associate)
        associate(edit, nullptr, 0);
}

} // namespace

void TSetFrm::Register(HINSTANCE instance)
{
    RegisterWindowClass(instance, kClassName, WndProc);
}

TSetFrm::TSetFrm(HWND owner)
{
    const RECT frame =
        FrameRect(kStyle, 0, UiLayout::kSettingsWidth, UiLayout::kSettingsHeight, owner);
    m_hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName,
                               Wide(UiText::kSettingsCaption).c_str(), kStyle, frame.left,
                               frame.top, frame.right - frame.left, frame.bottom - frame.top, owner,
                               nullptr, ::GetModuleHandleW(nullptr), this);
    buildLayout();
}

void TSetFrm::buildLayout()
{
    using namespace UiLayout;
    m_songFont = CreateLayoutFont(kSongFont);
    m_smallFont = CreateLayoutFont(kSmallSongFont);
    const HFONT song = m_songFont.get();
    const HFONT small = m_smallFont.get();
    const DWORD label = WS_VISIBLE | SS_OWNERDRAW;
    // The seven controls of the box are the window's children at the box's
    // place; the buttons lie on Panel1.
    const auto inBox = [](const Rect& r) { return ScaledRect(r, kSettingsBox.x, kSettingsBox.y); };

    GroupBox1 = CreateControl(m_hwnd, WC_BUTTONW, UiText::kSettingsBox, WS_VISIBLE | BS_GROUPBOX,
                              IDC_SetFrm_GroupBox1, ScaledRect(kSettingsBox), song);
    Label1 =
        CreateControl(m_hwnd, WC_STATICW, "", label, IDC_SetFrm_Label1, inBox(kPortLabel), nullptr);
    PortCbx = CreateControl(m_hwnd, WC_COMBOBOXW, "",
                            WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, IDC_PortCbx,
                            inBox(Rect{kPortCbx.x, kPortCbx.y, kPortCbx.width, 200}), song);
    Label4 =
        CreateControl(m_hwnd, WC_STATICW, "", label, IDC_Label4, inBox(kCurrentLabel), nullptr);
    CurLb = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_CurLb, inBox(kCurLb), nullptr);
    Label3 = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_Label3, inBox(kSleepLabel), nullptr);
    SleepEdit = CreateControl(m_hwnd, WC_EDITW, "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                              IDC_SleepEdit, inBox(kSleepEdit), song, WS_EX_CLIENTEDGE);
    Label5 = CreateControl(m_hwnd, WC_STATICW, "", label, IDC_Label5, inBox(kSleepUnit), nullptr);
    SaveError = CreateControl(m_hwnd, WC_STATICW, "", SS_OWNERDRAW, IDC_SaveError,
                              inBox(kSaveError), nullptr);
    Panel1 = CreatePanel(m_hwnd, IDC_Panel1, ScaledRect(kSettingsPanel));
    OkBtn =
        CreateControl(Panel1, WC_BUTTONW, UiText::kOkBtn, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                      IDC_OkBtn, ScaledRect(kOkBtn), song);
    ExitBtn =
        CreateControl(Panel1, WC_BUTTONW, UiText::kExitBtn, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                      IDC_ExitBtn, ScaledRect(kExitBtn), song);
    ::SetWindowPos(GroupBox1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowSubclass(SleepEdit, SleepEditProc, 1, 0);
    refuseInputMethod(SleepEdit);

    for (HWND l : {Label1, Label3, Label5})
        m_drawn.add(l,
                    {nullptr, song, ::GetSysColor(COLOR_WINDOWTEXT), DT_LEFT | DT_NOPREFIX, true});
    for (HWND l : {Label4, CurLb})
        m_drawn.add(l,
                    {nullptr, small, ::GetSysColor(COLOR_WINDOWTEXT), DT_LEFT | DT_NOPREFIX, true});
    m_drawn.add(SaveError, {nullptr, small, RGB(255, 0, 0), DT_LEFT | DT_NOPREFIX, false});
    m_drawn.setText(Label1, UiText::kPortLabel);
    m_drawn.setText(Label4, UiText::kCurrentLabel);
    m_drawn.setText(Label3, UiText::kSleepLabel);
    m_drawn.setText(Label5, UiText::kSleepUnit);
}

void TSetFrm::ShowModal(HWND owner)
{
    FormShow();
    const RECT frame =
        FrameRect(kStyle, 0, UiLayout::kSettingsWidth, UiLayout::kSettingsHeight, owner);
    ::SetWindowPos(m_hwnd, nullptr, frame.left, frame.top, frame.right - frame.left,
                   frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetFocus(PortCbx);
    RunModal(m_hwnd, owner);
}

LRESULT CALLBACK TSetFrm::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowObject<TSetFrm>(hwnd, msg, lParam);
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_COMMAND:
        self->onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        return self->m_drawn.draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_CLOSE:
        self->ExitBtnClick();
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK TSetFrm::SleepEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR)
{
    // SleepEditKeyPress: a typed character the layer refuses never reaches
    // the field, whether typed or sent by an input method.
    if ((msg == WM_CHAR || msg == WM_IME_CHAR) &&
        !SettingsModel::SleepEditKeyPress(static_cast<char32_t>(wParam)))
        return 0;
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

void TSetFrm::onCommand(int id, int code)
{
    if (id == IDC_PortCbx && code == CBN_SELENDOK) {
        m_model.portChosen(static_cast<int>(::SendMessageW(PortCbx, CB_GETCURSEL, 0, 0)));
        render();
    } else if (id == IDC_SleepEdit && code == EN_CHANGE) {
        ::SendMessageW(SleepEdit, EM_SETLIMITTEXT,
                       SettingsModel::sleepMaxLengthFor(windowText(SleepEdit)), 0);
    } else if (id == IDC_OkBtn && code == BN_CLICKED) {
        OkBtnClick();
    } else if (id == IDC_ExitBtn && code == BN_CLICKED) {
        ExitBtnClick();
    }
}

void TSetFrm::FormShow()
{
    m_model.FormShow();
    const SettingsView& v = m_model.view();
    ::SendMessageW(PortCbx, CB_RESETCONTENT, 0, 0);
    for (const PortEntry& entry : v.ports)
        ::SendMessageW(PortCbx, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Wide(entry.name).c_str()));
    ::SendMessageW(SleepEdit, EM_SETLIMITTEXT, v.sleepMaxLength, 0);
    ::SetWindowTextW(SleepEdit, Wide(v.sleep).c_str());
    render();
}

void TSetFrm::render()
{
    const SettingsView& v = m_model.view();
    ::SendMessageW(PortCbx, CB_SETCURSEL, v.selected, 0);
    m_drawn.setText(CurLb, v.current);
    m_drawn.setText(SaveError, v.error);
    ::ShowWindow(SaveError, v.error.empty() ? SW_HIDE : SW_SHOWNA);
}

void TSetFrm::OkBtnClick()
{
    // The entry shown now is the one written, however it came to be chosen:
    // not every way of changing a drop-down list's selection notifies
    // CBN_SELENDOK.
    const int shown = static_cast<int>(::SendMessageW(PortCbx, CB_GETCURSEL, 0, 0));
    if (shown != m_model.view().selected)
        m_model.portChosen(shown);
    if (m_model.OkBtnClick(windowText(SleepEdit)))
        EndModal(m_hwnd);
    else
        render();
}

void TSetFrm::ExitBtnClick()
{
    EndModal(m_hwnd);
}
