#include "app/win32/option_dialog.h"

#include <commctrl.h>

#include "files/utf8_path.h"

namespace velkor::win32 {
namespace {

constexpr UINT_PTR kNumericEditSubclass = 0x4E45;
constexpr UINT kConvertCommand = 1;

}  // namespace

bool OptionDialog::Run(HWND parent, OptionDialogPresenter& presenter) {
    presenter_ = &presenter;
    accepted_ = false;
    const INT_PTR result = DialogBoxParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(presenter.Template().resourceId), parent,
        &OptionDialog::Proc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    presenter_ = nullptr;
    return result != -1 && accepted_;
}

INT_PTR CALLBACK OptionDialog::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<OptionDialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<OptionDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR OptionDialog::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            for (const ControlTemplate& c : presenter_->Template().controls) {
                if (c.kind == ControlKind::NumericEdit) {
                    SetWindowSubclass(Item(c.id), &OptionDialog::NumericEditProc,
                                      kNumericEditSubclass, reinterpret_cast<DWORD_PTR>(this));
                }
            }
            CenterOnOwner();
            presenter_->OnInit();
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDCANCEL && Item(IDCANCEL) == nullptr) {
                presenter_->OnCancel();  // Escape or the close box of a dialog without Cancel
            } else if (code == BN_CLICKED) {
                presenter_->OnCommand(id);
            }
            return TRUE;
        }
        default:
            return FALSE;
    }
}

// Over the main window, as the menu command that opened it; on the screen's centre (the
// template's DS_CENTER) when there is no owner.
void OptionDialog::CenterOnOwner() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner == nullptr) return;
    RECT around{};
    RECT self{};
    GetWindowRect(owner, &around);
    GetWindowRect(hwnd_, &self);
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    SetWindowPos(hwnd_, nullptr, (around.left + around.right - width) / 2,
                 (around.top + around.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK OptionDialog::NumericEditProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<OptionDialog*>(data);
    if (message == WM_CONTEXTMENU) {
        self->ShowConvertMenu(GetDlgCtrlID(hwnd), lParam);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &OptionDialog::NumericEditProc, kNumericEditSubclass);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void OptionDialog::ShowConvertMenu(int id, LPARAM where) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    AppendMenuW(menu, MF_STRING | (presenter_->CanConvert(id) ? MF_ENABLED : MF_GRAYED),
                kConvertCommand, L"Con&vert");
    POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: below the field
        RECT r{};
        GetWindowRect(Item(id), &r);
        at = {r.left, r.bottom};
    }
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    if (chosen == kConvertCommand) presenter_->Convert(id);
}

void OptionDialog::CheckRadio(int id) {
    int group = -1;
    for (const ControlTemplate& c : presenter_->Template().controls) {
        if (c.id == id) group = c.radioGroup;
    }
    for (const ControlTemplate& c : presenter_->Template().controls) {
        if (c.kind == ControlKind::RadioButton && c.radioGroup == group) {
            CheckDlgButton(hwnd_, c.id, c.id == id ? BST_CHECKED : BST_UNCHECKED);
        }
    }
}

bool OptionDialog::IsChecked(int id) const {
    return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void OptionDialog::SetText(int id, const std::string& text) {
    SetWindowTextW(Item(id), WideFromUtf8(text).c_str());
}

std::string OptionDialog::Text(int id) const {
    HWND item = Item(id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

void OptionDialog::SetVisible(int id, bool visible) {
    ShowWindow(Item(id), visible ? SW_SHOW : SW_HIDE);
}

void OptionDialog::SetSliderRange(int id, int minimum, int maximum, int tickFrequency) {
    SendMessageW(Item(id), TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageW(Item(id), TBM_SETRANGEMAX, TRUE, maximum);
    SendMessageW(Item(id), TBM_SETTICFREQ, static_cast<WPARAM>(tickFrequency), 0);
}

void OptionDialog::SetSliderPosition(int id, int position) {
    SendMessageW(Item(id), TBM_SETPOS, TRUE, position);
}

int OptionDialog::SliderPosition(int id) const {
    return static_cast<int>(SendMessageW(Item(id), TBM_GETPOS, 0, 0));
}

void OptionDialog::ShowMessage(const std::string& text, const std::string& caption, MessageIcon) {
    MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                MB_OK | MB_ICONSTOP);
}

void OptionDialog::EndDialog(bool accepted) {
    accepted_ = accepted;
    ::EndDialog(hwnd_, accepted ? IDOK : IDCANCEL);
}

}  // namespace velkor::win32
