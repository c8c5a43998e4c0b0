#include "sim/parallel_port.h"

#include <gtest/gtest.h>

#include "sim/sim_machine.h"

namespace velkor::sim {
namespace {

TEST(ParallelPort, AbsentPortReadsFloatingBusAndIgnoresWrites) {
    SimMachine machine;
    ParallelPort& port = machine.AddPort(0x378, PortMode::kAbsent);
    for (std::uint16_t reg = 0; reg < 3; ++reg) {
        machine.Out(static_cast<std::uint16_t>(0x378 + reg), 0x00);
        EXPECT_EQ(machine.In(static_cast<std::uint16_t>(0x378 + reg)), 0xFF) << "register " << reg;
    }
    EXPECT_EQ(port.Data(), 0x00);
    EXPECT_EQ(port.Control(), 0x00);
    EXPECT_FALSE(port.Decodes(0x378));
}

TEST(ParallelPort, PresentPortDecodesExactlyItsThreeRegisters) {
    const ParallelPort port(0x3BC, PortMode::kPresent);
    EXPECT_FALSE(port.Decodes(0x3BB));
    EXPECT_TRUE(port.Decodes(0x3BC));
    EXPECT_TRUE(port.Decodes(0x3BE));
    EXPECT_FALSE(port.Decodes(0x3BF));
}

// A port with data bit 6 stuck low passes a read-back of 0x08 but fails one of 0x40: the
// two patterns a port check must both try.
TEST(ParallelPort, ReadbackFaultPassesEightButNotForty) {
    ParallelPort port(0x378, PortMode::kReadbackFault);
    port.WriteData(0x08);
    EXPECT_EQ(port.ReadData(), 0x08);
    port.WriteData(0x40);
    EXPECT_NE(port.ReadData(), 0x40);
}

TEST(ParallelPort, StatusPresentsEachInputPinOnItsBitWithBusyInverted) {
    const ParallelPort port(0x378, PortMode::kPresent);
    const StatusPins allHigh;
    EXPECT_EQ(port.ReadStatus(allHigh) & 0xF8, 0x78);  // BUSY high reads as bit 7 = 0

    struct Case {
        bool StatusPins::*pin;
        std::uint8_t bit;
    };
    const Case cases[] = {{&StatusPins::pin15Error, 0x08},
                          {&StatusPins::pin13Select, 0x10},
                          {&StatusPins::pin12PaperEnd, 0x20},
                          {&StatusPins::pin10Ack, 0x40},
                          {&StatusPins::pin11Busy, 0x80}};
    for (const Case& c : cases) {
        StatusPins pins;
        pins.*(c.pin) = false;
        const std::uint8_t changed = port.ReadStatus(pins) ^ port.ReadStatus(allHigh);
        EXPECT_EQ(changed, c.bit);
    }
    StatusPins busyLow;
    busyLow.pin11Busy = false;
    EXPECT_EQ(port.ReadStatus(busyLow) & 0x80, 0x80);
}

TEST(ParallelPort, OutputPinsFollowDataAndControlWithTheHardwareInversions) {
    ParallelPort port(0x378, PortMode::kPresent);
    for (int bit = 0; bit < 8; ++bit) {
        port.WriteData(static_cast<std::uint8_t>(1u << bit));
        for (int pin = 2; pin <= 9; ++pin) {
            EXPECT_EQ(port.PinLevel(pin), pin == bit + 2) << "D" << bit << " pin " << pin;
        }
    }
    port.WriteControl(0x00);
    EXPECT_TRUE(port.PinLevel(1));    // /STROBE
    EXPECT_TRUE(port.PinLevel(14));   // /AUTOFEED
    EXPECT_FALSE(port.PinLevel(16));  // /INIT follows its bit
    EXPECT_TRUE(port.PinLevel(17));   // /SELECT IN
    port.WriteControl(0x0F);
    EXPECT_FALSE(port.PinLevel(1));
    EXPECT_FALSE(port.PinLevel(14));
    EXPECT_TRUE(port.PinLevel(16));
    EXPECT_FALSE(port.PinLevel(17));
    port.WriteControl(0x02);
    EXPECT_FALSE(port.PinLevel(14));
    EXPECT_TRUE(port.PinLevel(1));
}

}  // namespace
}  // namespace velkor::sim
