// The programming sequence: one routine that prepares the port, connects, identifies the
// chip and then erases, writes, verifies and configures it, each step gated by a flag and by
// what the chip's protocol says its family has; and the commands that run it.
#include <array>
#include <cstring>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"

namespace velkor {

void IspProgrammer::DriverSetParams(std::uint32_t pageSize) {
    if (useDriver == 0) return;
    backend_.DriverSetParams(cableKind, portBase, delayCount, pageSize, settings_.targetFamily);
}

int IspProgrammer::StartRun() {
    log_.Clear();  // emptied without a notification; the first line will post
    lastEepromResult = -1;
    bytesWritten = 0;
    bytesVerified = 0;
    backend_.ResetFailedDriverCalls();

    // An index the current family's table does not have would be read past its end.
    if (!ChipIndexValid()) {
        Log({Msg::kChipIndexOutOfList, {Num(settings_.chipIndex)}});
        return kSeqInvalidChip;
    }
    SerialProtocol& protocol = SelectProtocol();
    portRequest.delayRequest = protocol.DelayRequest(
        settings_.speedSelection != 0, static_cast<std::uint16_t>(settings_.userPortDelay));
    if (OpenPort() != 0) return kSeqPortNotReady;
    DriverSetParams(protocol.PageSize());
    if (EnterProgramming() != 0) return kSeqNoConnection;
    return kSeqDone;
}

bool IspProgrammer::SignatureMatchesSelection() {
    SerialProtocol& protocol = Protocol();
    for (std::uint32_t i = 0; i < 3; ++i) {
        signature[i] = ReadMemoryByte(kMemSignature, protocol.SignatureAddress(i));
    }
    if (std::memcmp(protocol.Signature(), signature.data(), 3) == 0) return true;
    Log({Msg::kSignatureMismatch, {Num(signature[0]), Num(signature[1]), Num(signature[2])}});
    return false;
}

int IspProgrammer::RunSequence() {
    if (const int started = StartRun(); started != kSeqDone) return started;
    if (const int identified = IdentifyChip(); identified != kSeqDone) return identified;
    if (settings_.commands.readFuse != 0) ReadFuseBytes();
    if (settings_.commands.erase != 0) {
        Log(Msg::kErasing);
        if (const int erased = EraseChip(); erased != 0) return erased;
    }
    if (settings_.commands.readCal != 0 || settings_.commands.copyCal != 0) TakeCalibration();

    // Verify without a write step compares the chip with the loaded images as they are: the
    // user asked for a check, and a check that reads nothing must not pass for one.
    const bool verifyOnly = settings_.commands.verify != 0 && settings_.commands.writeFlash == 0 &&
                            settings_.commands.writeEeprom == 0;
    if (verifyOnly && flashImageLength == 0 && eepromImageLength == 0) {
        Log(Msg::kVerifyNoFile);
        return kSeqNothingToVerify;
    }
    if (const int flash = FlashStep(verifyOnly); flash != kSeqDone) return flash;
    EepromStep(verifyOnly);  // a failure does not end the run
    if (settings_.commands.writeFuse != 0 && FamilyHas(FamilyStep::kFuseWrite) &&
        WriteFuses() != 0) {
        return kSeqConfigWriteFailed;
    }
    if (settings_.commands.lock != 0 && FamilyHas(FamilyStep::kLockWrite) && WriteLock() != 0) {
        return kSeqConfigWriteFailed;
    }
    // A device call that failed leaves every step above in doubt; the command that runs the
    // sequence says how many failed.
    if (backend_.FailedDriverCalls() != 0) return kSeqDriverCallsFailed;
    Log(Msg::kDone);
    return kSeqDone;
}

int IspProgrammer::IdentifyChip() {
    if (settings_.commands.autoSelchip != 0 && FamilyHas(FamilyStep::kAutoSelect)) {
        settings_.chipIndex = kNoChipRow;
        for (std::uint32_t i = 0; i < 3; ++i) {
            signature[i] = ReadMemoryByte(kMemSignature, Protocol().SignatureAddress(i));
        }
        settings_.chipIndex = FindChipBySignature(signature.data());
        Log(ChipIdentificationMessage(AvrRecord(), signature.data()));
        DriverSetParams(Protocol().PageSize());  // the protocol of the chip found
        return kSeqDone;
    }
    if (settings_.commands.checkId != 0 && !SignatureMatchesSelection())
        return kSeqSignatureMismatch;
    return kSeqDone;
}

void IspProgrammer::TakeCalibration() {
    if (Protocol().CalibrationCount() == 0) return;
    ReadCalibrationBytes();
    if (settings_.commands.copyCal == 0) return;
    const bool toEeprom = settings_.calibrationSaveLocation != 0;
    const std::uint32_t size = toEeprom ? Protocol().EepromSize() : Protocol().FlashSize();
    if (settings_.calibrationAddress == 0 || settings_.calibrationAddress > size - 1) {
        settings_.calibrationAddress = size - 1;  // the setting keeps the corrected address
    }
    const std::uint8_t value = calibrationBytes[settings_.calibrationSelect & 3];
    if (toEeprom) {
        eepromImage[settings_.calibrationAddress % kEepromImageSize] = value;
        Log({Msg::kCalibrationToEeprom, {Num(settings_.calibrationAddress), Num(value)}});
    } else {
        flashImage[settings_.calibrationAddress % kFlashImageSize] = value;
        Log({Msg::kCalibrationToFlash, {Num(settings_.calibrationAddress), Num(value)}});
    }
}

int IspProgrammer::FlashStep(bool verifyOnly) {
    if (settings_.commands.writeFlash != 0) {
        Log(Msg::kWriteFlash);
        PostProgress(0);
        Log(Msg::kWriting);
        if (WriteFlash() != 0) return kSeqFlashFailed;
        if (settings_.commands.verify != 0) {
            Log(Msg::kComparing);
            if (VerifyFlash() != 0) return kSeqFlashFailed;
        }
    } else if (verifyOnly && flashImageLength != 0) {
        Log(Msg::kVerifyFlash);
        PostProgress(0);
        Log(Msg::kComparing);
        if (VerifyFlash() != 0) return kSeqFlashFailed;
    }
    return kSeqDone;
}

int IspProgrammer::WriteFlash() {
    SerialProtocol& protocol = Protocol();
    const std::uint32_t size = protocol.FlashSize();
    auto progress = [&](std::uint32_t a) { PostProgress(static_cast<int>(a * 100u / size)); };
    if (!protocol.WritesFlashInPages()) {
        for (std::uint32_t i = 0; i < size; ++i) {
            if (WriteMemoryByte(kMemFlash, i, flashImage[i]) == 1) {
                Log({Msg::kTimeoutAt, {Num(i)}});
                return 1;
            }
            progress(i);
        }
        return 0;
    }
    const std::uint32_t page = protocol.PageSize();
    for (std::uint32_t a = 0; a < size; a += page) {
        WriteFlashPage(a, flashImage.data() + a);
        progress(a);
    }
    return 0;
}

void IspProgrammer::EepromStep(bool verifyOnly) {
    if (settings_.commands.writeEeprom != 0) {
        if (FamilyHas(FamilyStep::kEepromWrite)) lastEepromResult = WriteEepromImage();
    } else if (verifyOnly && eepromImageLength != 0) {
        if (FamilyHas(FamilyStep::kEepromVerify)) lastEepromResult = VerifyEepromImage();
    }
}

int IspProgrammer::WriteFuses() {
    // Only the AVR family has fuse bytes: its record says which of them the chip takes.
    const ChipRecord& chip = AvrRecord();
    const std::uint8_t fuses[3] = {settings_.fuseLow, settings_.fuseHigh, settings_.fuseExtended};
    constexpr Msg lines[3] = {Msg::kWriteFuseLow, Msg::kWriteFuseHigh, Msg::kWriteFuseExtended};
    for (int i = 0; i < 3; ++i) {
        if (chip.fuseMask[i] == 0) continue;
        const auto selector = static_cast<std::uint8_t>(kFuseLow + i);
        const auto value = static_cast<std::uint8_t>(chip.fuseMask[i] & fuses[i]);
        WriteConfigByte(selector, value);
        Log({lines[i], {Num(value)}});
        if (CheckConfigByte(selector, value) != 0) return 1;
    }
    return 0;
}

int IspProgrammer::WriteLock() {
    const std::uint8_t value =
        settings_.lockSelect != 0 ? settings_.customLockByte : AvrRecord().defaultLock;
    WriteConfigByte(kLockBits, value);
    Log({Msg::kWriteLock, {Num(value)}});
    return CheckConfigByte(kLockBits, value);
}

int IspProgrammer::VerifyFlash() {
    const std::uint32_t size = Protocol().FlashSize();
    if (settings_.verifyFileOnly) return VerifyFileBytes(true, size);
    if (Protocol().ReadsFlashInPages()) return VerifyFlashPages(size);
    for (std::uint32_t i = 0; i < size; ++i) {
        const std::uint8_t read = ReadMemoryByte(kMemFlash, i);
        if (read != flashImage[i]) {
            Log({Msg::kByteCompareFailed, {Num(i), Num(flashImage[i]), Num(read)}});
            return 1;
        }
        ++bytesVerified;
        PostProgress(static_cast<int>(i * 100u / size));
    }
    return 0;
}

int IspProgrammer::VerifyFlashPages(std::uint32_t size) {
    std::array<std::uint8_t, 256> read{};
    for (std::uint32_t a = 0; a < size; a += 256) {
        ReadFlashPage(a, read.data());
        if (std::memcmp(read.data(), flashImage.data() + a, 256) != 0) {
            Log({Msg::kPageCompareFailed, {Num(a)}});
            return 1;
        }
        bytesVerified += 256;
        PostProgress(static_cast<int>(a * 100u / size));
    }
    return 0;
}

// ---- commands ----

// Keeps runs from overlapping: the engine serves one conversation at a time.
class RunGuard {
  public:
    explicit RunGuard(IspProgrammer& engine) : engine_(engine) {
        bool expected = false;
        acquired_ = engine_.running_.compare_exchange_strong(expected, true);
    }
    ~RunGuard() {
        if (acquired_) engine_.running_ = false;
    }
    bool Acquired() const { return acquired_; }

