#include "ui/win32/win32_gdi.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "ui/win32/bmp_pixels.h"

namespace {

int g_dpi = 96;

// Releases one COM interface.
template <typename T> class ComPtr
{
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (m_p)
            m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }
    T** out() { return &m_p; }

private:
    T* m_p = nullptr;
};

Picture blankPicture(int width, int height)
{
    Picture picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture.bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture.bitmap.get())
        return Picture{};
    picture.width = width;
    picture.height = height;
    picture.pixels = static_cast<std::uint32_t*>(bits);
    return picture;
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return ::SendMessageW(::GetParent(hwnd), msg, wParam, lParam);
    case WM_ERASEBKGND: {
        RECT r;
        ::GetClientRect(hwnd, &r);
        const LONG_PTR ground = ::GetWindowLongPtrW(hwnd, GWLP_USERDATA);
        BrushHandle brush(
            ::CreateSolidBrush(ground ? COLORREF(ground - 1) : ::GetSysColor(COLOR_BTNFACE)));
        ::FillRect(reinterpret_cast<HDC>(wParam), &r, brush.get());
        return 1;
    }
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

int CALLBACK noteBold(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found)
{
    if (font->lfWeight < FW_SEMIBOLD)
        return 1; // go on
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether the installed face that `font` was mapped to has a bold style of
// its own.
bool hasOwnBold(HFONT font)
{
    HDC dc = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, font);
    LOGFONTW face{};
    face.lfCharSet = DEFAULT_CHARSET;
    ::GetTextFaceW(dc, LF_FACESIZE, face.lfFaceName);
    ::SelectObject(dc, old);
    bool found = false;
    ::EnumFontFamiliesExW(dc, &face, noteBold, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found;
}

} // namespace

MemoryDc::MemoryDc(HDC like, HBITMAP bitmap)
    : m_dc(::CreateCompatibleDC(like)), m_old(::SelectObject(m_dc, bitmap))
{
}

MemoryDc::~MemoryDc()
{
    ::SelectObject(m_dc, m_old);
    ::DeleteDC(m_dc);
}

void InitScale()
{
    HDC screen = ::GetDC(nullptr);
    g_dpi = std::max(96, ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
}

int Scaled(int pixels)
{
    return ::MulDiv(pixels, g_dpi, 96);
}

RECT ScaledRect(const UiLayout::Rect& r, int dx, int dy)
{
    const int left = Scaled(r.x + dx);
    const int top = Scaled(r.y + dy);
    return RECT{left, top, left + Scaled(r.width), top + Scaled(r.height)};
}

FontHandle CreateLayoutFont(const UiLayout::Font& font)
{
    // A negative height asks for the character height in pixels, as the
    // layer gives it. Every text the windows show is Chinese: asking for the
    // GB2312 character set makes the font mapper pick a face that has the
    // characters where the named one lacks them ("MS Sans Serif" is a
    // Western bitmap face).
    return FontHandle(::CreateFontW(
        -Scaled(font.pixelSize), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, font.underline,
        FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_DONTCARE, Wide(font.family).c_str()));
}

bool NeedsSecondStrike(HFONT font)
{
    LOGFONTW asked{};
    if (!font || !::GetObjectW(font, sizeof(asked), &asked) || asked.lfWeight < FW_SEMIBOLD ||
        hasOwnBold(font))
        return false;
    // A sample character drawn black on white: a crisp bold has only those
    // two colours, a smoothed one shades between them.
    constexpr int kSize = 32;
    Picture sample = blankPicture(kSize, kSize);
    if (!sample)
        return false;
    MemoryDc dc(nullptr, sample.bitmap.get());
    const RECT all{0, 0, kSize, kSize};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    const HGDIOBJ old = ::SelectObject(dc.get(), font);
    ::SetBkMode(dc.get(), TRANSPARENT);
    ::SetTextColor(dc.get(), RGB(0, 0, 0));
    ::TextOutW(dc.get(), 2, 2, L"\u56fd", 1); // 国
    ::SelectObject(dc.get(), old);
    ::GdiFlush();
    return std::any_of(sample.pixels, sample.pixels + kSize * kSize, [](std::uint32_t pixel) {
        const std::uint32_t rgb = pixel & 0xffffffu;
        return rgb != 0 && rgb != 0xffffffu;
    });
}

COLORREF FromRgb(unsigned rrggbb)
{
    return RGB((rrggbb >> 16) & 0xff, (rrggbb >> 8) & 0xff, rrggbb & 0xff);
}

Picture PictureFromBmp(const unsigned char* bytes, std::size_t size)
{
    const std::optional<BmpPixels> bmp = DecodeBmp(bytes, size);
    if (!bmp)
        return Picture{};
    Picture picture = blankPicture(bmp->width, bmp->height);
    if (picture)
        std::memcpy(picture.pixels, bmp->pixels.data(),
                    bmp->pixels.size() * sizeof(bmp->pixels[0]));
    return picture;
}

Picture PictureFromImageFile(const unsigned char* bytes, std::size_t size)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.out()))) ||
        FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())) ||
        FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0)
        return Picture{};
    Picture picture = blankPicture(static_cast<int>(width), static_cast<int>(height));
    if (picture && FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                                reinterpret_cast<BYTE*>(picture.pixels))))
        return Picture{};
    return picture;
}

