#include "ui/win32/uMain.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "base/diagnostics.h"
#include "present/birthday_marks.h"
#include "present/card_view_model.h"
#include "present/layout.h"
#include "present/texts.h"
#include "reader/read_thread.h"
#include "ui/win32/SetForm.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/resource.h"
#include "ui/win32/uAboutForm.h"

namespace {

// Without WS_CLIPCHILDREN: the group boxes paint only their frame and rely
// on the window's ground beneath them.
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

HIMAGELIST glyphList(int resource)
{
    const Picture glyph = PictureFromResource(resource);
    HIMAGELIST list = ::ImageList_Create(glyph.width, glyph.height, ILC_COLOR32, 1, 0);
    if (list && glyph)
        ::ImageList_Add(list, glyph.bitmap.get(), nullptr);
    return list;
}

// The photo's cut-out as a region, from the layer's y-x banded rectangles,
// scaled like every other place. A photo of nothing but its key colour gives
// an empty region, never none: SetWindowRgn with no region shows the whole
// photo.
HRGN photoRegion(const std::vector<UiLayout::Rect>& rects)
{
    if (rects.empty())
        return ::CreateRectRgn(0, 0, 0, 0);
    std::vector<char> data(sizeof(RGNDATAHEADER) + sizeof(RECT) * rects.size());
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(sizeof(RECT) * rects.size());
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    RECT bounds{0, 0, 0, 0};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const UiLayout::Rect& r = rects[i];
        out[i] = RECT{r.x, r.y, r.x + r.width, r.y + r.height};
        ::UnionRect(&bounds, &bounds, &out[i]);
    }
    header->rcBound = bounds;
    const float scale = static_cast<float>(Scaled(1000)) / 1000.0f;
    const XFORM xform{scale, 0, 0, scale, 0, 0};
    HRGN region =
        ::ExtCreateRegion(scale == 1.0f ? nullptr : &xform, static_cast<DWORD>(data.size()),
                          reinterpret_cast<RGNDATA*>(data.data()));
    return region ? region : ::CreateRectRgn(0, 0, 0, 0);
}

// Puts the date of birth's marks of `face` over its picture, which carries
// none: placed after the numbers as the data labels' font draws them on this
// machine, so each number stands in front of its mark whatever face the
// system chose for the font.
void setBirthdayMarks(Backdrop& backdrop, CardFace face, HFONT dataFont, HFONT captionFont)
{
    backdrop.clearTexts();
    const CardFaceLayout layout = CardFaceLayoutFor(face);
    if (!layout.birthdayMarks)
        return;
    HDC dc = ::GetDC(nullptr);
    const auto width = [&](std::string_view text, CardFont font) {
        const std::wstring wide = Wide(text);
        const HGDIOBJ old = ::SelectObject(dc, font == CardFont::Data ? dataFont : captionFont);
        SIZE size{0, 0};
        ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        ::SelectObject(dc, old);
        return static_cast<double>(size.cx);
    };
    const RECT label = ScaledRect(layout.birthday);
    for (const BirthdayMark& mark : BirthdayMarks(label.left, width))
        backdrop.addText(Wide(mark.text), captionFont, FromRgb(UiLayout::kCardCaptionColour),
                         POINT{static_cast<LONG>(std::lround(mark.left)), label.top});
    ::ReleaseDC(nullptr, dc);
}

} // namespace

void Tform_Main::Register(HINSTANCE instance)
{
    RegisterWindowClass(instance, kClassName, WndProc,
                        ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP)));
}

Tform_Main::Tform_Main(const TermbLibrary& library, const TermbLibrary* missing)
    : m_controller(*this, library, missing)
{
    const RECT frame =
        FrameRect(kMainStyle, 0, UiLayout::kMainWidth, UiLayout::kMainHeight, nullptr);
    m_hwnd = ::CreateWindowExW(0, kClassName, L"", kMainStyle, frame.left, frame.top,
                               frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), this);
    buildLayout();
    // The status target: SendMessage returns only once WMReadState has run on
    // this window's thread, the contract the reading thread relies on; to a
    // window that is gone it returns at once.
    const HWND hwnd = m_hwnd;
    m_controller.FormCreate(
        [hwnd](int status) { ::SendMessageW(hwnd, WM_READSTATE, static_cast<WPARAM>(status), 0); });
}

