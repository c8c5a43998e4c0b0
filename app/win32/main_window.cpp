#include "app/win32/main_window.h"

#include <windows.h>
// The system's GUI headers need <windows.h> before them.
#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "app/calibration_dialog_presenter.h"
#include "app/lock_dialog_presenter.h"
#include "app/main_window_template.h"
#include "app/speed_dialog_presenter.h"
#include "app/win32/option_dialog.h"
#include "controls/hyperlink_model.h"
#include "controls/win32/artwork.h"
#include "engine/engine_types.h"
#include "files/utf8_path.h"
#include "hosting/sim_dump.h"

namespace velkor::win32 {
namespace {

constexpr int kMainDialogId = 102;
constexpr int kAboutStringId = 101;

HICON LoadIconAt(int id, int metric) {
    const int size = GetSystemMetrics(metric);
    return LoadArtworkIcon(id, size);
}

}  // namespace

// The station's reports as the window's own posted messages, in the order made.
constexpr UINT kRunLogMessage = WM_APP + 21;
constexpr UINT kRunProgressMessage = WM_APP + 20;
constexpr UINT kRunEndedMessage = WM_APP + 22;

MainWindow::MainWindow(Station& station, std::string settingsPath)
    : station_(station),
      settingsPath_(std::move(settingsPath)),
      fileWatchMessage_(RegisterWindowMessageW(L"FileWatchNotify")) {}

MainWindow::~MainWindow() {
    presenter_.reset();
    station_.SetObserver(nullptr);
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
    if (currentIcon_ != nullptr) DestroyIcon(currentIcon_);
}

bool MainWindow::Run() {
    accepted_ = false;
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainDialogId), nullptr,
                        &MainWindow::Proc, reinterpret_cast<LPARAM>(this));
    return result != -1 && accepted_;
}

INT_PTR CALLBACK MainWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<MainWindow*>(lParam)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

void MainWindow::Initialise() {
    // The custom controls, bound to the template's controls by kind.
    for (const MainControl& c : MainTemplate().controls) {
        HWND item = c.id != kNoControlId ? GetDlgItem(hwnd_, c.id) : nullptr;
        if (item == nullptr) continue;
        switch (c.kind) {
            case MainControlKind::ChipList:
            case MainControlKind::WizardList: {
                auto list = std::make_unique<FlatComboBox>();
                list->Attach(item);
                lists_[c.id] = std::move(list);
                break;
            }
            case MainControlKind::IconButton:
            case MainControlKind::FuseBox: {
                auto button = std::make_unique<IconButton>();
                button->Attach(item);
                if (c.kind == MainControlKind::FuseBox) {
                    button->SetIcons(kIconFuseChecked, kIconFuseUnchecked);
                } else if (c.icon != 0) {
                    button->SetIcons(c.icon);
                }
                if (c.tooltip[0] != '\0') {
                    button->SetBalloonTips(true);
                    button->SetTooltipText(WideFromUtf8(c.tooltip));
                }
                if (c.target[0] != '\0') button->SetLink(WideFromUtf8(c.target));
                buttons_[c.id] = std::move(button);
                break;
            }
            case MainControlKind::Hyperlink: {
                auto link = std::make_unique<HyperlinkLabel>();
                link->Attach(item);
                link->SetColours(controls::kMainWindowLinkColours);
                link->SetLink(WideFromUtf8(c.caption), WideFromUtf8(c.target));
                links_[c.id] = std::move(link);
                break;
            }
            case MainControlKind::StatusDisplay:
                status_.Attach(item);
                status_.SetDotStyle(3);
                status_.SetColours(RGB(0, 0, 0), RGB(255, 60, 0), RGB(103, 30, 0));
                break;
            default:
                break;
        }
    }

    // The system menu's About entry, when the string loads.
    HMENU system = GetSystemMenu(hwnd_, FALSE);
    const wchar_t* about = nullptr;
    const int aboutLength = LoadStringW(GetModuleHandleW(nullptr), kAboutStringId,
                                        reinterpret_cast<wchar_t*>(&about), 0);
    if (system != nullptr && aboutLength > 0) {
        const std::wstring entry(about, static_cast<std::size_t>(aboutLength));
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, kSysMenuAbout, entry.c_str());
    }

    bigIcon_ = LoadIconAt(kIconIdle, SM_CXICON);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));

    presenter_ = std::make_unique<MainWindowPresenter>(station_, *this, settingsPath_, watch_);
    station_.SetObserver(this);
    presenter_->Initialise();
}