std::string_view ResourceBytes(int id)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return {static_cast<const char*>(data), ::SizeofResource(nullptr, found)};
}

Picture PictureFromResource(int id)
{
    const std::string_view bytes = ResourceBytes(id);
    return PictureFromImageFile(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

void DrawPicture(HDC dc, const Picture& picture, const RECT& place)
{
    if (!picture)
        return;
    MemoryDc source(dc, picture.bitmap.get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // gdi32's own blend: msimg32, which exports AlphaBlend, is no system-only
    // DLL, and a copy of it beside the program would be loaded at start.
    ::GdiAlphaBlend(dc, place.left, place.top, place.right - place.left, place.bottom - place.top,
                    source.get(), 0, 0, picture.width, picture.height, blend);
}

void Backdrop::paint(HDC dc, const RECT& area) const
{
    if (m_under) {
        RECT below = area;
        ::OffsetRect(&below, m_offset.x, m_offset.y);
        m_under->paint(dc, below);
    } else {
        BrushHandle brush(::CreateSolidBrush(m_ground));
        const RECT all{0, 0, area.right - area.left, area.bottom - area.top};
        ::FillRect(dc, &all, brush.get());
    }
    for (const Layer& layer : m_layers) {
        RECT place = layer.place;
        ::OffsetRect(&place, -area.left, -area.top);
        DrawPicture(dc, *layer.picture, place);
    }
    ::SetBkMode(dc, TRANSPARENT);
    for (const Text& text : m_texts) {
        const HGDIOBJ old = ::SelectObject(dc, text.font);
        ::SetTextColor(dc, text.colour);
        ::TextOutW(dc, text.at.x - area.left, text.at.y - area.top, text.text.c_str(),
                   static_cast<int>(text.text.size()));
        ::SelectObject(dc, old);
    }
}

void OwnerDrawn::setColour(HWND control, COLORREF colour)
{
    auto it = m_styles.find(control);
    if (it == m_styles.end() || it->second.colour == colour)
        return;
    it->second.colour = colour;
    ::InvalidateRect(control, nullptr, FALSE);
}

void OwnerDrawn::setText(HWND control, std::string_view utf8)
{
    const std::wstring text = Wide(utf8);
    auto it = m_styles.find(control);
    if (it != m_styles.end() && it->second.sizeToText) {
        HDC dc = ::GetDC(control);
        const HGDIOBJ old = ::SelectObject(dc, it->second.font);
        RECT r{0, 0, 0, 0};
        if (!text.empty())
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                        DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
        ::SelectObject(dc, old);
        ::ReleaseDC(control, dc);
        if (it->second.secondStrike && r.right > 0)
            ++r.right;
        ::SetWindowPos(control, nullptr, 0, 0, r.right, r.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SetWindowTextW(control, text.c_str());
    ::InvalidateRect(control, nullptr, FALSE);
}

bool OwnerDrawn::draw(const DRAWITEMSTRUCT& item) const
{
    const auto it = m_styles.find(item.hwndItem);
    if (it == m_styles.end())
        return false;
    const Style& style = it->second;
    RECT client;
    ::GetClientRect(item.hwndItem, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0)
        return true;

    // Drawn off screen in one piece, then copied: no flicker when the text
    // changes over a picture.
    BitmapHandle buffer(::CreateCompatibleBitmap(item.hDC, width, height));
    MemoryDc dc(item.hDC, buffer.get());
    RECT area = client;
    ::MapWindowPoints(item.hwndItem, ::GetParent(item.hwndItem), reinterpret_cast<POINT*>(&area),
                      2);
    if (style.backdrop) {
        style.backdrop->paint(dc.get(), area);
    } else {
        BrushHandle ground(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
        ::FillRect(dc.get(), &client, ground.get());
    }

    const int length = ::GetWindowTextLengthW(item.hwndItem);
    if (length > 0 && style.font) {
        std::wstring text(length + 1, L'\0');
        text.resize(::GetWindowTextW(item.hwndItem, &text[0], length + 1));
        const HGDIOBJ old = ::SelectObject(dc.get(), style.font);
        ::SetBkMode(dc.get(), TRANSPARENT);
        ::SetTextColor(dc.get(), style.colour);
        RECT place = client;
        UINT format = style.format;
        if ((format & DT_VCENTER) && (format & DT_WORDBREAK)) {
            // DrawText centres only single lines; a wrapped text is centred by
            // its measured height.
            RECT measured = client;
            ::DrawTextW(dc.get(), text.c_str(), -1, &measured, format | DT_CALCRECT);
            place.top += std::max(0L, (height - (measured.bottom - measured.top)) / 2);
            format &= ~DT_VCENTER;
        }
        ::DrawTextW(dc.get(), text.c_str(), -1, &place, format);
        if (style.secondStrike) {
            ::OffsetRect(&place, 1, 0);
            ::DrawTextW(dc.get(), text.c_str(), -1, &place, format);
        }
        ::SelectObject(dc.get(), old);
    }
    ::BitBlt(item.hDC, 0, 0, width, height, dc.get(), 0, 0, SRCCOPY);
    return true;
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HICON icon)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
}

void RegisterPanelClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = panelProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = kPanelClass;
    ::RegisterClassExW(&wc);
}

HWND CreatePanel(HWND parent, int id, const RECT& place, COLORREF ground, DWORD exStyle)
{
    HWND panel = ::CreateWindowExW(
        exStyle | WS_EX_CONTROLPARENT, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
        place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (ground != CLR_INVALID)
        ::SetWindowLongPtrW(panel, GWLP_USERDATA, static_cast<LONG_PTR>(ground) + 1);
    return panel;
}

HWND CreateControl(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style,
                   int id, const RECT& place, HFONT font, DWORD exStyle)
{
    HWND control = ::CreateWindowExW(
        exStyle, windowClass, Wide(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, place.left,
        place.top, place.right - place.left, place.bottom - place.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (font)
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

RECT FrameRect(DWORD style, DWORD exStyle, int width, int height, HWND over)
{
    RECT frame{0, 0, Scaled(width), Scaled(height)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT area;
    if (over && ::IsWindowVisible(over))
        ::GetWindowRect(over, &area);
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int w = frame.right - frame.left;
    const int h = frame.bottom - frame.top;
    const int left = area.left + ((area.right - area.left) - w) / 2;
    const int top = area.top + ((area.bottom - area.top) - h) / 2;
    return RECT{left, top, left + w, top + h};
}

namespace {
constexpr wchar_t kModalEnded[] = L"ZuviModalEnded";
} // namespace

void RunModal(HWND dialog, HWND owner)
{
    ::RemovePropW(dialog, kModalEnded);
    ::EnableWindow(owner, FALSE);
    ::ShowWindow(dialog, SW_SHOW);
    ::SetForegroundWindow(dialog);
    MSG msg;
    while (::IsWindow(dialog) && !::GetPropW(dialog, kModalEnded)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!::IsDialogMessageW(dialog, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // The owner is enabled before the dialog goes, so the system activates
    // it rather than another program's window.
    ::EnableWindow(owner, TRUE);
    ::ShowWindow(dialog, SW_HIDE);
    ::SetActiveWindow(owner);
}

void EndModal(HWND dialog)
{
    // RunModal looks at the mark after the message being handled and hides
    // the dialog once its owner takes input again.
    ::SetPropW(dialog, kModalEnded, reinterpret_cast<HANDLE>(1));
}
