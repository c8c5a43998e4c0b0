#include "engine/at89_protocol.h"

#include "devices/chip_table.h"
#include "engine/engine_types.h"
#include "engine/port_backend.h"

namespace velkor {
namespace {

// 89S53/89S8252 opcode byte: address bits 12..8 in bits 7..3, bit 13 in bit 2, then the
// operation in bits 1..0.
std::uint8_t ThreeByteOpcode(std::uint32_t address, std::uint8_t operation) {
    return static_cast<std::uint8_t>(((address >> 5) & 0xF8) | ((address >> 11) & 0x04) |
                                     operation);
}

}  // namespace

bool At89Protocol::PageForm() const {
    return chip_.commandFormat == 4;
}

bool At89Protocol::ThreeByteForm() const {
    return chip_.commandFormat == 3;
}

std::uint16_t At89Protocol::DelayRequest(bool userSpeed, std::uint16_t userDelay) const {
    // These parts take a slower serial clock than the AVR ones: their fastest setting, and
    // every delay the user sets, waits longer.
    return userSpeed ? static_cast<std::uint16_t>(userDelay + 7) : 10;
}

std::uint32_t At89Protocol::FlashSize() const {
    return chip_.flashSize;
}

const std::uint8_t* At89Protocol::Signature() const {
    return chip_.signature;
}

Msg At89Protocol::SkipNote(FamilyStep step) const {
    // The AVR forms of these steps would land in code memory, so a run skips them with a note.
    switch (step) {
        case FamilyStep::kAutoSelect:  // the signature search knows only the AVR table
            return Msg::kAt89NoAutoSelect;
        case FamilyStep::kEepromWrite:
            return Msg::kAt89NoEepromWrite;
        case FamilyStep::kEepromVerify:
            return Msg::kAt89NoEepromVerify;
        case FamilyStep::kFuseWrite:
            return Msg::kAt89NoFuses;
        case FamilyStep::kLockWrite:
            return Msg::kAt89NoLockWrite;
    }
    return Msg::kNone;
}

int At89Protocol::EnterProgramming() {
    link_.ResetTarget();
    link_.SendByte(0xAC);
    link_.SendByte(0x53);
    link_.SendByte(0x00);
    if (ThreeByteForm()) return 0;  // no answer to judge
    const std::uint8_t answer = link_.ReceiveByte();
    if (answer != 0x69) link_.Log({Msg::kEchoMismatch, {Num(answer)}});
    return 0;  // an 89S5x target is never reported as unconnected
}

std::uint8_t At89Protocol::ReadByte(std::uint8_t kind, std::uint32_t address) {
    // Bytes go over the serial lines even with the driver: it accelerates only the pages.
    if (ThreeByteForm()) {
        link_.SendByte(ThreeByteOpcode(address, 0x01));
        link_.SendByte(Low(address));
    } else {
        link_.SendByte(kind == kMemSignature ? 0x28 : 0x20);
        link_.SendByte(High(address));
        link_.SendByte(Low(address));
    }
    return link_.ReceiveByte();
}

int At89Protocol::WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    if (ReadByte(kind, address) == value) return 0;
    link_.CountWritten(1);
    if (ThreeByteForm()) {
        link_.SendByte(ThreeByteOpcode(address, 0x02));
        link_.SendByte(Low(address));
        link_.SendByte(value);
    } else {
        link_.SendByte(0x40);
        link_.SendByte(High(address));
        link_.SendByte(Low(address));
        link_.SendByte(value);
    }
    return PollUntil(kind, address, value);
}

void At89Protocol::SendPage(std::uint32_t address, const std::uint8_t* bytes) {
    link_.SendByte(0x50);
    link_.SendByte(High(address));
    for (std::uint32_t j = 0; j < kPage; ++j) {
        link_.SendByte(bytes[j]);
        link_.WaitReadTimes(100);  // settling pause: the time of 100 data-register reads
    }
}

void At89Protocol::ReadPage(std::uint32_t address, std::uint8_t* bytes256) {
    if (PortBackend* driver = link_.Driver()) {
        driver->DriverReadPage(address, bytes256);
        return;
    }
    link_.SendByte(0x30);
    link_.SendByte(High(address));
    for (std::uint32_t i = 0; i < kPage; ++i) bytes256[i] = link_.ReceiveByte();
}

int At89Protocol::Erase() {
    if (ThreeByteForm()) {
        link_.SendByte(0xAC);
        link_.SendByte(0x04);
        link_.SendByte(0x00);
    } else {
        link_.SendByte(0xAC);
        link_.SendByte(0x80);
        link_.SendByte(0x00);
        link_.SendByte(0x00);
    }
    link_.Sleep(500);
    EnterProgramming();  // never fails: these parts give no answer that could say so
    return 0;
}

}  // namespace velkor