INT_PTR MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunLogMessage || message == kRunProgressMessage ||
        message == kRunEndedMessage) {
        if (presenter_ == nullptr) return TRUE;
        if (message == kRunLogMessage) {
            presenter_->OnLog();
        } else if (message == kRunProgressMessage) {
            presenter_->OnProgress(static_cast<int>(lParam));
        } else {
            presenter_->OnRunEnded();
            DumpSimulatedChip();
        }
        return TRUE;
    }
    if (fileWatchMessage_ != 0 && message == fileWatchMessage_) {
        if (presenter_ != nullptr) presenter_->OnFlashFileChanged();
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            Initialise();
            return TRUE;
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == kSysMenuAbout) {
                if (presenter_ != nullptr) presenter_->OnCommand(kSysMenuAbout);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            if (presenter_ != nullptr) presenter_->OnClose();
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (IconButton* button = IconButton::FromHandle(item->hwndItem)) {
                button->DrawItem(*item);
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        }
        case WM_CTLCOLORSTATIC:
            if (HyperlinkLabel* link = HyperlinkLabel::FromHandle(reinterpret_cast<HWND>(lParam))) {
                return reinterpret_cast<INT_PTR>(link->TextColour(reinterpret_cast<HDC>(wParam)));
            }
            return FALSE;
        case WM_PAINT:
            if (IsIconic(hwnd_)) {
                PaintMinimised();
                return TRUE;
            }
            return FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(currentIcon_ != nullptr ? currentIcon_ : bigIcon_);
        default:
            return FALSE;
    }
}

void MainWindow::Command(int id, int code, HWND control) {
    if (presenter_ == nullptr) return;
    if (id == IDOK) {
        presenter_->OnEnter();
        return;
    }
    if (id == IDCANCEL) {
        presenter_->OnEscape();
        return;
    }
    if (control == nullptr) {  // a menu item
        presenter_->OnCommand(id);
        return;
    }
    if (code == CBN_SELCHANGE && lists_.count(id) != 0) {
        presenter_->OnListSelection(id,
                                    static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
        return;
    }
    if (code != BN_CLICKED) return;  // STN_CLICKED is the same code
    if (HyperlinkLabel* link = HyperlinkLabel::FromHandle(control)) {
        link->Clicked();
        return;
    }
    if (IconButton* button = IconButton::FromHandle(control)) button->Clicked();
    presenter_->OnCommand(id);
}

void MainWindow::PaintMinimised() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int size = GetSystemMetrics(SM_CXICON);
    DrawIconEx(dc, (client.right - size + 1) / 2, (client.bottom - size + 1) / 2,
               currentIcon_ != nullptr ? currentIcon_ : bigIcon_, size, size, 0, nullptr,
               DI_NORMAL);
    EndPaint(hwnd_, &ps);
}

void MainWindow::DumpSimulatedChip() {
    if (simDumpFolder_.empty() || presenter_ == nullptr) return;
    PortPath* port = presenter_->Port();
    if (port == nullptr || port->Bench() == nullptr) return;
    const std::string error = DumpSimChip(*port->Bench(), simDumpFolder_);
    if (!error.empty()) station_.Log({Msg::kNote, {error + "\r\n"}});
}

// ---- MainWindowView ----

void MainWindow::SetText(int id, const std::string& text) {
    HWND item = GetDlgItem(hwnd_, id);
    if (item == nullptr) return;
    SetWindowTextW(item, WideFromUtf8(text).c_str());
    InvalidateRect(item, nullptr, TRUE);
}

void MainWindow::SetVisible(int id, bool visible) {
    if (HWND item = GetDlgItem(hwnd_, id)) ShowWindow(item, visible ? SW_SHOW : SW_HIDE);
}

