// The settings file velkor.ini beside the executable: every user setting that survives between
// runs (the two HEX files, family, chip, fuse bytes, programming options and command flags).
// The main window loads it once while it initialises and saves it once when it closes; the
// command-line front end applies one to an engine.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "files/image_loader.h"
#include "files/safe_file.h"

namespace velkor {

class IspProgrammer;
class ProfileDocument;
struct ProgramCommandSet;

// The main window's check boxes that the settings set or that feed the command flags. The
// defaults are what the window shows before the settings are loaded.
struct MainWindowState {
    bool checkSignature = true;  // 1047 "Check Signature Bytes" -> CheckId
    bool erase = true;           // 1041 "ERASE" -> Erase
    bool verify = true;          // 1042 "VERIFY" -> Verify
    bool flash = true;           // 1043 "FLASH" -> WriteFlash
    bool eeprom = false;         // 1044 "EEPROM" -> WriteEEPROM
    bool fuse = false;           // 1045 "FUSE" -> WriteFuse; loading never sets it
    bool lock = false;           // 1046 "LOCK" -> Lock
    bool cal = false;            // 1051 "CAL." -> CopyCal
    bool autoProgram = false;    // 1057 "Auto Prog after Update" <-> PROGOPTION/AutoISP
    bool operator==(const MainWindowState&) const = default;
};

// Copies the boxes into the command flags, each 0 or 1, as before every Program run and every
// save. The flags without a box (the read-flash byte, ReadFuse, AutoSelchip, ReadCal) keep
// their values.
void CollectCommandFlags(const MainWindowState& window, ProgramCommandSet& commands);

// velkor.ini in the directory of the executable at `executablePath`.
std::string SettingsPathForExecutable(const std::string& executablePath);
// The running program's executable; empty when it cannot be found.
std::string CurrentExecutablePath();
// The running program's velkor.ini: SettingsPathFor its executable and the environment's
// XDG_CONFIG_HOME and HOME (in the working directory if its location is unknown).
std::string DefaultSettingsPath();
// Where a program at `executablePath` keeps velkor.ini. Beside it when the user may write its
// folder, as a program built or unpacked into a folder of its own always has. On Linux a
// program in a folder the user cannot write, or anywhere under /usr (installed from a package,
// where the folder belongs to the package manager even for root), keeps it in the user's
// configuration folder instead, `xdgConfigHome`/velkorisp/velkor.ini or, when that is unset or
// not absolute, `home`/.config/velkorisp/velkor.ini; that folder is created here so that the
// first save and the window's "open the settings folder" link find it. With neither variable
// usable the place beside the program stays (a save there then fails with a log line). Windows
// keeps the file beside the program.
std::string SettingsPathFor(const std::string& executablePath, const char* xdgConfigHome,
                            const char* home);

// A port card's base address as PORT/Base holds it: hexadecimal, with or without "0x", at
// most four digits, and a base the card rule admits (protocol/port_base_rule.h: 8-aligned or
// 0x3BC, clear of the PC's fixed system ranges). Anything else gives nothing.
std::optional<std::uint16_t> ParsePortBase(std::string_view text);

struct SettingsLoadResult {
    // anything but kRead: every setting took its default (all but kMissing are also logged)
    FileReadStatus file = FileReadStatus::kMissing;
    std::string flashPath;  // FLASH/FILE as read; the window restarts its file watch on it
    std::string eepromPath;
    int flashLoad = kHexLoadNoPath;  // the loaders' results
    int eepromLoad = kHexLoadNoPath;
    // DEVICE/FUSE0..2 are present: the fuse bytes were set by the user, not defaulted to 00.
    bool fuseKeys[3] = {false, false, false};
    int userPortDelay = 0;  // PROGOPTION/UserPortDly as read, before it became unsigned
};

// Reads the file at `iniPath` into the engine and the window's boxes and loads the two HEX
// files it names through `flashFile` and `eepromFile`. A missing file leaves everything at its
// default (family AVR, chip row 0, fuse bytes 00 00 00, flags and boxes off). Fuse bytes are
// taken as stored, not replaced by the chip's defaults; a family other than AVR or 89S5x and a
// chip index beyond the family's table are replaced, with a log line, before anything looks
// the chip up.
SettingsLoadResult LoadSettings(const std::string& iniPath, IspProgrammer& engine,
                                MainWindowState& window, HexFile& flashFile, HexFile& eepromFile);

// Updates the settings file in place: reads it as it is now (a missing file starts empty),
// lets `update` set its keys, and replaces it in one step, so that whatever else it holds
// (unknown sections and keys, comments) stays and a failure leaves the previous file intact.
// An existing file that cannot be read is never replaced: it may hold settings worth keeping.
// Failures are logged in the engine's log; false when nothing was written.
bool UpdateSettingsFile(const std::string& iniPath, IspProgrammer& engine,
                        const std::function<void(ProfileDocument&)>& update,
                        FileOps& ops = SystemFileOps());

// Collects the command flags from the boxes, then writes every key, keeping whatever else the
// file holds (unknown sections and keys, comments). The file is replaced in one step, so a
// failure leaves the previous file intact; it is reported in the engine's log and the result
// is false. An existing file that cannot be read is not overwritten.
// `more` sets the keys of other sections in the same replacement, so that the file is written
// once.
bool SaveSettings(const std::string& iniPath, IspProgrammer& engine, const MainWindowState& window,
                  const HexFile& flashFile, const HexFile& eepromFile,
                  FileOps& ops = SystemFileOps(),
                  const std::function<void(ProfileDocument&)>& more = {});

// For the command-line front end: loads the settings file into the engine and loads the HEX
// files it names. The command flags end up as a Program run in the window would use them right
// after start-up; in particular WriteFuse is off, since the window's FUSE box always starts
// unchecked, so a settings file alone never makes a run write fuses. Returns false, with a log
// line, when the file does not exist or cannot be read, or when a named HEX file cannot be
// opened or holds a faulty line.
bool ApplySettingsFile(IspProgrammer& engine, const std::string& iniPath);
// The same, loading the HEX files through the caller's objects (which then tell where their
// data lies) and handing back what was read.
bool ApplySettingsFile(IspProgrammer& engine, const std::string& iniPath, HexFile& flashFile,
                       HexFile& eepromFile, SettingsLoadResult* result);

}  // namespace velkor
