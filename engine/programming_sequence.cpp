// The programming sequence: one routine that prepares the port, connects, identifies the
// chip and then erases, writes, verifies and configures it, each step gated by a flag; and
// the commands that run it.
#include <array>
#include <cstring>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"

namespace velkor {

void IspProgrammer::DriverSetParams(std::uint32_t pageSize) {
    if (useDriver == 0) return;
    backend_.DriverSetParams(cableKind, portBase, delayCount, pageSize, targetFamily);
}

int IspProgrammer::StartRun() {
    log_.Clear();  // emptied without a notification; the first line will post
    lastEepromResult = -1;
    bytesWritten = 0;
    bytesVerified = 0;
    backend_.ResetFailedDriverCalls();

    // An index the current family's table does not have would be read past its end.
    if (!ChipIndexValid()) {
        Log({Msg::kChipIndexOutOfList, {Num(chipIndex)}});
        return kSeqInvalidChip;
    }
    const bool at89 = targetFamily == kFamily89S5x;
    if (speedSelection == 0) {
        portRequest.delayRequest = at89 ? 10 : 1;
    } else {
        const std::uint16_t user = static_cast<std::uint16_t>(userPortDelay);
        portRequest.delayRequest = static_cast<std::uint16_t>(at89 ? user + 7 : user);
    }
    if (OpenPort() != 0) return kSeqPortNotReady;
    DriverSetParams(at89 ? 256 : AvrRecord().pageSize);
    if (EnterProgramming() != 0) return kSeqNoConnection;
    return kSeqDone;
}

bool IspProgrammer::SignatureMatchesSelection() {
    const bool at89 = targetFamily == kFamily89S5x;
    // The 89S5x parts keep their three signature bytes 256 addresses apart.
    for (std::uint32_t i = 0; i < 3; ++i) {
        signature[i] = ReadMemoryByte(kMemSignature, at89 ? i * 256 : i);
    }
    const std::uint8_t* expected = at89 ? At89Record().signature : AvrRecord().signature;
    if (std::memcmp(expected, signature.data(), 3) == 0) return true;
    Log({Msg::kSignatureMismatch, {Num(signature[0]), Num(signature[1]), Num(signature[2])}});
    return false;
}

int IspProgrammer::RunSequence() {
    if (const int started = StartRun(); started != kSeqDone) return started;
    const bool at89 = targetFamily == kFamily89S5x;

    // Chip identity.
    if (commands.autoSelchip != 0 && !at89) {
        chipIndex = kNoChipRow;
        for (std::uint8_t i = 0; i < 3; ++i) signature[i] = ReadMemoryByte(kMemSignature, i);
        chipIndex = FindChipBySignature(signature.data());
        Log(ChipIdentificationMessage(AvrRecord(), signature.data()));
        DriverSetParams(AvrRecord().pageSize);
    } else {
        if (commands.autoSelchip != 0) {
            // The signature search knows only the AVR table; an 89S5x part is chosen by hand.
            Log(Msg::kAt89NoAutoSelect);
        }
        if (commands.checkId != 0 && !SignatureMatchesSelection()) return kSeqSignatureMismatch;
    }

    if (commands.readFuse != 0) ReadFuseBytes();

    if (commands.erase != 0) {
        Log(Msg::kErasing);
        if (const int erased = EraseChip(); erased != 0) return erased;
    }

    const ChipRecord& chip = AvrRecord();
    if (!at89 && (commands.readCal != 0 || commands.copyCal != 0) && chip.calibrationCount != 0) {
        ReadCalibrationBytes();
        if (commands.copyCal != 0) {
            const bool toEeprom = calibrationSaveLocation != 0;
            const std::uint32_t size = toEeprom ? chip.eepromSize : chip.flashSize;
            if (calibrationAddress == 0 || calibrationAddress > size - 1) {
                calibrationAddress = size - 1;  // the setting keeps the corrected address
            }
            const std::uint8_t value = calibrationBytes[calibrationSelect & 3];
            if (toEeprom) {
                eepromImage[calibrationAddress % kEepromImageSize] = value;
                Log({Msg::kCalibrationToEeprom, {Num(calibrationAddress), Num(value)}});
            } else {
                flashImage[calibrationAddress % kFlashImageSize] = value;
                Log({Msg::kCalibrationToFlash, {Num(calibrationAddress), Num(value)}});
            }
        }
    }

    // Verify without a write step compares the chip with the loaded images as they are: the
    // user asked for a check, and a check that reads nothing must not pass for one.
    const bool verifyOnly =
        commands.verify != 0 && commands.writeFlash == 0 && commands.writeEeprom == 0;
    if (verifyOnly && flashImageLength == 0 && eepromImageLength == 0) {
        Log(Msg::kVerifyNoFile);
        return kSeqNothingToVerify;
    }

    if (commands.writeFlash != 0) {
        Log(Msg::kWriteFlash);
        PostProgress(0);
        Log(Msg::kWriting);
        const std::uint32_t size = at89 ? At89Record().flashSize : chip.flashSize;
        const bool byteMode = at89 ? At89Record().commandFormat != 4 : chip.pageSize == 0;
        auto progress = [&](std::uint32_t a) { PostProgress(static_cast<int>(a * 100u / size)); };
        if (byteMode) {
            for (std::uint32_t i = 0; i < size; ++i) {
                if (WriteMemoryByte(kMemFlash, i, flashImage[i]) == 1) {
                    Log({Msg::kTimeoutAt, {Num(i)}});
                    return kSeqFlashFailed;
                }
                progress(i);
            }
        } else {
            const std::uint32_t page = at89 ? 256 : chip.pageSize;
            for (std::uint32_t a = 0; a < size; a += page) {
                WriteFlashPage(a, flashImage.data() + a);
                progress(a);
            }
        }
        if (commands.verify != 0) {
            Log(Msg::kComparing);
            if (VerifyFlash() != 0) return kSeqFlashFailed;
        }
    } else if (verifyOnly && flashImageLength != 0) {
        Log(Msg::kVerifyFlash);
        PostProgress(0);
        Log(Msg::kComparing);
        if (VerifyFlash() != 0) return kSeqFlashFailed;
    }

    // 89S5x parts have no EEPROM, fuse bytes or AVR lock instructions: the AVR forms would
    // land in code memory, so these steps are skipped with a note.
    if (commands.writeEeprom != 0) {
        if (at89) {
            Log(Msg::kAt89NoEepromWrite);
        } else {
            lastEepromResult = WriteEepromImage();  // a failure does not end the run
        }
    } else if (verifyOnly && eepromImageLength != 0) {
        if (at89) {
            Log(Msg::kAt89NoEepromVerify);
        } else {
            lastEepromResult = VerifyEepromImage();  // as after a write: the run goes on
        }
    }
    if (commands.writeFuse != 0) {
        if (at89) {
            Log(Msg::kAt89NoFuses);
        } else {
            const std::uint8_t fuses[3] = {fuseLow, fuseHigh, fuseExtended};
            constexpr Msg lines[3] = {Msg::kWriteFuseLow, Msg::kWriteFuseHigh,
                                      Msg::kWriteFuseExtended};
            for (int i = 0; i < 3; ++i) {
                if (chip.fuseMask[i] == 0) continue;
                const std::uint8_t value = static_cast<std::uint8_t>(chip.fuseMask[i] & fuses[i]);
                WriteConfigByte(static_cast<std::uint8_t>(kFuseLow + i), value);
                Log({lines[i], {Num(value)}});
                if (CheckConfigByte(static_cast<std::uint8_t>(kFuseLow + i), value) != 0) {
                    return kSeqConfigWriteFailed;
                }
            }
        }
    }
    if (commands.lock != 0) {
        if (at89) {
            Log(Msg::kAt89NoLockWrite);
        } else {
            const std::uint8_t value = lockSelect != 0 ? customLockByte : chip.defaultLock;
            WriteConfigByte(kLockBits, value);
            Log({Msg::kWriteLock, {Num(value)}});
            if (CheckConfigByte(kLockBits, value) != 0) return kSeqConfigWriteFailed;
        }
    }
    // A device call that failed leaves every step above in doubt; the command that runs the
    // sequence says how many failed.
    if (backend_.FailedDriverCalls() != 0) return kSeqDriverCallsFailed;
    Log(Msg::kDone);
    return kSeqDone;
}

int IspProgrammer::VerifyFlash() {
    const bool at89 = targetFamily == kFamily89S5x;
    const std::uint32_t size = at89 ? At89Record().flashSize : AvrRecord().flashSize;
    if (verifyFileOnly) return VerifyFileBytes(true, size);
    auto progress = [&](std::uint32_t a) { PostProgress(static_cast<int>(a * 100u / size)); };
    if (at89 && At89Record().commandFormat == 4) {
        std::array<std::uint8_t, 256> read{};
        for (std::uint32_t a = 0; a < size; a += 256) {
            ReadFlashPage(a, read.data());
            if (std::memcmp(read.data(), flashImage.data() + a, 256) != 0) {
                Log({Msg::kPageCompareFailed, {Num(a)}});
                return 1;
            }
            bytesVerified += 256;
            progress(a);
        }
        return 0;
    }
    for (std::uint32_t i = 0; i < size; ++i) {
        const std::uint8_t read = ReadMemoryByte(kMemFlash, i);
        if (read != flashImage[i]) {
            Log({Msg::kByteCompareFailed, {Num(i), Num(flashImage[i]), Num(read)}});
            return 1;
        }
        ++bytesVerified;
        progress(i);
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

namespace {

// The one-off commands run the sequence with fixed flags and then put the user's command
// block and image lengths back.
struct SavedCommandBlock {
    explicit SavedCommandBlock(IspProgrammer& e)
        : engine(e),
          commands(e.commands),
          flashLength(e.flashImageLength),
          eepromLength(e.eepromImageLength) {
        e.commands = ProgramCommandSet{};
        e.flashImageLength = 0;
        e.eepromImageLength = 0;
        e.targetFamily = kFamilyAvr;
    }
    ~SavedCommandBlock() {
        engine.commands = commands;
        engine.flashImageLength = flashLength;
        engine.eepromImageLength = eepromLength;
    }
    IspProgrammer& engine;
    ProgramCommandSet commands;
    std::uint32_t flashLength;
    std::uint32_t eepromLength;
};

}  // namespace

int IspProgrammer::FuseReadBody() {
    SavedCommandBlock saved(*this);
    commands.readFuse = 1;
    commands.autoSelchip = 1;
    return ProgramBody();
}

int IspProgrammer::FuseWriteBody() {
    SavedCommandBlock saved(*this);
    commands.writeFuse = 1;
    return ProgramBody();
}

int IspProgrammer::OscCalBody() {
    SavedCommandBlock saved(*this);
    commands.readCal = 1;
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
