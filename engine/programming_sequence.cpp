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
        AppendLogF("芯片序号 %u 超出当前芯片列表, 请重新选择芯片.\r\n", chipIndex);
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

int IspProgrammer::RunSequence() {
    if (const int started = StartRun(); started != kSeqDone) return started;
    const bool at89 = targetFamily == kFamily89S5x;

    // Chip identity.
    if (commands.autoSelchip != 0 && !at89) {
        chipIndex = kNoChipRow;
        for (std::uint8_t i = 0; i < 3; ++i) signature[i] = ReadMemoryByte(kMemSignature, i);
        chipIndex = FindChipBySignature(signature.data());
        AppendLog(ChipIdentificationLine(AvrRecord(), signature.data()).c_str());
        DriverSetParams(AvrRecord().pageSize);
    } else {
        if (commands.autoSelchip != 0) {
            // The signature search knows only the AVR table; an 89S5x part is chosen by hand.
            AppendLog("89S5x 芯片不能自动识别, 请在芯片列表中选择.\r\n");
        }
        if (commands.checkId != 0) {
            for (std::uint32_t i = 0; i < 3; ++i) {
                signature[i] = ReadMemoryByte(kMemSignature, at89 ? i * 256 : i);
            }
            const std::uint8_t* expected = at89 ? At89Record().signature : AvrRecord().signature;
            if (std::memcmp(expected, signature.data(), 3) != 0) {
                AppendLogF("标识字节不匹配%X %X %X \r\n", signature[0], signature[1], signature[2]);
                return kSeqSignatureMismatch;
            }
        }
    }

    if (commands.readFuse != 0) ReadFuseBytes();

    if (commands.erase != 0) {
        AppendLog("擦除...\r\n");
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
                AppendLogF("EEPROM: %04X 加入时钟校准字 %02X \r\n", calibrationAddress, value);
            } else {
                flashImage[calibrationAddress % kFlashImageSize] = value;
                AppendLogF("FLASH: %04X 加入时钟校准字 %02X \r\n", calibrationAddress, value);
            }
        }
    }

    // Verify without a write step compares the chip with the loaded images as they are: the
    // user asked for a check, and a check that reads nothing must not pass for one.
    const bool verifyOnly =
        commands.verify != 0 && commands.writeFlash == 0 && commands.writeEeprom == 0;
    if (verifyOnly && flashImageLength == 0 && eepromImageLength == 0) {
        AppendLog("校验: 没有载入的文件, 无法校验.\r\n");
        return kSeqNothingToVerify;
    }

    if (commands.writeFlash != 0) {
        AppendLog("写入Flash: \r\n");
        PostProgress(0);
        AppendLog("写入中...\r\n");
        const std::uint32_t size = at89 ? At89Record().flashSize : chip.flashSize;
        const bool byteMode = at89 ? At89Record().commandFormat != 4 : chip.pageSize == 0;
        auto progress = [&](std::uint32_t a) { PostProgress(static_cast<int>(a * 100u / size)); };
        if (byteMode) {
            for (std::uint32_t i = 0; i < size; ++i) {
                if (WriteMemoryByte(kMemFlash, i, flashImage[i]) == 1) {
                    AppendLogF("在 %04X超时\n", i);
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
            AppendLog("比较中...\r\n");
            if (VerifyFlash() != 0) return kSeqFlashFailed;
        }
    } else if (verifyOnly && flashImageLength != 0) {
        AppendLog("校验Flash: \r\n");
        PostProgress(0);
        AppendLog("比较中...\r\n");
        if (VerifyFlash() != 0) return kSeqFlashFailed;
    }

    // 89S5x parts have no EEPROM, fuse bytes or AVR lock instructions: the AVR forms would
    // land in code memory, so these steps are skipped with a note.
    if (commands.writeEeprom != 0) {
        if (at89) {
            AppendLog("89S5x 芯片没有 EEPROM, 跳过 EEPROM 写入.\r\n");
        } else {
            lastEepromResult = WriteEepromImage();  // a failure does not end the run
        }
    } else if (verifyOnly && eepromImageLength != 0) {
        if (at89) {
            AppendLog("89S5x 芯片没有 EEPROM, 跳过 EEPROM 校验.\r\n");
        } else {
            lastEepromResult = VerifyEepromImage();  // as after a write: the run goes on
        }
    }
    if (commands.writeFuse != 0) {
        if (at89) {
            AppendLog("89S5x 芯片没有熔丝字节, 跳过熔丝写入.\r\n");
        } else {
            const std::uint8_t fuses[3] = {fuseLow, fuseHigh, fuseExtended};
            const char* lines[3] = {"写入熔丝低字节 %X \r\n", "写入熔丝高字节 %X \r\n",
                                    "写入熔丝扩展字节 %X \r\n"};
            for (int i = 0; i < 3; ++i) {
                if (chip.fuseMask[i] == 0) continue;
                const std::uint8_t value = static_cast<std::uint8_t>(chip.fuseMask[i] & fuses[i]);
                WriteConfigByte(static_cast<std::uint8_t>(kFuseLow + i), value);
                AppendLogF(lines[i], value);
                if (CheckConfigByte(static_cast<std::uint8_t>(kFuseLow + i), value) != 0) {
                    return kSeqConfigWriteFailed;
                }
            }
        }
    }
    if (commands.lock != 0) {
        if (at89) {
            AppendLog("89S5x 芯片不支持加密字节写入, 跳过.\r\n");
        } else {
            const std::uint8_t value = lockSelect != 0 ? customLockByte : chip.defaultLock;
            WriteConfigByte(kLockBits, value);
            AppendLogF("写入加密字节 %X \r\n", value);
            if (CheckConfigByte(kLockBits, value) != 0) return kSeqConfigWriteFailed;
        }
    }
    // A device call that failed leaves every step above in doubt; the command that runs the
    // sequence says how many failed.
    if (backend_.FailedDriverCalls() != 0) return kSeqDriverCallsFailed;
    AppendLog("完成.\r\n");
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
                AppendLogF("在 %04X:页比较失败\n", a);
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
            AppendLogF("在 %04X:%02X-%02X失败\n", i, flashImage[i], read);
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
        AppendLog("上一个操作还在进行中, 本次请求未执行.\r\n");
        return kEngineBusy;
    }
    backend_.ResetFailedDriverCalls();
    int result = (this->*body)();
    // Counted to the very end: the release of the cable lines goes through the driver too.
    if (const std::uint32_t failed = backend_.FailedDriverCalls(); failed != 0) {
        AppendLogF("有 %u 次驱动调用失败, 本次操作结果不可信.\r\n", failed);
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
    AppendLogQuiet("复位MCU\r\n");
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
