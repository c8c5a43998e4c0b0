#include "controls/win32/flat_combo_box.h"

#include <commctrl.h>

namespace velkor::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x4643;
constexpr UINT_PTR kHoverTimer = 1;

}  // namespace

FlatComboBox::~FlatComboBox() {
    if (hwnd_ != nullptr) {
        KillTimer(hwnd_, kHoverTimer);
        RemoveWindowSubclass(hwnd_, &FlatComboBox::Proc, kSubclassId);
    }
}

void FlatComboBox::Attach(HWND control) {
    hwnd_ = control;
    SetWindowSubclass(hwnd_, &FlatComboBox::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

// Over the control's own painting: a two-pixel border and the drop-down button, flat in the
// button face, or raised while hovered (or while the list is open).
void FlatComboBox::DrawFrame() {
    RECT r{};
    GetClientRect(hwnd_, &r);
    HDC dc = GetDC(hwnd_);
    const bool raised = hovered_ || SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0) != 0;
    HBRUSH faceBrush = GetSysColorBrush(COLOR_BTNFACE);
    FrameRect(dc, &r, faceBrush);
    RECT inner = r;
    InflateRect(&inner, -1, -1);
    FrameRect(dc, &inner, faceBrush);
    if (raised) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
    const int thumb = GetSystemMetrics(SM_CXHTHUMB);
    RECT button{r.right - thumb - 2, r.top + 2, r.right - 2, r.bottom - 2};
    FillRect(dc, &button, faceBrush);
    if (raised) DrawEdge(dc, &button, EDGE_RAISED, BF_RECT);
    // The arrow: a small filled triangle in the button text colour.
    const int cx = (button.left + button.right) / 2;
    const int cy = (button.top + button.bottom) / 2;
    HPEN pen = CreatePen(PS_SOLID, 1,
                         GetSysColor(IsWindowEnabled(hwnd_) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    for (int i = 0; i < 4; ++i) {
        MoveToEx(dc, cx - 3 + i, cy - 1 + i, nullptr);
        LineTo(dc, cx + 4 - i, cy - 1 + i);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    ReleaseDC(hwnd_, dc);
}

LRESULT CALLBACK FlatComboBox::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    auto* self = reinterpret_cast<FlatComboBox*>(data);
    switch (message) {
        case WM_PAINT: {
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            self->DrawFrame();
            return result;
        }
        case WM_MOUSEMOVE:
            if (!self->hovered_) {
                self->hovered_ = true;
                SetTimer(hwnd, kHoverTimer, 10, nullptr);
                self->DrawFrame();
            }
            break;
        case WM_TIMER:
            if (wParam == kHoverTimer) {
                POINT cursor{};
                GetCursorPos(&cursor);
                RECT window{};
                GetWindowRect(hwnd, &window);
                if (!PtInRect(&window, cursor)) {
                    KillTimer(hwnd, kHoverTimer);
                    self->hovered_ = false;
                    InvalidateRect(hwnd, nullptr, FALSE);
                }
                return 0;
            }
            break;
        case WM_NCDESTROY:
            KillTimer(hwnd, kHoverTimer);
            RemoveWindowSubclass(hwnd, &FlatComboBox::Proc, kSubclassId);
            self->hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace velkor::win32
