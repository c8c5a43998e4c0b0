#include "engine/avr_protocol.h"

#include "devices/chip_table.h"
#include "engine/engine_types.h"
#include "engine/port_backend.h"

namespace velkor {

std::uint16_t AvrProtocol::DelayRequest(bool userSpeed, std::uint16_t userDelay) const {
    return userSpeed ? userDelay : 1;
}

std::uint32_t AvrProtocol::FlashSize() const {
    return chip_.flashSize;
}

std::uint32_t AvrProtocol::EepromSize() const {
    // Codes 0 and 1 are the terminating and the locked-chip rows: no EEPROM to address.
    return chip_.chipCode <= 1 ? 0 : chip_.eepromSize;
}

std::uint32_t AvrProtocol::PageSize() const {
    return chip_.pageSize;
}

std::uint16_t AvrProtocol::PageWaitMs() const {
    return chip_.flashWaitMs;
}

bool AvrProtocol::WritesFlashInPages() const {
    return chip_.pageSize != 0;
}

const std::uint8_t* AvrProtocol::Signature() const {
    return chip_.signature;
}

std::uint8_t AvrProtocol::CalibrationCount() const {
    return chip_.calibrationCount;
}

std::uint8_t AvrProtocol::ReadInstruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    link_.SendByte(b1);
    link_.SendByte(b2);
    link_.SendByte(b3);
    return link_.ReceiveByte();
}

void AvrProtocol::WriteInstruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                                   std::uint8_t b4) {
    link_.SendByte(b1);
    link_.SendByte(b2);
    link_.SendByte(b3);
    link_.SendByte(b4);
}

int AvrProtocol::EnterProgramming() {
    link_.ResetTarget();
    // Passes 1 and 2 make one attempt each; pass 3 makes up to 32, each failure followed by
    // one extra SCK pulse, which slips the target's bit counter until it is in step.
    for (int attempt = 0; attempt < 34; ++attempt) {
        link_.SendByte(0xAC);
        link_.SendByte(0x53);
        const std::uint8_t echo = link_.ReceiveByte();
        link_.SendByte(0x00);
        if (echo == 0x53) return 0;
        if (attempt >= 2) link_.ExtraClock();
    }
    link_.Log(Msg::kConnectFailed);
    return 1;
}

// The two address bytes of a flash read or page write reach the first 64 K words (128 KiB);
// larger parts take bits 23..16 of the word address from Load Extended Address Byte
// (4D 00 a 00). It is sent before every flash read and page write of such a part, in driver
// mode as well, so that reads in any order, sparse verification and the driver's own page
// instructions all land in the right 64 K-word segment.
void AvrProtocol::SelectFlashSegment(std::uint32_t address) {
    constexpr std::uint32_t kWordAddressedBytes = 0x20000;
    if (FlashSize() <= kWordAddressedBytes) return;
    link_.SendByte(0x4D);
    link_.SendByte(0x00);
    link_.SendByte(static_cast<std::uint8_t>(address >> 17));
    link_.SendByte(0x00);
}

std::uint8_t AvrProtocol::ReadByte(std::uint8_t kind, std::uint32_t address) {
    if (kind == kMemFlash) SelectFlashSegment(address);
    if (PortBackend* driver = link_.Driver()) {
        std::uint8_t value = PortBackend::kFailedDriverRead;
        driver->DriverReadByte(kind, address, &value);
        return value;
    }
    switch (kind) {
        case kMemFlash:  // word-addressed: the low address bit picks the byte of the word
            return ReadInstruction((address & 1) ? 0x28 : 0x20, High(address >> 1),
                                   Low(address >> 1));
        case kMemEeprom:
            return ReadInstruction(0xA0, High(address), Low(address));
        case kMemSignature:
            return ReadInstruction(0x30, High(address), Low(address));
        default:
            return 0xFF;
    }
}

int AvrProtocol::WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    PortBackend* driver = link_.Driver();
    if (kind == kMemFlash || kind == kMemFlashForced) {
        if (kind == kMemFlash && value == 0xFF) return 0;  // an erased location holds 0xFF
        // The forced write belongs to the erase, not to the user's data.
        if (kind == kMemFlash) link_.CountWritten(1);
        if (driver != nullptr) {
            driver->DriverWriteByte(kind, address, value);
        } else {
            WriteInstruction((address & 1) ? 0x48 : 0x40, Low(address >> 9), Low(address >> 1),
                             value);
        }
        // A location reads the poll value while it is written, so writing that very value
        // cannot be confirmed by reading; 90S1200 cannot be polled at all.
        if (value == chip_.pollValue || chip_.chipCode == 2) {
            link_.DelayMs(chip_.flashWaitMs);
            return 0;
        }
        return PollUntil(kind, address, value);
    }
    if (kind == kMemEeprom) {
        link_.CountWritten(1);
        if (driver != nullptr) {
            driver->DriverWriteByte(kind, address, value);
        } else {
            WriteInstruction(0xC0, High(address), Low(address), value);
        }
        if (value == chip_.pollValue || value == static_cast<std::uint8_t>(~chip_.pollValue) ||
            chip_.chipCode == 2) {
            link_.DelayMs(chip_.eepromWaitMs);
            return 0;
        }
        return PollUntil(kind, address, value);
    }
    return 1;
}

