#include "app/main_window_template.h"

#include <array>

#include "devices/fuse_panel.h"

namespace velkor {
namespace {

using K = MainControlKind;

// Bit n of a fuse byte: column by n mod 4 (bit 0 at the right), row by byte and nibble.
constexpr int kFuseColumnX[4] = {199, 138, 77, 16};
constexpr int FuseBoxY(int byte, int bit) {
    switch (byte) {
        case 0:
            return bit < 4 ? 75 : 59;
        case 1:
            return bit < 4 ? 113 : 97;
        default:
            return bit < 4 ? 135 : bit < 7 ? 125 : 123;
    }
}
constexpr const char* kFuseCaptions[kFuseBoxCount] = {
    "LF0", "LF1", "LF2", "LF3", "LF4", "LF5", "LF6", "LF7", "HF0", "HF1", "HF2", "HF3",
    "HF4", "HF5", "HF6", "HF7", "EF0", "EF1", "EF2", "EF3", "EF4", "EF5", "EF6", "EF7"};

constexpr int kFixedControls = 30;

constexpr std::array<MainControl, kFixedControls + kFuseBoxCount> MakeControls() {
    std::array<MainControl, kFixedControls + kFuseBoxCount> c{{
        {kNoControlId, K::GroupBox, "Fuse Wizard", {5, 0, 300, 48}},
        {kChipListId, K::ChipList, "", {8, 8, 77, 123}},
        {kAvrRadioId, K::Radio, "AVR", {103, 8, 38, 15}},
        {kAt89RadioId, K::Radio, "89S5x(仅供测试)", {143, 8, 80, 15}},
        {1030, K::WizardList, "", {8, 28, 130, 132}},
        {1031, K::WizardList, "", {143, 28, 119, 115}},
        {kFuseGroupId, K::GroupBox, "Fuse Option", {5, 50, 300, 108}},
        {kReadButtonId, K::IconButton, "READ", {265, 75, 37, 12}},
        {kDefaultButtonId, K::IconButton, "Default", {265, 95, 37, 12}},
        {kWriteButtonId, K::IconButton, "WRITE", {265, 115, 37, 12}},
        {kNoControlId, K::GroupBox, "", {5, 154, 302, 36}},
        {1058, K::Hyperlink, "avr-gcc 编译器", {7, 162, 58, 9}, "https://gcc.gnu.org/wiki/avr-gcc"},
        {1059, K::Hyperlink, "avr-libc 手册", {7, 177, 58, 9}, "https://avr-libc.nongnu.org/"},
        {1060,
         K::Hyperlink,
         "simavr 仿真器",
         {71, 162, 94, 9},
         "https://github.com/buserror/simavr"},
        {1061,
         K::Hyperlink,
         "srecord 文件工具",
         {71, 177, 94, 9},
         "https://srecord.sourceforge.net/"},
        {kLinkButtonId,
         K::IconButton,
         "程序目录",
         {193, 162, 112, 25},
         "",
         "打开 velkor.ini 所在的目录",
         kIconLinkButton},
        {kNoControlId, K::GroupBox, "Progam Option", {7, 190, 183, 77}},
        {kSignatureBoxId, K::CheckBox, "Check Signature Bytes", {10, 198, 98, 14}},
        {kEraseBoxId, K::CheckBox, "ERASE", {133, 198, 39, 14}},
        {kFlashBoxId, K::CheckBox, "FLASH", {10, 212, 39, 14}},
        {kEepromBoxId, K::CheckBox, "EEPROM", {51, 212, 39, 14}},
        {kWriteFuseBoxId, K::CheckBox, "FUSE", {92, 212, 39, 14}},
        {kVerifyBoxId, K::CheckBox, "VERIFY", {133, 212, 39, 14}},
        {kLockBoxId, K::CheckBox, "LOCK", {10, 228, 39, 14}},
        {kCalBoxId, K::CheckBox, "CAL.", {51, 228, 39, 14}},
        {kAutoProgramBoxId, K::CheckBox, "Auto Prog after Update", {10, 245, 102, 14}},
        {kProgramButtonId, K::PushButton, "&Program", {125, 252, 37, 13}},
        {kLogBoxId, K::LogBox, "", {195, 191, 116, 75}},
        {kStatusDisplayId, K::StatusDisplay, "", {5, 270, 240, 25}},
        {kResetButtonId,
         K::IconButton,
         "&Reset MCU",
         {255, 270, 50, 25},
         "",
         "复位MCU",
         kIconReset},
    }};
    for (int n = 0; n < kFuseBoxCount; ++n) {
        const int byte = n / 8;
        const int bit = n % 8;
        c[kFixedControls + n] = {kFirstFuseBoxId + n, K::FuseBox, kFuseCaptions[n],
                                 DialogRect{kFuseColumnX[bit % 4], FuseBoxY(byte, bit), 58, 14}};
    }
    return c;
}

// Fewer than kFixedControls entries above leaves default rows that MakeControls would hand
// out as controls with id 0; count them so that a row added or removed is caught here.
constexpr auto kControls = MakeControls();
constexpr bool NoEmptyRows() {
    for (const MainControl& control : kControls) {
        if (control.caption == nullptr) return false;
    }
    return true;
}
static_assert(NoEmptyRows(), "kFixedControls must match the rows of the template");

constexpr MainMenuItem kFileItems[] = {{kMenuOpenFlash, "OpenFlash"},
                                       {kMenuOpenEeprom, "OpenEEPROM"},
                                       {kMenuSaveFlash, "Save Flash…"},
                                       {kMenuSaveEeprom, "Save EEPROM…"},
                                       {kMenuExit, "Exit"}};
constexpr MainMenuItem kCommandItems[] = {{kMenuOscCal, "&Osc Cal. Bytes"},
                                          {kMenuLockByte, "Lock Byte"},
                                          {kMenuCableTest, "&Cable Test"}};
constexpr MainMenuItem kOptionItems[] = {{kMenuSetupSpeed, "Setup Speed"},
                                         {kMenuSimulator, "&Simulator", true},
                                         {kMenuLogEnglish, "Log in &English", true},
                                         {kMenuVerifyFileScope, "&Verify file bytes only", true}};
constexpr MainMenuItem kHelpItems[] = {{kMenuAbout, "&About"}};
constexpr MainMenuPopup kMenu[] = {{"&File", kFileItems},
                                   {"&Command", kCommandItems},
                                   {"Opt&ion", kOptionItems},
                                   {"H&elp", kHelpItems}};

// Menu commands and controls arrive through the same command message, so a menu id that
// repeats another menu item's or a control's would run the wrong command.
constexpr bool MenuIdsUnique() {
    for (const MainMenuPopup& popup : kMenu) {
        for (const MainMenuItem& item : popup.items) {
            if (item.id == kSysMenuAbout) return false;
            for (const MainControl& control : kControls) {
                if (control.id == item.id) return false;
            }
            int seen = 0;
            for (const MainMenuPopup& other : kMenu) {
                for (const MainMenuItem& o : other.items) seen += o.id == item.id ? 1 : 0;
            }
            if (seen != 1) return false;
        }
    }
    return true;
}
static_assert(MenuIdsUnique(), "every menu command needs an id of its own");

}  // namespace

const MainWindowTemplate& MainTemplate() {
    static const MainWindowTemplate window{
        "VelkorISP 0.19预览版", 311, 295, "宋体", 9, kControls, kMenu, "关于 VelkorISP(&A)..."};
    return window;
}

const MainControl* FindMainControl(int id) {
    for (const MainControl& control : kControls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

}  // namespace velkor
