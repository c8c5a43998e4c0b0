// Memory operations on a target in programming mode: byte reads and writes with data
// polling or fixed waits, flash page writes, fuse and lock writes, chip erase and the
// EEPROM image write. With the use-driver flag the driver shifts whole instructions.
#include <algorithm>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"

namespace velkor {
namespace {

std::uint8_t High(std::uint32_t v) {
    return static_cast<std::uint8_t>(v >> 8);
}
std::uint8_t Low(std::uint32_t v) {
    return static_cast<std::uint8_t>(v);
}

// 89S53/89S8252 opcode byte: address bits 12..8 in bits 7..3, bit 13 in bit 2, then the
// operation in bits 1..0.
std::uint8_t ThreeByteOpcode(std::uint32_t address, std::uint8_t operation) {
    return static_cast<std::uint8_t>(((address >> 5) & 0xF8) | ((address >> 11) & 0x04) |
                                     operation);
}

// The two address bytes of a flash read or page write reach the first 64 K words (128 KiB);
// larger parts take bits 23..16 of the word address from Load Extended Address Byte
// (4D 00 a 00). It is sent before every flash read and page write of such a part, in driver
// mode as well, so that reads in any order, sparse verification and the driver's own page
// instructions all land in the right 64 K-word segment.
constexpr std::uint32_t kWordAddressedBytes = 0x20000;

void LoadExtendedAddress(IspProgrammer& isp, std::uint32_t byteAddress) {
    if (isp.targetFamily == kFamily89S5x || isp.AvrRecord().flashSize <= kWordAddressedBytes) {
        return;
    }
    isp.SendByte(0x4D);
    isp.SendByte(0x00);
    isp.SendByte(static_cast<std::uint8_t>(byteAddress >> 17));
    isp.SendByte(0x00);
}

}  // namespace

std::uint8_t IspProgrammer::ReadMemoryByte(std::uint8_t kind, std::uint32_t address) {
    if (targetFamily == kFamily89S5x) {
        if (At89Record().commandFormat == 3) {
            SendByte(ThreeByteOpcode(address, 0x01));
            SendByte(Low(address));
        } else {
            SendByte(kind == kMemSignature ? 0x28 : 0x20);
            SendByte(High(address));
            SendByte(Low(address));
        }
        return ReceiveByte();
    }
    if (kind == kMemFlash) LoadExtendedAddress(*this, address);
    if (useDriver != 0) {
        std::uint8_t value = PortBackend::kFailedDriverRead;
        backend_.DriverReadByte(kind, address, &value);
        return value;
    }
    switch (kind) {
        case kMemFlash:
            SendByte((address & 1) ? 0x28 : 0x20);
            SendByte(High(address >> 1));
            SendByte(Low(address >> 1));
            break;
        case kMemEeprom:
            SendByte(0xA0);
            SendByte(High(address));
            SendByte(Low(address));
            break;
        case kMemSignature:
            SendByte(0x30);
            SendByte(High(address));
            SendByte(Low(address));
            break;
        default:
            return 0xFF;
    }
    return ReceiveByte();
}

int IspProgrammer::PollUntil(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    // No pause between reads: the time-out is 200 read instructions at the current speed.
    for (int i = 0; i < 200; ++i) {
        if (ReadMemoryByte(kind, address) == value) return 0;
    }
    return 1;
}

int IspProgrammer::WriteMemoryByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    if (targetFamily == kFamily89S5x) {
        if (ReadMemoryByte(kind, address) == value) return 0;
        ++bytesWritten;
        if (At89Record().commandFormat == 3) {
            SendByte(ThreeByteOpcode(address, 0x02));
            SendByte(Low(address));
            SendByte(value);
        } else {
            SendByte(0x40);
            SendByte(High(address));
            SendByte(Low(address));
            SendByte(value);
        }
        return PollUntil(kind, address, value);
    }

