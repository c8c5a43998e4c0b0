#include "controls/win32/status_display.h"

#include <windows.h>
// The system's GUI headers need <windows.h> before them.
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "controls/win32/artwork.h"

namespace velkor::win32 {
namespace {

using DotModel = controls::StatusDisplayModel;

constexpr int kDotBitmap = 135;
constexpr int kEdge = controls::kDotFrame;  // the sunken client edge around the dots
constexpr UINT_PTR kSubclassId = 0x5354;
constexpr UINT_PTR kScrollTimer = 1;

// Draws a character in the sign's 12-pixel "宋体" into a white cell and samples the black
// pixels. Without smoothing: a dot is either lit or not, grey edge pixels would light at random.
class GdiGlyphRasteriser : public controls::GlyphRasteriser {
  public:
    GdiGlyphRasteriser() {
        font_ = CreateFontW(-DotModel::kRows, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            NONANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN, L"宋体");
    }
    ~GdiGlyphRasteriser() override {
        if (font_ != nullptr) DeleteObject(font_);
    }
    GdiGlyphRasteriser(const GdiGlyphRasteriser&) = delete;
    GdiGlyphRasteriser& operator=(const GdiGlyphRasteriser&) = delete;

    void Render(char32_t character, int width, std::uint8_t* cell) override {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -DotModel::kRows;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dc == nullptr || bitmap == nullptr) {
            if (bitmap != nullptr) DeleteObject(bitmap);
            if (dc != nullptr) DeleteDC(dc);
            return;  // the character stays blank
        }
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldFont = SelectObject(dc, font_);
        const RECT all{0, 0, width, DotModel::kRows};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        wchar_t text[2];
        int length = 1;
        if (character >= 0x10000) {
            const char32_t v = character - 0x10000;
            text[0] = static_cast<wchar_t>(0xD800 + (v >> 10));
            text[1] = static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
            length = 2;
        } else {
            text[0] = static_cast<wchar_t>(character);
        }
        // Narrow glyphs of a proportional substitute are centred in their cell.
        SIZE extent{};
        GetTextExtentPoint32W(dc, text, length, &extent);
        const int x = std::max(0, (width - static_cast<int>(extent.cx)) / 2);
        ExtTextOutW(dc, x, 0, ETO_CLIPPED, &all, text, static_cast<UINT>(length), nullptr);
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        for (int i = 0; i < width * DotModel::kRows; ++i) {
            const std::uint32_t p = pixels[i];
            const int grey = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
            cell[i] = grey < 128 ? 1 : 0;
        }
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }

  private:
    HFONT font_ = nullptr;
};

std::uint32_t Pixel(COLORREF c) {
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

}  // namespace

StatusDisplay::StatusDisplay()
    : rasteriser_(std::make_unique<GdiGlyphRasteriser>()),
      model_(std::make_unique<DotModel>(*rasteriser_)) {
    BuildCells();
}

StatusDisplay::~StatusDisplay() {
    if (hwnd_ != nullptr) {
        KillTimer(hwnd_, kScrollTimer);
        RemoveWindowSubclass(hwnd_, &StatusDisplay::Proc, kSubclassId);
    }
}

void StatusDisplay::Attach(HWND control) {
    hwnd_ = control;
    SetWindowSubclass(hwnd_, &StatusDisplay::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) | SS_NOTIFY);
}

