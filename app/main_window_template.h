// The main window as data: its dialog template (caption, size and font in dialog units, every
// control with its id, kind, caption and rectangle), its menu and the lower box's links. Both
// front ends build their window from this one description, so a control sits at the same
// place and answers to the same id on Linux and on Windows.
#pragma once

#include <span>
#include <string_view>

#include "app/dialog_units.h"

namespace velkor {

// ---- control ids ----
constexpr int kLogBoxId = 1000;
constexpr int kProgramButtonId = 1001;
constexpr int kChipListId = 1002;
constexpr int kResetButtonId = 1033;
constexpr int kStatusDisplayId = 1037;
constexpr int kEraseBoxId = 1041;
constexpr int kVerifyBoxId = 1042;
constexpr int kFlashBoxId = 1043;
constexpr int kEepromBoxId = 1044;
constexpr int kWriteFuseBoxId = 1045;
constexpr int kLockBoxId = 1046;
constexpr int kSignatureBoxId = 1047;
constexpr int kDefaultButtonId = 1048;
constexpr int kReadButtonId = 1049;
constexpr int kWriteButtonId = 1050;
constexpr int kCalBoxId = 1051;
constexpr int kAvrRadioId = 1052;
constexpr int kAt89RadioId = 1053;
constexpr int kFuseGroupId = 1054;
constexpr int kAutoProgramBoxId = 1057;
constexpr int kLinkButtonId = 1063;
// Controls without an id of their own (group boxes) are never addressed.
constexpr int kNoControlId = -1;

// ---- menu commands ----
constexpr int kMenuOpenFlash = 32772;
constexpr int kMenuOpenEeprom = 32773;
constexpr int kMenuExit = 32780;
constexpr int kMenuAbout = 32784;
constexpr int kMenuOscCal = 32785;
constexpr int kMenuLockByte = 32786;
constexpr int kMenuSetupSpeed = 32787;
// Checked while the simulated bench stands in for the parallel port.
constexpr int kMenuSimulator = 32788;
// Drives the cable's lines and reports which cable it is or what is wrong with it.
constexpr int kMenuCableTest = 32789;
// Checked while the log is shown in English; unchecked: Chinese, the program's own language.
constexpr int kMenuLogEnglish = 32798;
// Read the chip's flash or EEPROM back into an Intel HEX file the user names.
constexpr int kMenuSaveFlash = 32800;
constexpr int kMenuSaveEeprom = 32801;
// Checked while a verify compares only the bytes the loaded files hold.
constexpr int kMenuVerifyFileScope = 32802;
// The system menu's About entry.
constexpr int kSysMenuAbout = 16;

// ---- icons (resource ids of the artwork) ----
constexpr int kIconIdle = 128;
constexpr int kIconFuseChecked = 130;
constexpr int kIconFuseUnchecked = 131;
constexpr int kIconLinkButton = 140;
constexpr int kIconReset = 145;
constexpr int kIconRunning = 150;
constexpr int kIconFileChanged = 151;

enum class MainControlKind {
    GroupBox,
    ChipList,      // drop-down list, flat look
    WizardList,    // drop-down list, flat look, entries in table order
    Radio,         // the two family radios form one group
    CheckBox,      // plain option check box
    PushButton,    // plain push button ("&Program")
    IconButton,    // flat push button with an icon or a look of its own
    FuseBox,       // icon button in check-box mode: lamp 130 checked, 131 not
    Hyperlink,     // coloured link text
    LogBox,        // multi-line, read-only, vertical scroll bar
    StatusDisplay  // the dot-matrix sign
};

struct MainControl {
    int id;
    MainControlKind kind;
    const char* caption;       // UTF-8
    DialogRect rect;           // dialog units
    const char* target = "";   // links: what a click opens
    const char* tooltip = "";  // balloon tooltip, UTF-8
    int icon = 0;              // icon buttons: resource id of the artwork
};

struct MainMenuItem {
    int id;
    const char* caption;  // '&' marks the access key
    bool checkable = false;
};

struct MainMenuPopup {
    const char* caption;
    std::span<const MainMenuItem> items;
};

struct MainWindowTemplate {
    const char* caption;  // the title before the port path is known
    int width;            // dialog units
    int height;
    const char* fontFace;
    int fontPoints;
    std::span<const MainControl> controls;  // in tab order; the 24 fuse boxes included
    std::span<const MainMenuPopup> menu;
    const char* aboutEntry;  // the system menu's About entry
};

const MainWindowTemplate& MainTemplate();

// The control with this id, or null.
const MainControl* FindMainControl(int id);

// Texts the window shows.
inline constexpr std::string_view kProgramName = "VelkorISP";
inline constexpr std::string_view kWindowCaption = "VelkorISP 0.19预览版";
inline constexpr std::string_view kBannerText = "VelkorISP－AVR系列MCU在线下载软件";
inline constexpr std::string_view kFuseGroupCaption = "Fuse Option";
inline constexpr std::string_view kFlashFilterTitle = "intel HEX 文件";
inline constexpr std::string_view kEepromFilterTitle = "EEPROM HEX 文件";
inline constexpr std::string_view kFileChangedText = "   hex文件已经更新  ";

}  // namespace velkor
