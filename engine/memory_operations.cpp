// Memory operations on a target in programming mode: byte reads and writes, flash page writes,
// fuse and lock writes and chip erase, each in the selected family's protocol, and the EEPROM
// image write. With the use-driver flag the driver shifts whole pages (and AVR bytes).
#include <algorithm>

#include "engine/avr_protocol.h"
#include "engine/isp_programmer.h"

namespace velkor {

std::uint8_t IspProgrammer::ReadMemoryByte(std::uint8_t kind, std::uint32_t address) {
    return Protocol().ReadByte(kind, address);
}

int IspProgrammer::WriteMemoryByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    return Protocol().WriteByte(kind, address, value);
}

void IspProgrammer::WriteFlashPage(std::uint32_t address, const std::uint8_t* bytes) {
    SerialProtocol& protocol = Protocol();
    const std::uint32_t size = protocol.PageSize();
    if (size == 0) return;
    // A blank page is skipped: the erase already left it 0xFF.
    if (std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0xFF; })) return;
    bytesWritten += size;
    protocol.SelectFlashSegment(address);
    if (useDriver != 0) {
        backend_.DriverWritePage(address, size, bytes);
    } else {
        protocol.SendPage(address, bytes);
    }
    DelayMs(protocol.PageWaitMs());
}

int IspProgrammer::ReadFlashPage(std::uint32_t address, std::uint8_t* bytes256) {
    Protocol().ReadPage(address, bytes256);
    return 256;
}

void IspProgrammer::WriteConfigByte(std::uint8_t selector, std::uint8_t value) {
    AvrInstructions().WriteConfigByte(selector, value);
}

int IspProgrammer::CheckConfigByte(std::uint8_t selector, std::uint8_t value) {
    return AvrInstructions().CheckConfigByte(selector, value);
}

int IspProgrammer::EraseChip() {
    return Protocol().Erase();
}

int IspProgrammer::WriteEepromImage() {
    const std::uint32_t size = Protocol().EepromSize();
    if (size == 0) return 4;
    Log(Msg::kWriteEeprom);
    const std::uint32_t n = std::min(eepromImageLength, size);
    PostProgress(0);
    Log(Msg::kWriting);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (WriteMemoryByte(kMemEeprom, i, eepromImage[i]) == 1) {
            Log({Msg::kTimeoutAt, {Num(i)}});
            return 1;
        }
        PostProgress(static_cast<int>(i * 100u / n));
    }
    if (settings_.commands.verify != 0) {
        Log(Msg::kComparing);
        if (CompareEeprom(n) != 0) return 1;
    }
    Log(Msg::kDone);
    return 0;
}

int IspProgrammer::VerifyEepromImage() {
    const std::uint32_t size = Protocol().EepromSize();
    if (size == 0) return 4;
    Log(Msg::kVerifyEeprom);
    const std::uint32_t n = std::min(eepromImageLength, size);
    PostProgress(0);
    Log(Msg::kComparing);
    return CompareEeprom(n);
}

int IspProgrammer::CompareEeprom(std::uint32_t n) {
    if (settings_.verifyFileOnly) return VerifyFileBytes(false, n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t read = ReadMemoryByte(kMemEeprom, i);
        if (read != eepromImage[i]) {
            Log({Msg::kEepromCompareFailed, {Num(i), Num(eepromImage[i]), Num(read)}});
            return 1;
        }
        ++bytesVerified;
        PostProgress(static_cast<int>(i * 100u / n));
    }
    return 0;
}

}  // namespace velkor