void StatusDisplay::SetDotStyle(int style) {
    // Only the 3 x 3 style exists; its cells come from bitmap 135.
    if (style != controls::kDotCell) return;
    dot_ = style;
    BuildCells();
    if (hwnd_ == nullptr) return;
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    SetWindowPos(hwnd_, nullptr, 0, 0, DotModel::kColumns * dot_ + 2 * kEdge,
                 DotModel::kRows * dot_ + 2 * kEdge,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void StatusDisplay::SetColours(COLORREF background, COLORREF lit, COLORREF dark) {
    background_ = background;
    lit_ = lit;
    dark_ = dark;
    BuildCells();
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

// The dot bitmap is a strip of two cells, dark then lit, its pixels drawn in the colour of
// their role.
void StatusDisplay::BuildCells() {
    const std::size_t cellPixels = static_cast<std::size_t>(dot_) * dot_;
    darkCell_.assign(cellPixels, Pixel(dark_));
    litCell_.assign(cellPixels, Pixel(lit_));
    HBITMAP bitmap = LoadArtworkBitmap(kDotBitmap);
    if (bitmap == nullptr) return;  // plain squares of the two colours
    BITMAP shape{};
    GetObjectW(bitmap, sizeof(shape), &shape);
    if (shape.bmWidth == 2 * dot_ && shape.bmHeight == dot_) {
        std::vector<std::uint32_t> strip(cellPixels * 2);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 2 * dot_;
        info.bmiHeader.biHeight = -dot_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC dc = GetDC(nullptr);
        const int rows =
            GetDIBits(dc, bitmap, 0, static_cast<UINT>(dot_), strip.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        if (rows == dot_) {
            for (int y = 0; y < dot_; ++y) {
                for (int x = 0; x < 2 * dot_; ++x) {
                    const std::uint32_t v = strip[y * 2 * dot_ + x];
                    std::uint32_t p = Pixel(background_);
                    switch (controls::ClassifyDotBitmapPixel((v >> 16) & 0xFF, (v >> 8) & 0xFF,
                                                             v & 0xFF)) {
                        case controls::DotPixel::Lit:
                            p = Pixel(lit_);
                            break;
                        case controls::DotPixel::Dark:
                            p = Pixel(dark_);
                            break;
                        case controls::DotPixel::Background:
                            break;
                    }
                    auto& cell = x < dot_ ? darkCell_ : litCell_;
                    cell[y * dot_ + x % dot_] = p;
                }
            }
        }
    }
    DeleteObject(bitmap);
}

void StatusDisplay::SetText(std::string_view utf8) {
    model_->SetText(utf8);
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

void StatusDisplay::ShowBar(int litColumns) {
    model_->ShowBar(litColumns);
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

void StatusDisplay::StartScrolling(int stepMs) {
    if (!model_->StartScrolling(stepMs)) return;
    if (hwnd_ != nullptr)
        SetTimer(hwnd_, kScrollTimer, static_cast<UINT>(std::abs(stepMs)), nullptr);
}

void StatusDisplay::StopScrolling() {
    if (!model_->StopScrolling()) return;
    if (hwnd_ != nullptr) KillTimer(hwnd_, kScrollTimer);
}

void StatusDisplay::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = std::max<int>(client.right, 1);
    const int height = std::max<int>(client.bottom, 1);
    std::vector<std::uint32_t> image(static_cast<std::size_t>(width) * height, Pixel(background_));
    for (int row = 0; row < DotModel::kRows; ++row) {
        for (int column = 0; column < DotModel::kColumns; ++column) {
            const auto& cell = model_->Lit(column, row) ? litCell_ : darkCell_;
            for (int y = 0; y < dot_; ++y) {
                const int py = row * dot_ + y;
                if (py >= height) break;
                for (int x = 0; x < dot_; ++x) {
                    const int px = column * dot_ + x;
                    if (px >= width) break;
                    image[static_cast<std::size_t>(py) * width + px] = cell[y * dot_ + x];
                }
            }
        }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), image.data(), &info, DIB_RGB_COLORS);
}

LRESULT CALLBACK StatusDisplay::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<StatusDisplay*>(data);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            self->Paint(dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            self->Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == kScrollTimer) {
                self->model_->Tick();
                InvalidateRect(hwnd, nullptr, FALSE);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            KillTimer(hwnd, kScrollTimer);
            RemoveWindowSubclass(hwnd, &StatusDisplay::Proc, kSubclassId);
            self->hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace velkor::win32