    const ChipRecord& chip = AvrRecord();
    if (kind == kMemFlash || kind == kMemFlashForced) {
        if (kind == kMemFlash && value == 0xFF) return 0;  // an erased location holds 0xFF
        // The forced write belongs to the erase, not to the user's data.
        if (kind == kMemFlash) ++bytesWritten;
        if (useDriver != 0) {
            backend_.DriverWriteByte(kind, address, value);
        } else {
            SendByte((address & 1) ? 0x48 : 0x40);
            SendByte(Low(address >> 9));
            SendByte(Low(address >> 1));
            SendByte(value);
        }
        // A location reads the poll value while it is written, so writing that very value
        // cannot be confirmed by reading; 90S1200 cannot be polled at all.
        if (value == chip.pollValue || chip.chipCode == 2) {
            DelayMs(chip.flashWaitMs);
            return 0;
        }
        return PollUntil(kind, address, value);
    }
    if (kind == kMemEeprom) {
        ++bytesWritten;
        if (useDriver != 0) {
            backend_.DriverWriteByte(kind, address, value);
        } else {
            SendByte(0xC0);
            SendByte(High(address));
            SendByte(Low(address));
            SendByte(value);
        }
        if (value == chip.pollValue || value == static_cast<std::uint8_t>(~chip.pollValue) ||
            chip.chipCode == 2) {
            DelayMs(chip.eepromWaitMs);
            return 0;
        }
        return PollUntil(kind, address, value);
    }
    return 1;
}

void IspProgrammer::WriteFlashPage(std::uint32_t address, const std::uint8_t* bytes) {
    const bool at89 = targetFamily == kFamily89S5x;
    const std::uint32_t size = at89 ? 256 : AvrRecord().pageSize;
    if (size == 0) return;
    // A blank page is skipped: the erase already left it 0xFF.
    if (std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0xFF; })) return;
    const std::uint16_t waitMs = at89 ? 1 : AvrRecord().flashWaitMs;
    bytesWritten += size;
    LoadExtendedAddress(*this, address);

    if (useDriver != 0) {
        backend_.DriverWritePage(address, size, bytes);
        DelayMs(waitMs);
        return;
    }
    if (at89) {
        SendByte(0x50);
        SendByte(High(address));
        for (std::uint32_t j = 0; j < 256; ++j) {
            SendByte(bytes[j]);
            WaitReadTimes(100);  // settling pause: the time of 100 data-register reads
        }
        DelayMs(1);
        return;
    }
    for (std::uint32_t j = 0; j < size; ++j) {  // Load Program Memory Page
        const std::uint32_t a = address + j;
        SendByte((j & 1) ? 0x48 : 0x40);
        SendByte(Low(a >> 9));
        SendByte(Low(a >> 1));
        SendByte(bytes[j]);
    }
    SendByte(0x4C);  // Write Program Memory Page
    SendByte(Low(address >> 9));
    SendByte(Low(address >> 1));
    SendByte(0x00);
    DelayMs(waitMs);
}

int IspProgrammer::ReadFlashPage(std::uint32_t address, std::uint8_t* bytes256) {
    if (targetFamily != kFamily89S5x) return 256;
    if (useDriver != 0) {
        backend_.DriverReadPage(address, bytes256);
        return 256;
    }
    SendByte(0x30);
    SendByte(High(address));
    for (int i = 0; i < 256; ++i) bytes256[i] = ReceiveByte();
    return 256;
}

void IspProgrammer::WriteConfigByte(std::uint8_t selector, std::uint8_t value) {
    const std::uint8_t kind = AvrRecord().fuseKind;
    auto send = [&](std::uint8_t b2, std::uint8_t b4) {
        SendByte(0xAC);
        SendByte(b2);
        SendByte(0x00);
        SendByte(b4);
    };
    switch (selector) {
        case kFuseLow:
            if (kind <= 2) {
                // The old parts take their fuse bits in the instruction's second byte, whose
                // top bits must read 101: the masked value has lost them, so the bits the
                // part does not take from the user are sent as ones, as its data sheet shows.
                const auto outside = static_cast<std::uint8_t>(~AvrRecord().fuseMask[0]);
                send(static_cast<std::uint8_t>((value | outside) & 0xBF), 0x00);
            } else {
                send(0xA0, value);
            }
            break;
        case kFuseHigh:
            send(0xA8, value);
            break;
        case kFuseExtended:
            send(0xA4, value);
            break;
        case kLockBits:
            if (kind <= 3) {
                send(static_cast<std::uint8_t>(value | 0xE0), 0x00);
            } else {
                send(0xE0, value);
            }
            break;
        default:
            break;
    }
    DelayMs(20);
}

