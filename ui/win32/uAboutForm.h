#pragma once
// The about box on Win32: the layer's texts over the about picture (a JPEG
// drawn at build time, decoded by the system's imaging component), a link
// that opens in the browser, and a click on the picture that closes it.

#include <windows.h>

#include "ui/win32/win32_gdi.h"

class Tform_About
{
public:
    static constexpr const wchar_t* kClassName = L"Tform_About";
    static void Register(HINSTANCE instance);

    // Created hidden, owned by `owner`; its texts are set once, here.
    explicit Tform_About(HWND owner);
    Tform_About(const Tform_About&) = delete;
    Tform_About& operator=(const Tform_About&) = delete;

    HWND handle() const { return m_hwnd; }
    void ShowModal(HWND owner);

private:
    template <typename T> friend T* WindowObject(HWND hwnd, UINT msg, LPARAM lParam);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    void FormCreate();
    void onCommand(int id, int code);
    bool onSetCursor(HWND over);
    void i_AboutClick();
    void l_WebSiteClick();

    HWND m_hwnd = nullptr;
    FontHandle m_font, m_linkFont;
    Picture m_picture;
    Backdrop m_backdrop;
    OwnerDrawn m_drawn;

    HWND i_About = nullptr, l_AppName = nullptr, l_Version = nullptr, l_Company = nullptr,
         l_Address = nullptr, l_Telephone = nullptr, l_WebSite = nullptr;
};