Tform_Main::~Tform_Main() = default;

void Tform_Main::buildLayout()
{
    using namespace UiLayout;
    m_mainFont = CreateLayoutFont(kMainFont);
    m_songFont = CreateLayoutFont(kSongFont);
    m_infoFont = CreateLayoutFont(kInfoFont);
    m_cardDataFont = CreateLayoutFont(kCardDataFont);
    m_cardLineFont = CreateLayoutFont(kCardLineFont);
    m_banner = PictureFromResource(IDB_BANNER);
    m_strip = PictureFromResource(IDB_STRIP);
    m_pale = PictureFromResource(IDB_PALE);
    m_waves = PictureFromResource(IDB_WAVES);
    m_hand = PictureFromResource(IDB_HAND);
    m_cardFace = PictureFromResource(IDB_CARDFACE);
    m_settingsGlyph.reset(glyphList(IDB_SETTINGS));
    m_aboutGlyph.reset(glyphList(IDB_ABOUT));
    il_ActionStatus[0].reset(glyphList(IDB_START));
    il_ActionStatus[1].reset(glyphList(IDB_STOP));

    // What each picture control shows, and what lies behind the labels.
    const RECT decoration = ScaledRect(kDecoration);
    m_topBackdrop.add(&m_banner, ScaledRect(kImage1));
    m_stripBackdrop.add(&m_strip, ScaledRect(kImage2));
    m_pageBackdrop.add(&m_pale, decoration);  // i_bg1
    m_pageBackdrop.add(&m_pale, decoration);  // i_bg2
    m_pageBackdrop.add(&m_waves, decoration); // i_bg3, on top: the one seen
    m_hasCardBackdrop.add(&m_hand, decoration);
    m_cardBackdrop.setUnder(&m_pageBackdrop, POINT{Scaled(kCardView.x), Scaled(kCardView.y)});
    m_cardBackdrop.add(&m_cardFace, ScaledRect(kCardFace));
    setBirthdayMarks(m_cardBackdrop, m_face, m_cardDataFont.get(), m_cardLineFont.get());

    const DWORD picture = WS_VISIBLE | SS_OWNERDRAW;
    // BS_NOTIFY: a button with the focus becomes the default one, so Enter
    // presses it (IsDialogMessage in the message loop), as in a dialog.
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY;
    const auto inGroup1 = [](const Rect& r) { return ScaledRect(r, kGroupBox1.x, kGroupBox1.y); };
    const auto inGroup2 = [](const Rect& r) { return ScaledRect(r, kGroupBox2.x, kGroupBox2.y); };
    const RECT photoPlace = ScaledRect(Rect{0, 0, kPhotoPanel.width, kPhotoPanel.height});

    // Top band: banner, and beside it the strip above the two dialog buttons.
    Panel2 = CreatePanel(m_hwnd, IDC_Panel2, ScaledRect(kPanel2));
    Image1 =
        CreateControl(Panel2, WC_STATICW, "", picture, IDC_Image1, ScaledRect(kImage1), nullptr);
    Panel3 = CreatePanel(Panel2, IDC_Panel3, ScaledRect(kPanel3));
    Image2 =
        CreateControl(Panel3, WC_STATICW, "", picture, IDC_Image2, ScaledRect(kImage2), nullptr);
    Panel9 = CreatePanel(Panel3, IDC_Panel9, ScaledRect(kPanel9), FromRgb(kBandColour));
    SetBtn = CreateControl(Panel9, WC_BUTTONW, UiText::kSetBtn, button, IDC_SetBtn,
                           ScaledRect(kSetBtn), m_mainFont.get());
    btn_Config = CreateControl(Panel9, WC_BUTTONW, UiText::kConfigBtn, button, IDC_btn_Config,
                               ScaledRect(kConfigBtn), m_mainFont.get());
    // Read mode box; its buttons are the window's children at the box's place.
    GroupBox1 = CreateControl(m_hwnd, WC_BUTTONW, UiText::kReadModeBox, WS_VISIBLE | BS_GROUPBOX,
                              IDC_GroupBox1, ScaledRect(kGroupBox1), m_songFont.get());
    btn_OneReadCard = CreateControl(m_hwnd, WC_BUTTONW, UiText::kOneRead, button | BS_FLAT,
                                    IDC_btn_OneReadCard, inGroup1(kOneReadBtn), m_mainFont.get());
    btn_CycleReadCard =
        CreateControl(m_hwnd, WC_BUTTONW, UiText::kCycleStart, button | BS_FLAT,
                      IDC_btn_CycleReadCard, inGroup1(kCycleReadBtn), m_mainFont.get());
    // Result box: the page control without tabs shows ts_Device only.
    GroupBox2 = CreateControl(m_hwnd, WC_BUTTONW, UiText::kResultBox, WS_VISIBLE | BS_GROUPBOX,
                              IDC_GroupBox2, ScaledRect(kGroupBox2), m_songFont.get());
    pc_Page = CreatePanel(m_hwnd, IDC_pc_Page, inGroup2(kPage));
    const RECT page{0, 0, Scaled(kPage.width), Scaled(kPage.height)};
    ts_Device = CreatePanel(pc_Page, IDC_ts_Device, page);
    ts_NoDevice = CreatePanel(pc_Page, IDC_ts_NoDevice, page);
    ::ShowWindow(ts_NoDevice, SW_HIDE);
    i_bg1 = CreateControl(ts_Device, WC_STATICW, "", picture, IDC_i_bg1, decoration, nullptr);
    i_bg2 = CreateControl(ts_Device, WC_STATICW, "", picture, IDC_i_bg2, decoration, nullptr);
    i_bg3 = CreateControl(ts_Device, WC_STATICW, "", picture, IDC_i_bg3, decoration, nullptr);
    i_HasCard =
        CreateControl(ts_Device, WC_STATICW, "", SS_OWNERDRAW, IDC_i_HasCard, decoration, nullptr);
    p_IDCardInfo = CreatePanel(ts_Device, IDC_p_IDCardInfo, ScaledRect(kCardView));
    Image4 = CreateControl(p_IDCardInfo, WC_STATICW, "", picture, IDC_Image4, ScaledRect(kCardFace),
                           nullptr);
    PhotoPanel = CreatePanel(p_IDCardInfo, IDC_PhotoPanel, ScaledRect(kPhotoPanel));
    PhotoImage =
        CreateControl(PhotoPanel, WC_STATICW, "", picture, IDC_PhotoImage, photoPlace, nullptr);
    // The card's labels, at the places the layer gives them.
    const std::vector<CardText> places = CardViewControls();
    for (const CardText& text : places) {
        const Rect& r = text.place;
        const RECT at = ScaledRect(Rect{r.x, r.y, r.width, r.height});
        m_cardLabels[text.control] =
            CreateControl(p_IDCardInfo, WC_STATICW, "", WS_VISIBLE | SS_OWNERDRAW,
                          ControlIdByName(text.control), at, nullptr);
    }
    l_Info = CreateControl(ts_Device, WC_STATICW, "", WS_VISIBLE | SS_OWNERDRAW, IDC_l_Info,
                           ScaledRect(kInfoLine), nullptr);
    // Status bar: three sunken panels.
    sb_Status = CreatePanel(m_hwnd, IDC_sb_Status, ScaledRect(kStatusBar));
    const auto statusPanel = [](const Rect& r) {
        return ScaledRect(Rect{r.x, r.y, r.width - 2, r.height});
    };
    StatusPanel0 = CreateControl(
        sb_Status, WC_STATICW, "", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX,
        IDC_StatusPanel0, statusPanel(kStatusPanel0), m_songFont.get(), WS_EX_STATICEDGE);
    StatusPanel1 = CreateControl(
        sb_Status, WC_STATICW, "", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX,
        IDC_StatusPanel1, statusPanel(kStatusPanel1), m_songFont.get(), WS_EX_STATICEDGE);
    StatusPanel2 = CreatePanel(sb_Status, IDC_StatusPanel2, statusPanel(kStatusPanel2), CLR_INVALID,
                               WS_EX_STATICEDGE);
    RECT samPlace;
    ::GetClientRect(StatusPanel2, &samPlace);
    ::InflateRect(&samPlace, 0, -Scaled(2));
    SamIdEdit = CreateControl(StatusPanel2, WC_EDITW, "", WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL,
                              IDC_SamIdEdit, samPlace, m_songFont.get());
    ::ShowWindow(sb_Status, SW_HIDE);

    // Tab order: the read buttons first, then 设置 and 关于.
    ::SetWindowPos(Panel2, btn_CycleReadCard, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Pictures lie under everything else on their page.
    for (HWND below : {i_HasCard, i_bg3, i_bg2, i_bg1, Image4, GroupBox1, GroupBox2})
        ::SetWindowPos(below, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    m_drawn.add(Image1, {&m_topBackdrop});
    m_drawn.add(Image2, {&m_stripBackdrop});
    for (HWND ground : {i_bg1, i_bg2, i_bg3})
        m_drawn.add(ground, {&m_pageBackdrop});
    m_drawn.add(i_HasCard, {&m_hasCardBackdrop});
    m_drawn.add(Image4, {&m_cardBackdrop});
    m_drawn.add(PhotoImage, {&m_photoBackdrop});
    const bool dataSecondStrike = NeedsSecondStrike(m_cardDataFont.get());
    for (const CardText& text : places) {
        OwnerDrawn::Style style;
        style.backdrop = &m_cardBackdrop;
        style.font = text.font == CardFont::Data ? m_cardDataFont.get() : m_cardLineFont.get();
        style.secondStrike = text.font == CardFont::Data && dataSecondStrike;
        style.format = DT_LEFT | DT_TOP | DT_NOPREFIX | (text.wordWrap ? DT_WORDBREAK : 0);
        style.sizeToText = text.place.width == 0;
        m_drawn.add(m_cardLabels[text.control], style);
    }
    OwnerDrawn::Style info;
    info.backdrop = &m_pageBackdrop;
    info.font = m_infoFont.get();
    info.format = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX;
    info.secondStrike = NeedsSecondStrike(m_infoFont.get());
    m_drawn.add(l_Info, info);

    setGlyph(SetBtn, m_settingsGlyph.get());
    setGlyph(btn_Config, m_aboutGlyph.get());
}

void Tform_Main::setDialogs(Tform_About* about, TSetFrm* settings)
{
    m_about = about;
    m_settings = settings;
}

void Tform_Main::Show()
{
    m_controller.Resume();
    ::ShowWindow(m_hwnd, SW_SHOW);
    ::UpdateWindow(m_hwnd);
}

void Tform_Main::BringToFront()
{
    ::ShowWindow(m_hwnd, ::IsIconic(m_hwnd) ? SW_RESTORE : SW_SHOW);
    // An open dialog is what takes input, so it is the one made active.
    ::SetForegroundWindow(m_modal ? m_modal : m_hwnd);
}

LRESULT CALLBACK Tform_Main::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowObject<Tform_Main>(hwnd, msg, lParam);
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_READSTATE:
        self->m_controller.WMReadState(static_cast<int>(wParam));
        return 0;
    case WM_COMMAND:
        self->onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DRAWITEM:
        return self->m_drawn.draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case DM_GETDEFID:
        // IsDialogMessage asks on Enter, and presses the button named.
        return self->m_default ? MAKELRESULT(::GetDlgCtrlID(self->m_default), DC_HASDEFID) : 0;
    case WM_ACTIVATE:
        self->onActivate(LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam));
        return 0;
    case WM_SIZE:
        // The system hides a dialog while its owner is minimized and shows
        // it again on restoring; made sure of here, since the dialog is
        // still running and the window takes no input without it.
        if (wParam == SIZE_RESTORED && self->m_modal)
            ::ShowWindow(self->m_modal, SW_SHOWNA);
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_CLOSE:
        self->FormClose();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void Tform_Main::onActivate(bool active)
{
    // As a dialog does: the control that had the focus gets it back, or the
    // first one Tab reaches.
    if (!active) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(m_hwnd, focus))
            m_focus = focus;
        return;
    }
    HWND to = m_focus;
    if (!to || !::IsWindowVisible(to) || !::IsWindowEnabled(to))
        to = ::GetNextDlgTabItem(m_hwnd, nullptr, FALSE);
    ::SetFocus(to ? to : m_hwnd);
}