int IspProgrammer::CheckConfigByte(std::uint8_t selector, std::uint8_t value) {
    // The writes are self-timed and give no answer: only a read tells whether the part took
    // them (a cable pulled, a supply lost or a part that stopped listening all pass the
    // write's wait). Only the parts with the fuse-low, fuse-high, extended and lock-byte read
    // forms are checked; the older forms pack other bits into the same byte.
    const std::uint8_t kind = AvrRecord().fuseKind;
    std::uint8_t b1 = 0x50, b2 = 0x00, mask = 0xFF;
    Msg name = Msg::kTermFuseLow;
    switch (selector) {
        case kFuseLow:
            if (kind < 3) return 0;
            mask = AvrRecord().fuseMask[0];
            break;
        case kFuseHigh:
            b1 = 0x58;
            b2 = 0x08;
            mask = AvrRecord().fuseMask[1];
            name = Msg::kTermFuseHigh;
            break;
        case kFuseExtended:
            b2 = 0x08;
            mask = AvrRecord().fuseMask[2];
            name = Msg::kTermFuseExtended;
            break;
        case kLockBits:
            if (kind < 4) return 0;
            b1 = 0x58;
            name = Msg::kTermLockByte;
            break;
        default:
            return 0;
    }
    SendByte(b1);
    SendByte(b2);
    SendByte(0x00);
    const std::uint8_t read = ReceiveByte();
    // Bits the value leaves unprogrammed (1) may read either way: a part keeps some bits
    // (SPIEN, bits it does not have) whatever is written.
    if ((read & static_cast<std::uint8_t>(~value) & mask) == 0) return 0;
    Log({Msg::kConfigWriteFailed, {name, Num(read), Num(value)}});
    return 1;
}

int IspProgrammer::EraseChip() {
    if (targetFamily == kFamily89S5x) {
        if (At89Record().commandFormat == 3) {
            SendByte(0xAC);
            SendByte(0x04);
            SendByte(0x00);
        } else {
            SendByte(0xAC);
            SendByte(0x80);
            SendByte(0x00);
            SendByte(0x00);
        }
        if (clock_ != nullptr) clock_->Sleep(500);
        EnterProgramming();
        return 0;
    }
    auto chipErase = [&] {
        SendByte(0xAC);
        SendByte(0x80);
        SendByte(0x00);
        SendByte(0x00);
        DelayMs(40);
    };
    chipErase();
    if (AvrRecord().chipCode == 12) {
        // tiny12 needs a second erase after a forced write to flash address 0.
        if (EnterProgramming() != 0) return 4;
        WriteMemoryByte(kMemFlashForced, 0, 0xFF);
        chipErase();
    }
    return EnterProgramming() != 0 ? 4 : 0;
}

int IspProgrammer::WriteEepromImage() {
    const ChipRecord& chip = AvrRecord();
    if (chip.chipCode <= 1) return 4;
    Log(Msg::kWriteEeprom);
    const std::uint32_t n = std::min(eepromImageLength, chip.eepromSize);
    PostProgress(0);
    Log(Msg::kWriting);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (WriteMemoryByte(kMemEeprom, i, eepromImage[i]) == 1) {
            Log({Msg::kTimeoutAt, {Num(i)}});
            return 1;
        }
        PostProgress(static_cast<int>(i * 100u / n));
    }
    if (commands.verify != 0) {
        Log(Msg::kComparing);
        if (CompareEeprom(n) != 0) return 1;
    }
    Log(Msg::kDone);
    return 0;
}

int IspProgrammer::VerifyEepromImage() {
    const ChipRecord& chip = AvrRecord();
    if (chip.chipCode <= 1) return 4;
    Log(Msg::kVerifyEeprom);
    const std::uint32_t n = std::min(eepromImageLength, chip.eepromSize);
    PostProgress(0);
    Log(Msg::kComparing);
    return CompareEeprom(n);
}

int IspProgrammer::CompareEeprom(std::uint32_t n) {
    if (verifyFileOnly) return VerifyFileBytes(false, n);
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