void AvrProtocol::SendPage(std::uint32_t address, const std::uint8_t* bytes) {
    for (std::uint32_t j = 0; j < chip_.pageSize; ++j) {  // Load Program Memory Page
        const std::uint32_t a = address + j;
        WriteInstruction((j & 1) ? 0x48 : 0x40, Low(a >> 9), Low(a >> 1), bytes[j]);
    }
    WriteInstruction(0x4C, Low(address >> 9), Low(address >> 1), 0x00);  // Write Program Page
}

int AvrProtocol::Erase() {
    auto chipErase = [&] {
        WriteInstruction(0xAC, 0x80, 0x00, 0x00);
        link_.DelayMs(40);
    };
    chipErase();
    if (chip_.chipCode == 12) {
        // tiny12 needs a second erase after a forced write to flash address 0.
        if (EnterProgramming() != 0) return 4;
        WriteByte(kMemFlashForced, 0, 0xFF);
        chipErase();
    }
    return EnterProgramming() != 0 ? 4 : 0;
}

void AvrProtocol::ReadFuses(std::uint8_t& low, std::uint8_t& high, std::uint8_t& extended) {
    const std::uint8_t kind = chip_.fuseKind;
    if (kind == 0) return;
    // Kind 1 parts read fuse and lock bits as one byte; it is kept as the low fuse byte.
    low = kind == 1 ? ReadInstruction(0x58, 0x00, 0x00) : ReadInstruction(0x50, 0x00, 0x00);
    link_.Log({Msg::kReadFuseLow, {Num(low)}});
    if (kind >= 5) {
        high = ReadInstruction(0x58, 0x08, 0x00);
        link_.Log({Msg::kReadFuseHigh, {Num(high)}});
    }
    if (kind >= 6) {
        extended = ReadInstruction(0x50, 0x08, 0x00);
        link_.Log({Msg::kReadFuseExtended, {Num(extended)}});
    }
}

void AvrProtocol::ReadCalibration(std::array<std::uint8_t, 4>& bytes) {
    link_.Log(Msg::kReadCalibrationHead);
    for (std::uint8_t i = 0; i < chip_.calibrationCount && i < bytes.size(); ++i) {
        bytes[i] = ReadInstruction(0x38, 0x00, i);
        link_.Log({Msg::kCalibrationByte, {Num(bytes[i])}});
    }
    link_.Log(Msg::kLineEnd);
}

void AvrProtocol::WriteConfigByte(std::uint8_t selector, std::uint8_t value) {
    const std::uint8_t kind = chip_.fuseKind;
    switch (selector) {
        case kFuseLow:
            if (kind <= 2) {
                // The old parts take their fuse bits in the instruction's second byte, whose
                // top bits must read 101: the masked value has lost them, so the bits the
                // part does not take from the user are sent as ones, as its data sheet shows.
                const auto outside = static_cast<std::uint8_t>(~chip_.fuseMask[0]);
                WriteInstruction(0xAC, static_cast<std::uint8_t>((value | outside) & 0xBF), 0x00,
                                 0x00);
            } else {
                WriteInstruction(0xAC, 0xA0, 0x00, value);
            }
            break;
        case kFuseHigh:
            WriteInstruction(0xAC, 0xA8, 0x00, value);
            break;
        case kFuseExtended:
            WriteInstruction(0xAC, 0xA4, 0x00, value);
            break;
        case kLockBits:
            if (kind <= 3) {
                WriteInstruction(0xAC, static_cast<std::uint8_t>(value | 0xE0), 0x00, 0x00);
            } else {
                WriteInstruction(0xAC, 0xE0, 0x00, value);
            }
            break;
        default:
            break;
    }
    link_.DelayMs(20);
}

int AvrProtocol::CheckConfigByte(std::uint8_t selector, std::uint8_t value) {
    // The writes are self-timed and give no answer: only a read tells whether the part took
    // them (a cable pulled, a supply lost or a part that stopped listening all pass the
    // write's wait). Only the parts with the fuse-low, fuse-high, extended and lock-byte read
    // forms are checked; the older forms pack other bits into the same byte.
    const std::uint8_t kind = chip_.fuseKind;
    std::uint8_t b1 = 0x50, b2 = 0x00, mask = 0xFF;
    Msg name = Msg::kTermFuseLow;
    switch (selector) {
        case kFuseLow:
            if (kind < 3) return 0;
            mask = chip_.fuseMask[0];
            break;
        case kFuseHigh:
            b1 = 0x58;
            b2 = 0x08;
            mask = chip_.fuseMask[1];
            name = Msg::kTermFuseHigh;
            break;
        case kFuseExtended:
            b2 = 0x08;
            mask = chip_.fuseMask[2];
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
    const std::uint8_t read = ReadInstruction(b1, b2, 0x00);
    // Bits the value leaves unprogrammed (1) may read either way: a part keeps some bits
    // (SPIEN, bits it does not have) whatever is written.
    if ((read & static_cast<std::uint8_t>(~value) & mask) == 0) return 0;
    link_.Log({Msg::kConfigWriteFailed, {name, Num(read), Num(value)}});
    return 1;
}

}  // namespace velkor