void Tform_Main::onCommand(int id, int code, HWND control)
{
    // The button with the focus is the default one: drawn so, and the one
    // DM_GETDEFID names.
    if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
        m_default = code == BN_SETFOCUS ? control : nullptr;
        ::SendMessageW(control, BM_SETSTYLE, code == BN_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                       TRUE);
        return;
    }
    // BS_NOTIFY also turns a second click soon after the first into
    // BN_DOUBLECLICKED; to the operator it is a click like any other (a stop
    // pressed right after a start).
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED)
        return;
    switch (id) {
    case IDC_btn_OneReadCard:
        m_controller.btn_OneReadCardClick();
        break;
    case IDC_btn_CycleReadCard:
        m_controller.btn_CycleReadCardClick();
        break;
    case IDC_SetBtn:
        SetBtnClick();
        break;
    case IDC_btn_Config:
        btn_ConfigClick();
        break;
    default:
        break;
    }
}

void Tform_Main::FormClose()
{
    m_controller.FormClose();
    ::DestroyWindow(m_hwnd);
}

void Tform_Main::pause(int milliseconds, PendingStatuses pending)
{
    ::Sleep(static_cast<DWORD>(milliseconds));
    if (pending == PendingStatuses::Hold)
        return;
    // PeekMessage delivers the messages the reading thread sent meanwhile.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!::IsDialogMessageW(m_hwnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void Tform_Main::SetBtnClick()
{
    if (!m_settings)
        return;
    m_modal = m_settings->handle();
    m_settings->ShowModal(m_hwnd);
    m_modal = nullptr;
}

void Tform_Main::btn_ConfigClick()
{
    if (!m_about)
        return;
    m_modal = m_about->handle();
    m_about->ShowModal(m_hwnd);
    m_modal = nullptr;
}

void Tform_Main::ShowCardInfo(const CardViewContent& content)
{
    showFace(content.face);
    // The content lists every label: those of other faces come first, hidden.
    for (const CardText& text : content.texts) {
        const auto it = m_cardLabels.find(text.control);
        if (it == m_cardLabels.end())
            continue;
        if (!text.visible) {
            ::ShowWindow(it->second, SW_HIDE);
            continue;
        }
        const RECT at = ScaledRect(text.place);
        ::SetWindowPos(it->second, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | (text.place.width == 0 ? SWP_NOSIZE : 0));
        m_drawn.setColour(it->second, text.colour == CardColour::WindowText
                                          ? ::GetSysColor(COLOR_WINDOWTEXT)
                                      : text.colour == CardColour::Red ? RGB(255, 0, 0)
                                                                       : RGB(0, 0, 0));
        m_drawn.setText(it->second, text.text);
        ::ShowWindow(it->second, SW_SHOWNA);
    }

    // A photo that cannot be decoded stays hidden; the card's data stands
    // without it.
    ::ShowWindow(PhotoPanel, SW_HIDE);
    if (!content.photo)
        return;
    Picture photo = PictureFromBmp(content.photo, content.photoSize);
    if (!photo) {
        ReportDiagnostic(DiagArea::Photo, "the card's bitmap cannot be decoded");
        return;
    }
    m_photo = std::move(photo);
    const UiLayout::Rect place = PhotoPlace(m_photo.width, m_photo.height);
    const RECT panel = ScaledRect(place);
    ::SetWindowPos(PhotoPanel, nullptr, panel.left, panel.top, panel.right - panel.left,
                   panel.bottom - panel.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(PhotoImage, nullptr, 0, 0, panel.right - panel.left, panel.bottom - panel.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    // At its own size from the panel's corner; the panel shows no more than
    // the photo's place.
    m_photoBackdrop = Backdrop();
    m_photoBackdrop.add(&m_photo, RECT{0, 0, Scaled(m_photo.width), Scaled(m_photo.height)});
    const auto rects = PhotoRegionRects(m_photo.pixels, m_photo.width, m_photo.height,
                                        static_cast<std::size_t>(m_photo.width));
    // The window owns the region from here on.
    ::SetWindowRgn(PhotoPanel, photoRegion(rects), TRUE);
    ::ShowWindow(PhotoPanel, SW_SHOWNA);
    ::InvalidateRect(PhotoImage, nullptr, FALSE);
}

void Tform_Main::showFace(CardFace face)
{
    if (face == m_face)
        return;
    m_face = face;
    const int resource = face == CardFace::ForeignPermanent  ? IDB_CARDFACE_FOREIGN
                         : face == CardFace::ResidencePermit ? IDB_CARDFACE_PERMIT
                         : face == CardFace::Unsupported     ? IDB_CARDFACE_PLAIN
                                                             : IDB_CARDFACE;
    // The backdrop holds the picture by address: it is replaced in place.
    m_cardFace = PictureFromResource(resource);
    setBirthdayMarks(m_cardBackdrop, face, m_cardDataFont.get(), m_cardLineFont.get());
    ::InvalidateRect(p_IDCardInfo, nullptr, TRUE);
}

void Tform_Main::setGlyph(HWND button, HIMAGELIST glyph)
{
    BUTTON_IMAGELIST list{glyph, RECT{Scaled(4), 0, 0, 0}, BUTTON_IMAGELIST_ALIGN_LEFT};
    ::SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
    ::InvalidateRect(button, nullptr, TRUE);
}

void Tform_Main::render(const MainView& v)
{
    const bool all = !m_rendered;
    m_rendered = true;
    if (all || v.caption != m_shown.caption)
        ::SetWindowTextW(m_hwnd, Wide(v.caption).c_str());
    if (all || v.portText != m_shown.portText)
        ::SetWindowTextW(StatusPanel0, Wide(v.portText).c_str());
    if (all || v.samCaption != m_shown.samCaption)
        ::SetWindowTextW(StatusPanel1, Wide(v.samCaption).c_str());
    if (all || v.samId != m_shown.samId)
        ::SetWindowTextW(SamIdEdit, Wide(v.samId).c_str());
    if (all || v.cycleCaption != m_shown.cycleCaption)
        ::SetWindowTextW(btn_CycleReadCard, Wide(v.cycleCaption).c_str());
    if (all || v.cycleGlyph != m_shown.cycleGlyph)
        setGlyph(btn_CycleReadCard, il_ActionStatus[v.cycleGlyph == 1 ? 1 : 0].get());
    if (all || v.oneReadEnabled != m_shown.oneReadEnabled)
        ::EnableWindow(btn_OneReadCard, v.oneReadEnabled);
    if (all || v.statusBarVisible != m_shown.statusBarVisible)
        ::ShowWindow(sb_Status, v.statusBarVisible ? SW_SHOWNA : SW_HIDE);
    if (all || v.cardVisible != m_shown.cardVisible)
        ::ShowWindow(p_IDCardInfo, v.cardVisible ? SW_SHOWNA : SW_HIDE);
    if (all || v.hasCardVisible != m_shown.hasCardVisible)
        ::ShowWindow(i_HasCard, v.hasCardVisible ? SW_SHOWNA : SW_HIDE);
    // The information line last: once it says what happened, the rest of the
    // window already shows it, also to a program that reads the window from
    // outside (an accessibility tool, the end-to-end test) between two calls.
    if (all || v.info != m_shown.info)
        m_drawn.setText(l_Info, v.info);
    m_shown = v;
}
