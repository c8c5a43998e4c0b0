#include "app/main_window_boxes.h"

namespace velkor {

void CollectCommandFlags(const MainWindowState& window, ProgramCommandSet& commands) {
    commands.checkId = window.checkSignature;
    commands.erase = window.erase;
    commands.verify = window.verify;
    commands.writeFlash = window.flash;
    commands.writeEeprom = window.eeprom;
    commands.writeFuse = window.fuse;
    commands.copyCal = window.cal;
    commands.lock = window.lock;
}

MainWindowState BoxesFromCommands(const ProgramCommandSet& commands, bool autoProgram) {
    MainWindowState boxes;
    boxes.checkSignature = commands.checkId != 0;
    boxes.erase = commands.erase != 0;
    boxes.verify = commands.verify != 0;
    boxes.flash = commands.writeFlash != 0;
    boxes.eeprom = commands.writeEeprom != 0;
    boxes.lock = commands.lock != 0;
    boxes.cal = commands.copyCal != 0;
    boxes.autoProgram = autoProgram;
    return boxes;
}

}  // namespace velkor
