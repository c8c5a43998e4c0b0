// The main window's check boxes that the settings set or that feed the command flags. They are
// the window's: the settings file stores the command flags, and the window shows them here.
#pragma once

#include "devices/programmer_settings.h"

namespace velkor {

// The defaults are what the window shows before the settings are loaded.
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

// The boxes for the command flags a settings file stored. FUSE stays unchecked: every start of
// the window has fuse writing off, whatever was saved.
MainWindowState BoxesFromCommands(const ProgramCommandSet& commands, bool autoProgram);

}  // namespace velkor
