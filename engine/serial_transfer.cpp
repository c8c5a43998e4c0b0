// Serial instruction transfer: bits between the PC and the target's programming interface,
// most significant first, on the lines that the cable's pin row names.
#include "engine/cable_pins.h"
#include "engine/isp_programmer.h"

namespace velkor {
namespace {

bool SampleMiso(const CablePins& pins, std::uint8_t status) {
    const bool level = (status & pins.misoBit) != 0;
    return pins.misoInverted ? !level : level;
}

}  // namespace

void IspProgrammer::SendByte(std::uint8_t value) {
    const CablePins* pins = FindCablePins(cableKind, targetFamily);
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
    const CablePins* pins = FindCablePins(cableKind, targetFamily);
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
    if (targetFamily != kFamilyAvr && targetFamily != kFamily89S5x) return;
    const CablePins* pins = FindCablePins(cableKind, targetFamily);
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
    const CablePins* pins = FindCablePins(cableKind, targetFamily);
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
