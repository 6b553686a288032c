#pragma once
// The main window on Win32: read buttons, information line, card view and
// status bar, rendered from the presentation layer's MainView and
// CardViewContent. It owns the reading thread, which reports each status by
// SendMessage of WM_READSTATE, so the status is handled here while the thread
// waits (the card record it filled just before is safe to read).

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <array>
#include <map>
#include <memory>
#include <string>

#include "present/card_view_model.h"
#include "present/main_controller.h"
#include "reader/termb_loader.h"
#include "ui/win32/win32_gdi.h"

class TSetFrm;
class Tform_About;

// Owns one image list.
class ImageListHandle
{
public:
    ImageListHandle() = default;
    explicit ImageListHandle(HIMAGELIST list) : m_list(list) {}
    ~ImageListHandle() { reset(nullptr); }
    ImageListHandle(const ImageListHandle&) = delete;
    ImageListHandle& operator=(const ImageListHandle&) = delete;
    HIMAGELIST get() const { return m_list; }
    void reset(HIMAGELIST list)
    {
        if (m_list)
            ::ImageList_Destroy(m_list);
        m_list = list;
    }

private:
    HIMAGELIST m_list = nullptr;
};

class Tform_Main : private MainWindowHost
{
public:
    static constexpr const wchar_t* kClassName = L"Tform_Main";
    static void Register(HINSTANCE instance);

    // Creates the window hidden. `library` drives the reading thread; the
    // presenter names it in the caption and the information line. With
    // `missing`, the library stands in for that one, which could not be
    // loaded, and the information line says so.
    explicit Tform_Main(const TermbLibrary& library, const TermbLibrary* missing = nullptr);
    ~Tform_Main();
    Tform_Main(const Tform_Main&) = delete;
    Tform_Main& operator=(const Tform_Main&) = delete;

    HWND handle() const { return m_hwnd; }
    void setDialogs(Tform_About* about, TSetFrm* settings);
    // Creates and starts the reading thread, then shows the window.
    void Show();
    // Shows, restores and brings the window to the front, or the dialog open
    // over it (a later copy asks).
    void BringToFront();

private:
    template <typename T> friend T* WindowObject(HWND hwnd, UINT msg, LPARAM lParam);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    void buildLayout();
    void FormClose();
    void SetBtnClick();
    void btn_ConfigClick();
    void onCommand(int id, int code, HWND control);
    // WM_ACTIVATE: keeps the focused control while another window is active.
    void onActivate(bool active);
    // MainWindowHost: what the presentation layer decided, on screen.
    void render(const MainView& v) override;
    void ShowCardInfo(const CardViewContent& content) override;
    void pause(int milliseconds, PendingStatuses pending) override;
    void setGlyph(HWND button, HIMAGELIST glyph);
    // Image4 shows the picture of `face`.
    void showFace(CardFace face);

    HWND m_hwnd = nullptr;
    MainController m_controller;
    Tform_About* m_about = nullptr;
    TSetFrm* m_settings = nullptr;
    HWND m_modal = nullptr;   // the dialog shown modally over the window, if any
    HWND m_focus = nullptr;   // the control that had the focus when last active
    HWND m_default = nullptr; // the button that has the focus, which Enter presses
    MainView m_shown;         // what render() last put on screen
    bool m_rendered = false;

    FontHandle m_mainFont, m_songFont, m_infoFont, m_cardDataFont, m_cardLineFont;
    Picture m_banner, m_strip, m_pale, m_waves, m_hand, m_cardFace, m_photo;
    CardFace m_face = CardFace::IdCard; // the face m_cardFace holds
    ImageListHandle m_settingsGlyph, m_aboutGlyph;
    std::array<ImageListHandle, 2> il_ActionStatus; // 0 start, 1 stop
    Backdrop m_topBackdrop, m_stripBackdrop, m_pageBackdrop, m_hasCardBackdrop, m_cardBackdrop,
        m_photoBackdrop;
    OwnerDrawn m_drawn;
    std::map<std::string, HWND> m_cardLabels; // the card view's labels by control name

    HWND Panel2 = nullptr, Image1 = nullptr, Panel3 = nullptr, Image2 = nullptr, Panel9 = nullptr;
    HWND SetBtn = nullptr, btn_Config = nullptr;
    HWND GroupBox1 = nullptr, btn_OneReadCard = nullptr, btn_CycleReadCard = nullptr;
    HWND GroupBox2 = nullptr, pc_Page = nullptr, ts_Device = nullptr, ts_NoDevice = nullptr;
    HWND i_bg1 = nullptr, i_bg2 = nullptr, i_bg3 = nullptr, i_HasCard = nullptr;
    HWND p_IDCardInfo = nullptr, Image4 = nullptr, PhotoPanel = nullptr, PhotoImage = nullptr;
    HWND l_Info = nullptr;
    HWND sb_Status = nullptr, StatusPanel0 = nullptr, StatusPanel1 = nullptr,
         StatusPanel2 = nullptr, SamIdEdit = nullptr;
};
