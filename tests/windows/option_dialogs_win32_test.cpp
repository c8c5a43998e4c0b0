// The option dialogs' Win32 view, shown modally as the menu shows it, driven from a second
// thread as a user would: the calibration dialog refuses an address beyond the chosen memory
// with its stop box and stays open, then takes a good one; the speed dialog's slider shows and
// keeps a delay above the trackbar's default range of 100, and hides with "fastest".
#include <gtest/gtest.h>
#include <windows.h>
// The system's GUI headers need <windows.h> before them.
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/calibration_dialog_presenter.h"
#include "app/speed_dialog_presenter.h"
#include "app/win32/option_dialog.h"
#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "files/utf8_path.h"

namespace velkor {
namespace {

using namespace std::chrono_literals;

HWND WaitForWindow(const wchar_t* caption) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (HWND found = FindWindowW(L"#32770", caption)) {
            if (IsWindowVisible(found)) return found;
        }
        std::this_thread::sleep_for(20ms);
    }
    return nullptr;
}

bool WaitGone(HWND window) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (IsWindow(window) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    return !IsWindow(window);
}

std::string ItemText(HWND dialog, int id) {
    wchar_t text[64] = L"";
    SendDlgItemMessageW(dialog, id, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    return Utf8FromWide(text);
}

// A click as the button reports it, posted so that a message box it opens does not block us.
void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Runs the dialog modally on this thread while `user` acts on it from another.
bool RunWithUser(OptionDialogPresenter& presenter, win32::OptionDialog& dialog,
                 const std::function<void()>& user) {
    std::thread actor(user);
    const bool accepted = dialog.Run(nullptr, presenter);
    actor.join();
    return accepted;
}

int ChipRow(const char* name) {
    const auto chips = ChipList(kFamilyAvr);
    for (std::size_t i = 0; i < chips.size(); ++i) {
        if (chips[i] == name) return static_cast<int>(i);
    }
    return -1;
}

TEST(OptionDialogsWin32, CalibrationAddressBeyondTheMemoryIsRefusedUntilCorrected) {
    ProgrammerSettings settings;
    settings.chipIndex = static_cast<std::uint32_t>(ChipRow("mega8"));  // 512 bytes of EEPROM
    settings.calibrationSaveLocation = 1;
    settings.calibrationAddress = 0;
    win32::OptionDialog dialog;
    CalibrationDialogPresenter presenter(settings, {}, dialog);

    std::string shownAddress;
    bool refused = false;
    bool stayedOpen = false;
    const bool accepted = RunWithUser(presenter, dialog, [&] {
        HWND window = WaitForWindow(L"校准字节设置");
        if (window == nullptr) return;
        shownAddress = ItemText(window, kCalAddressId);
        SetDlgItemTextW(window, kCalAddressId, L"0x200");
        Click(window, kIdAccept);
        HWND stop = WaitForWindow(L"参数错误");
        refused = stop != nullptr;
        if (stop != nullptr) {
            PostMessageW(stop, WM_COMMAND, IDOK, 0);
            WaitGone(stop);
        }
        stayedOpen = IsWindow(window) && IsWindowVisible(window);
        SetDlgItemTextW(window, kCalAddressId, L"0x1fe");
        Click(window, kIdAccept);
        if (!WaitGone(window)) Click(window, kIdDiscard);
    });
    EXPECT_EQ(shownAddress, "0x1ff");
    EXPECT_TRUE(refused);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(settings.calibrationAddress, 0x1FEu);
    EXPECT_EQ(settings.calibrationSaveLocation, 1);
}

TEST(OptionDialogsWin32, SpeedSliderKeepsDelaysAboveOneHundredAndHidesWhenFastest) {
    ProgrammerSettings settings;
    settings.speedSelection = 1;
    settings.userPortDelay = 200;
    win32::OptionDialog dialog;
    SpeedDialogPresenter first(settings, dialog);
    LRESULT shownPosition = -1;
    bool sliderShown = false;
    const bool accepted = RunWithUser(first, dialog, [&] {
        HWND window = WaitForWindow(L"下载速度设置");
        if (window == nullptr) return;
        shownPosition = SendDlgItemMessageW(window, kSpeedSliderId, TBM_GETPOS, 0, 0);
        sliderShown = IsWindowVisible(GetDlgItem(window, kSpeedSliderId)) != 0;
        Click(window, IDOK);
        if (!WaitGone(window)) Click(window, IDCANCEL);
    });
    EXPECT_EQ(shownPosition, 200);
    EXPECT_TRUE(sliderShown);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(settings.userPortDelay, 200u);

    SpeedDialogPresenter second(settings, dialog);
    bool sliderHidden = false;
    const bool acceptedAgain = RunWithUser(second, dialog, [&] {
        HWND window = WaitForWindow(L"下载速度设置");
        if (window == nullptr) return;
        SendDlgItemMessageW(window, kSpeedFastestId, BM_SETCHECK, BST_CHECKED, 0);
        SendDlgItemMessageW(window, kSpeedCustomId, BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(kSpeedFastestId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, kSpeedFastestId)));
        sliderHidden = IsWindowVisible(GetDlgItem(window, kSpeedSliderId)) == 0;
        Click(window, IDOK);
        if (!WaitGone(window)) Click(window, IDCANCEL);
    });
    EXPECT_TRUE(sliderHidden);
    EXPECT_TRUE(acceptedAgain);
    EXPECT_EQ(settings.speedSelection, 0u);
    EXPECT_EQ(settings.userPortDelay, 200u);
}

}  // namespace
}  // namespace velkor
