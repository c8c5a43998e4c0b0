// Target connection: entering serial programming mode (with re-synchronisation for AVR
// parts), reading fuse and calibration bytes, and leaving programming mode.
#include "devices/chip_table.h"
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

int IspProgrammer::EnterProgramming() {
    ResetTarget();
    if (targetFamily == kFamily89S5x) {
        SendByte(0xAC);
        SendByte(0x53);
        SendByte(0x00);
        if (At89Record().commandFormat == 3) return 0;  // no answer to judge
        const std::uint8_t answer = ReceiveByte();
        if (answer != 0x69) Log({Msg::kEchoMismatch, {Num(answer)}});
        return 0;  // an 89S5x target is never reported as unconnected
    }
    // Passes 1 and 2 make one attempt each; pass 3 makes up to 32, each failure followed by
    // one extra SCK pulse, which slips the target's bit counter until it is in step.
    for (int attempt = 0; attempt < 34; ++attempt) {
        SendByte(0xAC);
        SendByte(0x53);
        const std::uint8_t echo = ReceiveByte();
        SendByte(0x00);
        if (echo == 0x53) return 0;
        if (attempt >= 2) ExtraClock();
    }
    Log(Msg::kConnectFailed);
    return 1;
}

void IspProgrammer::ReadFuseBytes() {
    const std::uint8_t kind = AvrRecord().fuseKind;
    auto read = [&](std::uint8_t b1, std::uint8_t b2) {
        SendByte(b1);
        SendByte(b2);
        SendByte(0x00);
        return ReceiveByte();
    };
    if (kind == 0) return;
    // Kind 1 parts read fuse and lock bits as one byte; it is kept as the low fuse byte.
    fuseLow = kind == 1 ? read(0x58, 0x00) : read(0x50, 0x00);
    Log({Msg::kReadFuseLow, {Num(fuseLow)}});
    if (kind >= 5) {
        fuseHigh = read(0x58, 0x08);
        Log({Msg::kReadFuseHigh, {Num(fuseHigh)}});
    }
    if (kind >= 6) {
        fuseExtended = read(0x50, 0x08);
        Log({Msg::kReadFuseExtended, {Num(fuseExtended)}});
    }
}

void IspProgrammer::ReadCalibrationBytes() {
    const std::uint8_t count = AvrRecord().calibrationCount;
    Log(Msg::kReadCalibrationHead);
    for (std::uint8_t i = 0; i < count && i < calibrationBytes.size(); ++i) {
        SendByte(0x38);
        SendByte(0x00);
        SendByte(i);
        calibrationBytes[i] = ReceiveByte();
        Log({Msg::kCalibrationByte, {Num(calibrationBytes[i])}});
    }
    Log(Msg::kLineEnd);
}

void IspProgrammer::ExitProgramming() {
    ReleasePort();
    Log(Msg::kExit);
}

}  // namespace velkor
