#include "controls/win32/hyperlink_label.h"

#include <commctrl.h>
#include <shellapi.h>

#include "files/utf8_path.h"

namespace velkor::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x484C;
constexpr UINT_PTR kHoverTimer = 1;
constexpr wchar_t kInstanceProp[] = L"VelkorHyperlink";

COLORREF Colour(controls::Rgb c) {
    return RGB(c.r, c.g, c.b);
}

// The default command for ".htm" files, cut before its "%1" placeholder (before the quote
// that opens a quoted placeholder); empty when either registry lookup fails.
std::wstring BrowserCommand() {
    wchar_t type[MAX_PATH];
    LONG size = sizeof(type);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, L".htm", type, &size) != ERROR_SUCCESS) return {};
    std::wstring key = std::wstring(type) + L"\\shell\\open\\command";
    wchar_t command[MAX_PATH * 2];
    size = sizeof(command);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), command, &size) != ERROR_SUCCESS) return {};
    std::wstring text(command);
    std::size_t placeholder = text.find(L"%1");
    if (placeholder != std::wstring::npos) {
        if (placeholder > 0 && text[placeholder - 1] == L'"') --placeholder;
        text.resize(placeholder);
    }
    return text;
}

}  // namespace

HyperlinkLabel::~HyperlinkLabel() {
    if (hwnd_ != nullptr) {
        KillTimer(hwnd_, kHoverTimer);
        RemoveWindowSubclass(hwnd_, &HyperlinkLabel::Proc, kSubclassId);
        RemovePropW(hwnd_, kInstanceProp);
    }
    if (tooltip_ != nullptr) DestroyWindow(tooltip_);
    if (normalFont_ != nullptr) DeleteObject(normalFont_);
    if (underlinedFont_ != nullptr) DeleteObject(underlinedFont_);
}

void HyperlinkLabel::Attach(HWND control) {
    hwnd_ = control;
    SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) | SS_NOTIFY);
    SetPropW(hwnd_, kInstanceProp, this);
    SetWindowSubclass(hwnd_, &HyperlinkLabel::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // The two fonts are the dialog's font, plain and underlined.
    LOGFONTW font{};
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (dialogFont == nullptr) dialogFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectW(dialogFont, sizeof(font), &font);
    font.lfUnderline = FALSE;
    normalFont_ = CreateFontIndirectW(&font);
    font.lfUnderline = TRUE;
    underlinedFont_ = CreateFontIndirectW(&font);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont_), FALSE);
}

HyperlinkLabel* HyperlinkLabel::FromHandle(HWND control) {
    return control != nullptr ? static_cast<HyperlinkLabel*>(GetPropW(control, kInstanceProp))
                              : nullptr;
}

void HyperlinkLabel::SetLink(const std::wstring& caption, const std::wstring& target) {
    link_ = target.empty() ? caption : target;
    SetWindowTextW(hwnd_, caption.empty() ? link_.c_str() : caption.c_str());
    FitToText();
    if (tooltip_ == nullptr) {
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    }
    if (tooltip_ != nullptr) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        tool.lpszText = link_.data();
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// Keeps the control's place for its alignment (left, centred, right; top or vertically
// centred) and gives it the size of its text.
void HyperlinkLabel::FitToText() {
    HWND parent = GetParent(hwnd_);
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    wchar_t text[512] = L"";
    GetWindowTextW(hwnd_, text, 512);
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, underlinedFont_ != nullptr ? underlinedFont_ : normalFont_);
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    const int width = extent.right;
    const int height = extent.bottom;
    int x = rect.left;
    int y = rect.top;
    if ((style & SS_TYPEMASK) == SS_CENTER) x = (rect.left + rect.right - width) / 2;
    if ((style & SS_TYPEMASK) == SS_RIGHT) x = rect.right - width;
    if (style & SS_CENTERIMAGE) y = (rect.top + rect.bottom - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void HyperlinkLabel::SetColours(const controls::HyperlinkColours& colours) {
    colours_ = colours;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void HyperlinkLabel::SetVisited(bool visited) {
    visited_ = visited;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH HyperlinkLabel::TextColour(HDC dc) const {
    SetTextColor(dc, Colour(controls::HyperlinkTextColour(colours_, hovered_, visited_)));
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

void HyperlinkLabel::SetHovered(bool hovered) {
    if (hovered == hovered_) return;
    hovered_ = hovered;
    SendMessageW(hwnd_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(hovered ? underlinedFont_ : normalFont_), FALSE);
    if (hovered) {
        SetTimer(hwnd_, kHoverTimer, 100, nullptr);
    } else {
        KillTimer(hwnd_, kHoverTimer);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

int HyperlinkLabel::Open() const {
    int result = static_cast<int>(reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", link_.c_str(), nullptr, nullptr, SW_SHOWNORMAL)));
    if (result > 32) return result;
    const std::wstring browser = BrowserCommand();
    if (browser.empty()) return result;
    // WinExec takes the ANSI code page; CreateProcess takes the same command line in UTF-16.
    std::wstring command = browser + L" " + link_;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return controls::kLinkOpened;
    }
    return result;
}

void HyperlinkLabel::Clicked() {
    SetHovered(false);
    const int result = Open();
    if (controls::LinkOpenSucceeded(result)) {
        SetVisited(true);
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    const std::wstring text = WideFromUtf8(controls::LinkOpenFailureMessage(result));
    MessageBoxW(GetParent(hwnd_), text.c_str(), nullptr, MB_ICONEXCLAMATION | MB_OK);
}

LRESULT CALLBACK HyperlinkLabel::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<HyperlinkLabel*>(data);
    switch (message) {
        case WM_MOUSEMOVE:
            self->SetHovered(true);
            break;
        case WM_TIMER:
            if (wParam == kHoverTimer) {
                POINT cursor{};
                GetCursorPos(&cursor);
                ScreenToClient(hwnd, &cursor);
                RECT client{};
                GetClientRect(hwnd, &client);
                if (!PtInRect(&client, cursor)) self->SetHovered(false);
                return 0;
            }
            break;
        case WM_SETCURSOR: {
            HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
            if (hand != nullptr) {
                SetCursor(hand);
                return TRUE;
            }
            break;
        }
        case WM_NCDESTROY:
            KillTimer(hwnd, kHoverTimer);
            RemoveWindowSubclass(hwnd, &HyperlinkLabel::Proc, kSubclassId);
            RemovePropW(hwnd, kInstanceProp);
            self->hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace velkor::win32
