#pragma once
// What the three Win32 windows share: UTF-8 to UTF-16, the layer's 96-dpi
// pixel layout scaled to the screen, RAII holders of GDI and COM objects,
// pictures decoded into 32-bit DIBs and drawn with their alpha, owner-drawn
// labels and pictures over backdrops, and the plain container window the
// panels are made of.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16.h"
#include "present/layout.h"

// Short names of base's UTF-8 / UTF-16 conversion, as the windows use them.
inline std::wstring Wide(std::string_view utf8)
{
    return WideFromUtf8(utf8);
}
inline std::string Utf8(std::wstring_view wide)
{
    return Utf8FromWide(wide);
}

// Owns one GDI object and deletes it.
template <typename Handle> class GdiObject
{
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : m_handle(other.release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return m_handle; }
    Handle release()
    {
        Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void reset(Handle handle = nullptr)
    {
        if (m_handle)
            ::DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};
using FontHandle = GdiObject<HFONT>;
using BrushHandle = GdiObject<HBRUSH>;
using BitmapHandle = GdiObject<HBITMAP>;
using RegionHandle = GdiObject<HRGN>;

// A memory DC compatible with `like`, with `bitmap` selected for its life.
class MemoryDc
{
public:
    MemoryDc(HDC like, HBITMAP bitmap);
    ~MemoryDc();
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// The layer lays the windows out in pixels at 96 dpi; the program is DPI
// aware and scales every place and font by the screen's dpi.
void InitScale();
int Scaled(int pixels);
// `r` moved by (dx, dy), both in layout pixels, then scaled.
RECT ScaledRect(const UiLayout::Rect& r, int dx = 0, int dy = 0);
FontHandle CreateLayoutFont(const UiLayout::Font& font);
// Whether text in `font` needs a second strike, one pixel to the right, to
// read as bold: true for a bold font whose face has no bold of its own (as
// "宋体" has none) where the system's synthesized bold comes out smoothed.
// A crisp synthesized bold reads bold; a smoothed one, as Wine draws it,
// thickens the strokes so little that the text reads as regular.
bool NeedsSecondStrike(HFONT font);
COLORREF FromRgb(unsigned rrggbb);

// A picture as a top-down 32-bit DIB section with premultiplied alpha.
struct Picture
{
    BitmapHandle bitmap;
    int width = 0;
    int height = 0;
    std::uint32_t* pixels = nullptr; // 0xAARRGGBB, rows top-down, `width` apart

    explicit operator bool() const { return bitmap.get() != nullptr; }
};

// A Windows bitmap file in memory, 24 or 32 bits per pixel, uncompressed (the
// card photo the reader library writes). An empty picture when the bytes are
// no such bitmap.
Picture PictureFromBmp(const unsigned char* bytes, std::size_t size);
// Any image the system's decoders read (WIC): the embedded PNGs and the about
// box's JPEG.
Picture PictureFromImageFile(const unsigned char* bytes, std::size_t size);
// An RCDATA resource of the program, and the picture it holds.
std::string_view ResourceBytes(int id);
Picture PictureFromResource(int id);
// Draws `picture` stretched over `place`, blending by its alpha.
void DrawPicture(HDC dc, const Picture& picture, const RECT& place);

// The pictures behind a window's owner-drawn controls, in that window's client
// coordinates, over a plain ground or over the backdrop of the window below
// (`under`, where this window's origin lies at `offset`).
class Backdrop
{
public:
    void setGround(COLORREF colour) { m_ground = colour; }
    void setUnder(const Backdrop* under, POINT offset)
    {
        m_under = under;
        m_offset = offset;
    }
    void add(const Picture* picture, const RECT& place) { m_layers.push_back({picture, place}); }
    // A text drawn over the pictures, in `font` and `colour`, its top left
    // corner at `at`; cleared by clearTexts.
    void addText(std::wstring text, HFONT font, COLORREF colour, POINT at)
    {
        m_texts.push_back({std::move(text), font, colour, at});
    }
    void clearTexts() { m_texts.clear(); }

    // Paints the part `area` (client coordinates) into `dc` at its origin.
    void paint(HDC dc, const RECT& area) const;

private:
    struct Layer
    {
        const Picture* picture;
        RECT place;
    };
    struct Text
    {
        std::wstring text;
        HFONT font;
        COLORREF colour;
        POINT at;
    };
    COLORREF m_ground = ::GetSysColor(COLOR_BTNFACE);
    const Backdrop* m_under = nullptr;
    POINT m_offset{0, 0};
    std::vector<Layer> m_layers;
    std::vector<Text> m_texts;
};

// Owner-drawn statics (SS_OWNERDRAW): each paints its part of its parent's
// backdrop, then its own text. A picture is such a control without text whose
// backdrop holds the picture. Texts are the controls' window texts, so every
// tool that reads a control's text reads what is shown.
class OwnerDrawn
{
public:
    struct Style
    {
        const Backdrop* backdrop = nullptr;
        HFONT font = nullptr;
        COLORREF colour = ::GetSysColor(COLOR_WINDOWTEXT);
        UINT format = DT_LEFT | DT_TOP | DT_NOPREFIX;
        bool sizeToText = false;
        bool secondStrike = false; // NeedsSecondStrike(font)
    };

    void add(HWND control, const Style& style) { m_styles[control] = style; }
    void setColour(HWND control, COLORREF colour);
    // Sets the text (UTF-8) and, for a control sized to its text, its size.
    void setText(HWND control, std::string_view utf8);
    // WM_DRAWITEM; false for a control this does not draw.
    bool draw(const DRAWITEMSTRUCT& item) const;

private:
    std::map<HWND, Style> m_styles;
};

// Registers a top-level window class with the dialog colour as its ground.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc,
                         HICON icon = nullptr);

// The object of type T behind `hwnd`: bound once, from the creation
// parameter, when WM_NCCREATE arrives; null before.
template <typename T> T* WindowObject(HWND hwnd, UINT msg, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    return reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The window class of plain containers (panels, pages): they paint their
// ground and pass their children's notifications up to their parent, so the
// top-level window handles every control it holds.
inline constexpr wchar_t kPanelClass[] = L"ZuviPanel";
void RegisterPanelClass(HINSTANCE instance);
// A panel with `ground` colour, or the dialog colour for CLR_INVALID.
HWND CreatePanel(HWND parent, int id, const RECT& place, COLORREF ground = CLR_INVALID,
                 DWORD exStyle = 0);

// A child control in one call, with its font; `text` is UTF-8.
HWND CreateControl(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style,
                   int id, const RECT& place, HFONT font, DWORD exStyle = 0);

// The client size of a top-level window with `style` for a client area of
// `width` by `height` layout pixels, centred on `over` (the screen for null).
RECT FrameRect(DWORD style, DWORD exStyle, int width, int height, HWND over);

// Shows `dialog` modally over `owner` and returns once EndModal ended it.
// Sent messages (the reading thread's statuses) are handled meanwhile, and
// Tab moves between the dialog's controls. The dialog hidden in any other
// way (the system hides owned windows while their owner is minimized) is
// still running and shows again with its owner.
void RunModal(HWND dialog, HWND owner);
// Ends the modal showing of `dialog`: RunModal hides it and returns.
void EndModal(HWND dialog);