  private:
    IspProgrammer& engine_;
    bool acquired_;
};

int IspProgrammer::RunCommand(int (IspProgrammer::*body)()) {
    RunGuard guard(*this);
    if (!guard.Acquired()) {
        Log(Msg::kBusyRefused);
        return kEngineBusy;
    }
    backend_.ResetFailedDriverCalls();
    int result = (this->*body)();
    // Counted to the very end: the release of the cable lines goes through the driver too.
    if (const std::uint32_t failed = backend_.FailedDriverCalls(); failed != 0) {
        Log({Msg::kDriverCallsFailed, {Num(failed)}});
        if (result == kSeqDone) result = kSeqDriverCallsFailed;
    }
    return result;
}

int IspProgrammer::ProgramBody() {
    const int result = RunSequence();
    ExitProgramming();
    return result;
}

// The one-off commands run the sequence with fixed flags and then put the user's command
// block and image lengths back.
struct SavedCommandBlock {
    explicit SavedCommandBlock(IspProgrammer& e)
        : engine(e),
          commands(e.settings_.commands),
          flashLength(e.flashImageLength),
          eepromLength(e.eepromImageLength) {
        e.settings_.commands = ProgramCommandSet{};
        e.flashImageLength = 0;
        e.eepromImageLength = 0;
        e.settings_.targetFamily = kFamilyAvr;
    }
    ~SavedCommandBlock() {
        engine.settings_.commands = commands;
        engine.flashImageLength = flashLength;
        engine.eepromImageLength = eepromLength;
    }
    IspProgrammer& engine;
    ProgramCommandSet commands;
    std::uint32_t flashLength;
    std::uint32_t eepromLength;
};

int IspProgrammer::FuseReadBody() {
    SavedCommandBlock saved(*this);
    settings_.commands.readFuse = 1;
    settings_.commands.autoSelchip = 1;
    return ProgramBody();
}

int IspProgrammer::FuseWriteBody() {
    SavedCommandBlock saved(*this);
    settings_.commands.writeFuse = 1;
    return ProgramBody();
}

int IspProgrammer::OscCalBody() {
    SavedCommandBlock saved(*this);
    settings_.commands.readCal = 1;
    return ProgramBody();
}

int IspProgrammer::ResetMcuBody() {
    OpenPort();  // its line is logged; the reset is tried whatever it found
    ResetTarget();
    LogQuiet(Msg::kResetMcu);
    ExitProgramming();
    return 0;
}

int IspProgrammer::ReadChipCommand() {
    return RunCommand(&IspProgrammer::ReadBackBody);
}
int IspProgrammer::ProgramCommand() {
    return RunCommand(&IspProgrammer::ProgramBody);
}
int IspProgrammer::FuseReadCommand() {
    return RunCommand(&IspProgrammer::FuseReadBody);
}
int IspProgrammer::FuseWriteCommand() {
    return RunCommand(&IspProgrammer::FuseWriteBody);
}
int IspProgrammer::ResetMcuCommand() {
    return RunCommand(&IspProgrammer::ResetMcuBody);
}

int IspProgrammer::OscCalCommand(bool* openCalibrationDialog) {
    const int result = RunCommand(&IspProgrammer::OscCalBody);
    if (openCalibrationDialog != nullptr) {
        *openCalibrationDialog = result != kEngineBusy && AvrRecord().calibrationCount == 4;
    }
    return result;
}

}  // namespace velkor
