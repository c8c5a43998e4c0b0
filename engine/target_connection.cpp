// Target connection: the selected chip's record and the serial protocol chosen from it,
// entering programming mode, reading fuse and calibration bytes, and leaving programming mode.
#include "devices/chip_table.h"
#include "engine/at89_protocol.h"
#include "engine/avr_protocol.h"
#include "engine/isp_programmer.h"

namespace velkor {

const ChipRecord& IspProgrammer::AvrRecord() const {
    return settings_.AvrRecord();
}

const At89ChipRecord& IspProgrammer::At89Record() const {
    return settings_.At89Record();
}

bool IspProgrammer::ChipIndexValid() const {
    return settings_.ChipIndexValid();
}

const char* IspProgrammer::SelectedChipName() const {
    return settings_.SelectedChipName();
}

SerialProtocol& IspProgrammer::SelectProtocol() {
    protocolFamily_ = settings_.targetFamily;
    protocolChip_ = settings_.chipIndex;
    if (settings_.targetFamily == kFamily89S5x) {
        protocol_ = std::make_unique<At89Protocol>(*link_, At89Record());
    } else {
        protocol_ = std::make_unique<AvrProtocol>(*link_, AvrRecord());
    }
    return *protocol_;
}

SerialProtocol& IspProgrammer::Protocol() {
    // The family and the index are public fields the front ends set between runs, and the
    // single operations may be called without a run.
    if (protocol_ == nullptr || protocolFamily_ != settings_.targetFamily ||
        protocolChip_ != settings_.chipIndex) {
        return SelectProtocol();
    }
    return *protocol_;
}

AvrProtocol IspProgrammer::AvrInstructions() {
    return AvrProtocol(*link_, AvrRecord());
}

bool IspProgrammer::FamilyHas(FamilyStep step) {
    const Msg note = Protocol().SkipNote(step);
    if (note == Msg::kNone) return true;
    Log(note);
    return false;
}

int IspProgrammer::EnterProgramming() {
    return Protocol().EnterProgramming();
}

void IspProgrammer::ReadFuseBytes() {
    AvrInstructions().ReadFuses(settings_.fuseLow, settings_.fuseHigh, settings_.fuseExtended);
}

void IspProgrammer::ReadCalibrationBytes() {
    AvrInstructions().ReadCalibration(calibrationBytes);
}

void IspProgrammer::ExitProgramming() {
    ReleasePort();
    Log(Msg::kExit);
}

}  // namespace velkor
