#include "controls/win32/icon_button.h"

#include <windows.h>
// The system's GUI headers need <windows.h> before them.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "controls/win32/artwork.h"

namespace velkor::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x4942;
constexpr wchar_t kInstanceProp[] = L"VelkorIconButton";
constexpr int kIconTextGap = 4;

}  // namespace

IconButton::~IconButton() {
    if (hwnd_ != nullptr) {
        RemoveWindowSubclass(hwnd_, &IconButton::Proc, kSubclassId);
        RemovePropW(hwnd_, kInstanceProp);
    }
    if (tooltip_ != nullptr) DestroyWindow(tooltip_);
    DestroyIcons();
}

void IconButton::Attach(HWND control) {
    hwnd_ = control;
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    const LONG_PTR type = style & BS_TYPEMASK;
    state_.checkBoxMode = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
    defaultButton_ = type == BS_DEFPUSHBUTTON;
    if (state_.checkBoxMode) state_.checked = SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SetWindowLongPtrW(hwnd_, GWL_STYLE,
                      (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    SetPropW(hwnd_, kInstanceProp, this);
    SetWindowSubclass(hwnd_, &IconButton::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

IconButton* IconButton::FromHandle(HWND control) {
    return control != nullptr ? static_cast<IconButton*>(GetPropW(control, kInstanceProp))
                              : nullptr;
}

void IconButton::DestroyIcons() {
    if (icon1_ != nullptr) DestroyIcon(icon1_);
    if (icon2_ != nullptr) DestroyIcon(icon2_);
    icon1_ = icon2_ = nullptr;
}

void IconButton::SetIcons(int icon1, int icon2) {
    DestroyIcons();
    iconSize_ = icon1 != 0 ? ArtworkIconSize(icon1) : 0;
    if (iconSize_ > 16 && hwnd_ != nullptr) {
        // A caption that does not fit beside the large icon gets the small one (Reset MCU).
        wchar_t caption[256] = L"";
        GetWindowTextW(hwnd_, caption, 256);
        RECT client{};
        GetClientRect(hwnd_, &client);
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
        RECT text{0, 0, 0, 0};
        DrawTextW(dc, caption, -1, &text, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        if (caption[0] != L'\0' && iconSize_ + kIconTextGap + text.right > client.right - 6)
            iconSize_ = 16;
    }
    if (icon1 != 0) icon1_ = LoadArtworkIcon(icon1, iconSize_);
    if (icon2 != 0) icon2_ = LoadArtworkIcon(icon2, iconSize_);
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, TRUE);
}

void IconButton::SetFlat(bool flat) {
    state_.flat = flat;
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, TRUE);
}

void IconButton::SetTooltipText(const std::wstring& text, bool active) {
    if (hwnd_ == nullptr) return;
    if (tooltip_ == nullptr) {
        tooltip_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | (balloon_ ? TTS_BALLOON : 0),
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
        if (tooltip_ == nullptr) return;
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    tipText_ = text;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = 1;
    GetClientRect(hwnd_, &tool.rect);
    tool.lpszText = tipText_.data();
    if (!toolAdded_) {
        toolAdded_ = SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
    } else {
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(tooltip_, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

int IconButton::ShownIcon() const {
    return controls::ShownIcon(state_, icon2_ != nullptr);
}

void IconButton::Clicked() {
    if (hwnd_ == nullptr) return;
    SetFocus(hwnd_);
    if (state_.checkBoxMode) {
        state_.checked = !state_.checked;
        InvalidateRect(hwnd_, nullptr, TRUE);
    } else if (!link_.empty()) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.hwnd = GetParent(hwnd_);
        info.lpVerb = L"open";
        info.lpFile = link_.c_str();
        info.nShow = SW_SHOWMAXIMIZED;
        ShellExecuteExW(&info);  // a failure is silent, as the system's UI is switched off
    }
}

void IconButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    controls::IconButtonState s = state_;
    s.beingPressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;

    if (!s.flat && (focused || defaultButton_)) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    switch (controls::Edge(s)) {
        case controls::ButtonEdge::Sunken:
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
            break;
        case controls::ButtonEdge::ShadowFrame:
            FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
            break;
        case controls::ButtonEdge::Raised3D:
            DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
            break;
        case controls::ButtonEdge::Raised:
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
            break;
        case controls::ButtonEdge::None:
            break;
    }
    const bool pressed = controls::DrawsPressed(s);
    // The face moves a pixel while pressed, as a push button's does.
    const int shift = (pressed && !s.checkBoxMode) ? 1 : 0;

    wchar_t caption[256] = L"";
    GetWindowTextW(hwnd_, caption, 256);
    const bool hasCaption = caption[0] != L'\0';
    HICON icon = controls::ShownIcon(s, icon2_ != nullptr) == 1 ? icon1_ : icon2_;
    if (icon == nullptr) icon = icon1_;

    RECT content = r;
    InflateRect(&content, -3, -3);
    OffsetRect(&content, shift, shift);
    if (icon != nullptr) {
        const int size = iconSize_;
        int x = content.left;
        if (!hasCaption) x = (content.left + content.right - size) / 2;
        const int y = (r.top + r.bottom - size) / 2 + shift;
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, size, size,
                   DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
        content.left = x + size + kIconTextGap;
    }
    if (hasCaption) {
        HGDIOBJ oldFont =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
        const UINT align = icon != nullptr ? DT_LEFT : DT_CENTER;
        DrawTextW(dc, caption, -1, &content, align | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, oldFont);
    }
    if (!s.flat && focused) {
        RECT f = item.rcItem;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

LRESULT CALLBACK IconButton::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    auto* self = reinterpret_cast<IconButton*>(data);
    switch (message) {
        case BM_GETCHECK:
            if (self->state_.checkBoxMode)
                return self->state_.checked ? BST_CHECKED : BST_UNCHECKED;
            break;
        case BM_SETCHECK:
            if (self->state_.checkBoxMode) {
                const bool checked = wParam == BST_CHECKED;
                if (checked != self->state_.checked) {
                    self->state_.checked = checked;
                    InvalidateRect(hwnd, nullptr, TRUE);
                }
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            if (self->state_.flat && !self->state_.hovered && (wParam & MK_LBUTTON) == 0) {
                self->state_.hovered = true;
                InvalidateRect(hwnd, nullptr, TRUE);
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
            }
            break;
        case WM_MOUSELEAVE:
            self->state_.hovered = false;
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case WM_LBUTTONDBLCLK:
            // An owner-drawn button reports a double click as BN_DOUBLECLICKED; two quick
            // clicks on a fuse box are two toggles.
            return DefSubclassProc(hwnd, WM_LBUTTONDOWN, wParam, lParam);
        case WM_ERASEBKGND:
            return 1;  // the owner draw fills the whole face
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &IconButton::Proc, kSubclassId);
            RemovePropW(hwnd, kInstanceProp);
            self->hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace velkor::win32