void MainWindow::SetEnabled(int id, bool enabled) {
    if (HWND item = GetDlgItem(hwnd_, id)) {
        EnableWindow(item, enabled ? TRUE : FALSE);
        return;
    }
    EnableMenuItem(GetMenu(hwnd_), static_cast<UINT>(id),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(hwnd_);
}

void MainWindow::SetChecked(int id, bool checked) {
    if (HWND item = GetDlgItem(hwnd_, id)) {
        SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    CheckMenuItem(GetMenu(hwnd_), static_cast<UINT>(id),
                  MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MainWindow::IsChecked(int id) const {
    if (HWND item = GetDlgItem(hwnd_, id))
        return SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return (GetMenuState(GetMenu(hwnd_), static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void MainWindow::SetListItems(int id, const std::vector<std::string>& items, int selection) {
    HWND list = GetDlgItem(hwnd_, id);
    if (list == nullptr) return;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(item).c_str()));
    }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void MainWindow::SetLinkTarget(int id, const std::string& target) {
    if (auto button = buttons_.find(id); button != buttons_.end()) {
        button->second->SetLink(WideFromUtf8(target));
    } else if (auto link = links_.find(id); link != links_.end()) {
        const MainControl* control = FindMainControl(id);
        link->second->SetLink(WideFromUtf8(control != nullptr ? control->caption : ""),
                              WideFromUtf8(target));
    }
}

void MainWindow::ShowLog(const std::string& text) {
    HWND box = GetDlgItem(hwnd_, kLogBoxId);
    SetWindowTextW(box, WideFromUtf8(text).c_str());
    const LRESULT lines = SendMessageW(box, EM_GETLINECOUNT, 0, 0);
    SendMessageW(box, EM_LINESCROLL, 0, lines);
}

void MainWindow::AppendLog(const std::string& text) {
    // Replacing the selection at the end appends without copying what the box holds.
    HWND box = GetDlgItem(hwnd_, kLogBoxId);
    const LRESULT end = GetWindowTextLengthW(box);
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
    const LRESULT lines = SendMessageW(box, EM_GETLINECOUNT, 0, 0);
    SendMessageW(box, EM_LINESCROLL, 0, lines);
}

void MainWindow::StatusText(const std::string& text) {
    status_.SetText(text);
}

void MainWindow::StatusBar(int litColumns) {
    status_.ShowBar(litColumns);
}

void MainWindow::StatusStartScroll(int periodMs) {
    status_.StartScrolling(periodMs);
}

void MainWindow::StatusStopScroll() {
    status_.StopScrolling();
}

void MainWindow::SetIcon(int iconId) {
    HICON small = LoadIconAt(iconId, SM_CXSMICON);
    if (small == nullptr) return;
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
    smallIcon_ = small;
    if (currentIcon_ != nullptr) DestroyIcon(currentIcon_);
    currentIcon_ = LoadIconAt(iconId, SM_CXICON);
    if (IsIconic(hwnd_)) InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::SetTitle(const std::string& title) {
    SetWindowTextW(hwnd_, WideFromUtf8(title).c_str());
}

namespace {

// The fields both file dialogs share, in the shape the common dialogs want them.
struct FileDialogText {
    std::string title;  // empty: the dialog's own title
    std::string filterTitle;
    std::string patterns;
    std::string name;
    std::string defaultExtension;
};

std::optional<std::string> RunFileDialog(HWND owner, const FileDialogText& text, DWORD flags,
                                         BOOL(WINAPI* run)(LPOPENFILENAMEW)) {
    // The filter: its title, then its patterns, each ending in a NUL, the whole list in a
    // second one.
    std::wstring filter = WideFromUtf8(text.filterTitle);
    filter.push_back(L'\0');
    filter += WideFromUtf8(text.patterns);
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    std::vector<wchar_t> file(32768, L'\0');
    WideFromUtf8(text.name).copy(file.data(), file.size() - 1);
    const std::wstring extension = WideFromUtf8(text.defaultExtension);
    const std::wstring title = WideFromUtf8(text.title);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = extension.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = flags | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    if (!run(&dialog)) return std::nullopt;
    return Utf8FromWide(file.data());
}

}  // namespace

std::optional<std::string> MainWindow::ChooseFile(const FileChoice& choice) {
    // The open dialog filters on the initial name itself, so "*.hex" shows only HEX files.
    return RunFileDialog(
        hwnd_,
        {"", choice.filterTitle, choice.initialName, choice.initialName, choice.defaultExtension},
        OFN_FILEMUSTEXIST, GetOpenFileNameW);
}

std::optional<std::string> MainWindow::ChooseSaveFile(const SaveChoice& choice) {
    return RunFileDialog(hwnd_,
                         {choice.title, choice.filterTitle, choice.patterns, choice.suggestedName,
                          choice.defaultExtension},
                         OFN_OVERWRITEPROMPT, GetSaveFileNameW);
}

bool MainWindow::Confirm(const std::string& text, const std::string& caption) {
    return MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void MainWindow::ShowNotice(const std::string& text, const std::string& caption) {
    MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                MB_OK | MB_ICONWARNING);
}

void MainWindow::ShowAbout(const std::string& text) {
    MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), L"About VelkorISP", MB_OK | MB_ICONINFORMATION);
}

void MainWindow::ShowOptionDialog(int menuId) {
    OptionDialog dialog;
    std::unique_ptr<OptionDialogPresenter> presenter;
    switch (menuId) {
        case kMenuOscCal:
            presenter = std::make_unique<CalibrationDialogPresenter>(
                station_.Options(), station_.Engine().CalibrationBytes(), dialog);
            break;
        case kMenuLockByte:
            presenter = std::make_unique<LockDialogPresenter>(station_.Options(), dialog);
            break;
        case kMenuSetupSpeed:
            presenter = std::make_unique<SpeedDialogPresenter>(station_.Options(), dialog);
            break;
        default:
            return;
    }
    dialog.Run(hwnd_, *presenter);
}

void MainWindow::EndDialog(bool accepted) {
    accepted_ = accepted;
    ::EndDialog(hwnd_, accepted ? IDOK : IDCANCEL);
}

// ---- RunObserver ----

void MainWindow::OnLog() {
    ::PostMessageW(hwnd_, kRunLogMessage, 0, 0);
}

void MainWindow::OnProgress(int percent) {
    ::PostMessageW(hwnd_, kRunProgressMessage, 0, static_cast<LPARAM>(percent));
}

void MainWindow::OnRunEnded() {
    ::PostMessageW(hwnd_, kRunEndedMessage, 0, 0);
}

// ---- WatchNotifySink ----

void MainWindow::PostFileWatchNotify() {
    if (fileWatchMessage_ != 0) ::PostMessageW(hwnd_, fileWatchMessage_, 0, 0);
}

// The watcher's thread must not write the engine's log while a run may use it; the line goes
// to the debugger's output, as the Linux program writes it to standard error.
void MainWindow::WatchProblem(const std::string& line) {
    OutputDebugStringW(WideFromUtf8("VelkorISP: " + line + "\n").c_str());
}

}  // namespace velkor::win32
