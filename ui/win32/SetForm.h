#pragma once
// The settings dialog on Win32: port list, current mode, read interval. It
// renders the presentation layer's SettingsView and passes the operator's
// actions to SettingsModel, which decides and writes the settings file.

#include <windows.h>

#include "present/settings_model.h"
#include "ui/win32/win32_gdi.h"

class TSetFrm
{
public:
    static constexpr const wchar_t* kClassName = L"TSetFrm";
    static void Register(HINSTANCE instance);

    // Created hidden, owned by `owner`; lives for the whole run.
    explicit TSetFrm(HWND owner);
    TSetFrm(const TSetFrm&) = delete;
    TSetFrm& operator=(const TSetFrm&) = delete;

    HWND handle() const { return m_hwnd; }
    // Every showing starts afresh from the settings file.
    void ShowModal(HWND owner);

private:
    template <typename T> friend T* WindowObject(HWND hwnd, UINT msg, LPARAM lParam);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SleepEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR data);

    void buildLayout();
    void FormShow();
    void onCommand(int id, int code);
    void OkBtnClick();
    void ExitBtnClick();
    void render();

    HWND m_hwnd = nullptr;
    SettingsModel m_model;
    FontHandle m_songFont, m_smallFont;
    OwnerDrawn m_drawn;

    HWND GroupBox1 = nullptr, Label1 = nullptr, PortCbx = nullptr, Label4 = nullptr,
         CurLb = nullptr, Label3 = nullptr, SleepEdit = nullptr, Label5 = nullptr,
         SaveError = nullptr, Panel1 = nullptr, OkBtn = nullptr, ExitBtn = nullptr;
};
