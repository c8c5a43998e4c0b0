// Target connection: the selected chip's record and the serial protocol chosen from it,
// entering programming mode, reading fuse and calibration bytes, and leaving programming mode.
#include "devices/chip_table.h"
#include "engine/at89_protocol.h"
#include "engine/avr_protocol.h"
#include "engine/isp_programmer.h"

namespace velkor {

const ChipRecord& IspProgrammer::AvrRecord() const {
    return ChipTable[chipIndex < kChipTableRows ? chipIndex : kNoChipRow];
}

const At89ChipRecord& IspProgrammer::At89Record() const {
    return At89ChipTable[chipIndex < kAt89ChipTableRows ? chipIndex : kAt89ChipTableRows - 1];
}

bool IspProgrammer::ChipIndexValid() const {
    if (targetFamily == kFamilyAvr) return chipIndex < kChipTableRows;
    if (targetFamily == kFamily89S5x) return chipIndex < kAt89ChipTableRows;
    return false;
}

const char* IspProgrammer::SelectedChipName() const {
    if (!ChipIndexValid()) return nullptr;
    return targetFamily == kFamily89S5x ? At89Record().name : AvrRecord().name;
}

SerialProtocol& IspProgrammer::SelectProtocol() {
    protocolFamily_ = targetFamily;
    protocolChip_ = chipIndex;
    if (targetFamily == kFamily89S5x) {
        protocol_ = std::make_unique<At89Protocol>(*link_, At89Record());
    } else {
        protocol_ = std::make_unique<AvrProtocol>(*link_, AvrRecord());
    }
    return *protocol_;
}

SerialProtocol& IspProgrammer::Protocol() {
    // The family and the index are public fields the front ends set between runs, and the
    // single operations may be called without a run.
    if (protocol_ == nullptr || protocolFamily_ != targetFamily || protocolChip_ != chipIndex) {
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
    AvrInstructions().ReadFuses(fuseLow, fuseHigh, fuseExtended);
}

void IspProgrammer::ReadCalibrationBytes() {
    AvrInstructions().ReadCalibration(calibrationBytes);
}

void IspProgrammer::ExitProgramming() {
    ReleasePort();
    Log(Msg::kExit);
}

}  // namespace velkor
