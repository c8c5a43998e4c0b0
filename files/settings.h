// The settings file velkor.ini beside the executable: every user setting that survives between
// runs (the two HEX files, family, chip, fuse bytes, programming options and command flags).
// Reading gives a value and writing takes one; the station reads the file once when a front end
// starts and writes it once when the window closes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/programmer_settings.h"
#include "files/profile_file.h"
#include "files/safe_file.h"
#include "messages/log_messages.h"

namespace velkor {

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

// What velkor.ini holds of the programmer's settings (the desktop program's own sections are
// read from the same document by the station).
struct StoredSettings {
    ProgrammerSettings programmer;  // the command flags as stored, WriteFuse included
    std::string flashPath;          // FLASH/FILE
    std::string eepromPath;         // EEPROM/FILE
    bool autoProgram = false;       // PROGOPTION/AutoISP: the window's "Auto Prog after Update"
};

struct SettingsRead {
    // anything but kRead: every setting took its default (all but kMissing give a line)
    FileReadStatus file = FileReadStatus::kMissing;
    StoredSettings values;
    // DEVICE/FUSE0..2 are present: the fuse bytes were set by the user, not defaulted to 00.
    bool fuseKeys[3] = {false, false, false};
    int userPortDelay = 0;  // PROGOPTION/UserPortDly as read, before it became unsigned
    // How many of the keys the reader takes a setting from the file has: none means it holds
    // nothing of this program's (empty, damaged, or some other program's file).
    int knownKeys = 0;
    // Lines for the log, in the order they have always come: the file could not be read
    // (before the images it names are loaded), then the values that were replaced (after).
    std::vector<LogLine> readLines;
    std::vector<LogLine> valueLines;
    ProfileDocument document;  // the whole file as read; empty unless `file` is kRead
};

// Reads the file at `iniPath`. The keys it has replace those fields of `base`; the fields no
// key holds (the verify scope, the read-back choice, the timed waits) stay as `base` has them.
// A missing file gives the defaults (family AVR, chip row 0, fuse bytes 00 00 00, flags off).
// Fuse bytes are taken as stored, not replaced by the chip's defaults; a family other than AVR
// or 89S5x and a chip index beyond the family's table are replaced, with a line, before
// anything looks the chip up.
SettingsRead ReadSettings(const std::string& iniPath, const ProgrammerSettings& base = {});

// What a write did: `written` when the file was replaced; `complete` when every value was
// stored; `lines` say what went wrong.
struct SettingsWrite {
    bool written = false;
    bool complete = true;
    std::vector<LogLine> lines;
    bool Ok() const { return written && complete; }
};

// Updates the settings file in place: reads it as it is now (a missing file starts empty),
// lets `update` set its keys, and replaces it in one step, so that whatever else it holds
// (unknown sections and keys, comments) stays and a failure leaves the previous file intact.
// An existing file that cannot be read is never replaced: it may hold settings worth keeping.
SettingsWrite UpdateSettingsFile(const std::string& iniPath,
                                 const std::function<void(ProfileDocument&)>& update,
                                 FileOps& ops = SystemFileOps());

// Writes every key of `values`, keeping whatever else the file holds, in one replacement.
// `more` sets the keys of other sections in the same replacement, so that the file is
// written once.
SettingsWrite SaveSettings(const std::string& iniPath, const StoredSettings& values,
                           FileOps& ops = SystemFileOps(),
                           const std::function<void(ProfileDocument&)>& more = {});

}  // namespace velkor
