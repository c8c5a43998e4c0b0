// Serial instruction transfer: bits between the PC and the target's programming interface,
// most significant first, on the lines that the cable's pin row names.
#include "engine/isp_programmer.h"
#include "protocol/cable_pins.h"

namespace velkor {
namespace {

// The engine names cables and families by its own constants and finds their rows in the
// shared table by the table's numbers.
static_assert(kCableUnnamed == CABLE_KIND_UNNAMED && kCableStk200 == CABLE_KIND_STK200 &&
              kCableXilinx == CABLE_KIND_XILINX && kCableLattice == CABLE_KIND_LATTICE &&
              kCableByteBlaster == CABLE_KIND_BYTEBLASTER);
static_assert(kFamilyAvr == TARNEL_FAMILY_AVR && kFamily89S5x == TARNEL_FAMILY_AT89S5X);

bool SampleMiso(const CablePins& pins, std::uint8_t status) {
    const bool level = (status & pins.miso_bit) != 0;
    return pins.miso_inverted != 0 ? !level : level;
}

}  // namespace

void IspProgrammer::SendByte(std::uint8_t value) {
    const CablePins* pins = CableFindPins(cableKind, settings_.targetFamily);
    if (pins == nullptr) {
        PortWait();
        return;
    }
    std::uint8_t low = pins->rest;
    for (int bit = 7; bit >= 0; --bit) {
        low = static_cast<std::uint8_t>(pins->rest | (((value >> bit) & 1) ? pins->mosi : 0));
        WriteData(low);
        PortWait();
        WriteData(static_cast<std::uint8_t>(low | pins->sck));  // the target samples on this edge
        PortWait();
    }
    WriteData(low);
    PortWait();
}

std::uint8_t IspProgrammer::ReceiveByte() {
    const CablePins* pins = CableFindPins(cableKind, settings_.targetFamily);
    if (pins == nullptr) return 0;
    const std::uint16_t status = static_cast<std::uint16_t>(portBase + 1);
    std::uint8_t result = 0;
    WriteData(pins->rest);  // MOSI held at 0 while the target answers
    for (int i = 0; i < 8; ++i) {
        result = static_cast<std::uint8_t>(result << 1);
        if (SampleMiso(*pins, ReadPort(status))) result |= 1;
        WriteData(static_cast<std::uint8_t>(pins->rest | pins->sck));
        PortWait();
        WriteData(pins->rest);
        PortWait();
    }
    return result;
}

void IspProgrammer::ResetTarget() {
    if (settings_.targetFamily != kFamilyAvr && settings_.targetFamily != kFamily89S5x) return;
    const CablePins* pins = CableFindPins(cableKind, settings_.targetFamily);
    if (pins != nullptr) {
        // AVR: RESET pulses high for two half-periods and stays low while programming.
        // 89S5x: RESET (active high) drops for two half-periods and stays high.
        WriteData(pins->rest);
        DelayMs(10);
        WriteData(static_cast<std::uint8_t>(pins->rest ^ pins->reset));
        PortWait();
        PortWait();
        WriteData(pins->rest);
    }
    DelayMs(30);
}

void IspProgrammer::ExtraClock() {
    const CablePins* pins = CableFindPins(cableKind, settings_.targetFamily);
    if (pins == nullptr) {
        PortWait();
        PortWait();
        return;
    }
    PortWait();
    WriteData(static_cast<std::uint8_t>(pins->rest | pins->sck));
    PortWait();
    WriteData(pins->rest);
    PortWait();
}

}  // namespace velkor
