#include "sim/cable_wiring.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hosting/sim_chip_catalog.h"
#include "sim/sim_machine.h"

namespace velkor::sim {
namespace {

constexpr std::uint16_t kBase = 0x378;

// A target whose MISO level the test sets and whose inputs it records.
class FakeTarget : public SimTarget {
  public:
    void SetLines(Level r, Level s, Level m, std::uint64_t) override { lines = {r, s, m}; }
    Level Miso() const override { return miso; }
    void SetPower(bool on, std::uint64_t) override { powered = on; }
    bool Powered() const override { return powered; }
    std::uint64_t LostInstructions() const override { return 0; }

    Level miso = Level::kFloating;
    bool powered = true;
    TargetLines lines{Level::kFloating, Level::kFloating, Level::kFloating};
};

// Each cable as the programmer's register bits see it, written from the cables' documented
// pin-outs rather than from the wiring table under test.
struct CableBits {
    const char* name;
    std::uint8_t mosi, sck, reset;
    std::uint8_t enabledData;  // data value with the line drivers on and every line low
    std::uint8_t control;      // control value that turns the drivers on
    int misoStatusBit;
    bool misoInverted;
    bool hasSupplySense;
};

constexpr CableBits kCables[] = {
    {"stk200", 0x20, 0x10, 0x80, 0x00, 0x00, 6, false, true},
    {"byteblaster", 0x40, 0x01, 0x02, 0x00, 0x02, 7, true, false},
    {"xilinx", 0x01, 0x02, 0x04, 0x10, 0x00, 4, false, true},
    {"lattice", 0x01, 0x02, 0x04, 0x00, 0x00, 6, false, true},
    {"plain", 0x02, 0x01, 0x04, 0x08, 0x00, 7, true, true},
};

SimMachine MachineWith(const char* cable) {
    SimMachine machine;
    machine.AddPort(kBase);
    machine.PlugCable(WiringByName(cable));
    return machine;
}

// The loopbacks are wires in the plug: they answer with or without target power, and only
// the data bit each cable is recognised by moves them.
TEST(CableWiring, LoopbacksAnswerOnlyTheirDataBitWithAndWithoutTargetPower) {
    struct Expect {
        const char* cable;
        // Status bits 5..7 as a function of the data register, before the BUSY inversion.
        int paperEndBit, ackBit, busyBit;  // data bit looped to the pin, -1: floats high
    };
    const Expect cases[] = {
        {"stk200", 0, -1, -1},  {"byteblaster", -1, 5, -1}, {"xilinx", 6, -1, 6},
        {"lattice", 6, -1, -1}, {"plain", 7, -1, -1},
    };
    for (const Expect& e : cases) {
        for (bool power : {true, false}) {
            SCOPED_TRACE(std::string(e.cable) + (power ? " powered" : " unpowered"));
            SimMachine machine = MachineWith(e.cable);
            machine.SetTargetPower(power);
            for (int v = -1; v < 8; ++v) {
                const std::uint8_t data = v < 0 ? 0 : static_cast<std::uint8_t>(1u << v);
                machine.Out(kBase, data);
                const std::uint8_t status = machine.In(kBase + 1);
                auto pin = [&](int bit) { return bit < 0 || ((data >> bit) & 1) != 0; };
                EXPECT_EQ((status >> 5) & 1, pin(e.paperEndBit) ? 1 : 0) << "data " << +data;
                EXPECT_EQ((status >> 6) & 1, pin(e.ackBit) ? 1 : 0) << "data " << +data;
                EXPECT_EQ((status >> 7) & 1, pin(e.busyBit) ? 0 : 1) << "data " << +data;
            }
        }
    }
}

TEST(CableWiring, SupplySenseFollowsTargetPowerExceptOnTheByteBlaster) {
    for (const CableBits& c : kCables) {
        SCOPED_TRACE(c.name);
        SimMachine machine = MachineWith(c.name);
        machine.AttachTarget(MakeSimAvrChip(7));
        for (bool power : {true, false}) {
            machine.SetTargetPower(power);
            const bool sensed = (machine.In(kBase + 1) & 0x08) != 0;
            EXPECT_EQ(sensed, c.hasSupplySense ? power : true) << "power " << power;
        }
    }
}

TEST(CableWiring, EachLineReachesItsTargetPinWhileTheDriversAreOn) {
    for (const CableBits& c : kCables) {
        SCOPED_TRACE(c.name);
        const CableWiring& wiring = *WiringByName(c.name);
        ParallelPort port(kBase, PortMode::kPresent);
        port.WriteControl(c.control);
        struct Probe {
            std::uint8_t bit;
            Level TargetLines::*line;
        };
        const Probe probes[] = {{c.mosi, &TargetLines::mosi},
                                {c.sck, &TargetLines::sck},
                                {c.reset, &TargetLines::reset}};
        port.WriteData(c.enabledData);
        const TargetLines rest = DriveTarget(wiring, port);
        EXPECT_EQ(rest.reset, Level::kLow);
        EXPECT_EQ(rest.sck, Level::kLow);
        EXPECT_EQ(rest.mosi, Level::kLow);
        for (const Probe& p : probes) {
            port.WriteData(static_cast<std::uint8_t>(c.enabledData | p.bit));
            const TargetLines lines = DriveTarget(wiring, port);
            for (const Probe& q : probes) {
                EXPECT_EQ(lines.*(q.line), &p == &q ? Level::kHigh : Level::kLow)
                    << "bit " << +p.bit;
            }
        }
    }
}

// The states a programmer leaves the cable in: every line floats, so the target's own pull
// resistors decide (an AVR's RESET pull-up lets it run).
TEST(CableWiring, ReleasedStatesSwitchTheDriversOff) {
    struct Released {
        const char* cable;
        std::uint8_t data;
        std::uint8_t control;
    };
    const Released cases[] = {
        {"stk200", 0x0C, 0x00}, {"stk200", 0x8C, 0x00},      {"stk200", 0x04, 0x00},
        {"stk200", 0x08, 0x00}, {"byteblaster", 0x00, 0x00}, {"byteblaster", 0xFF, 0x00},
        {"xilinx", 0x18, 0x00}, {"xilinx", 0x00, 0x00},      {"lattice", 0x08, 0x00},
        {"plain", 0x00, 0x00},  {"plain", 0xF7, 0x00},
    };
    for (const Released& r : cases) {
        ParallelPort port(kBase, PortMode::kPresent);
        port.WriteData(r.data);
        port.WriteControl(r.control);
        const TargetLines lines = DriveTarget(*WiringByName(r.cable), port);
        EXPECT_EQ(lines.reset, Level::kFloating) << r.cable << " data " << +r.data;
        EXPECT_EQ(lines.sck, Level::kFloating) << r.cable << " data " << +r.data;
        EXPECT_EQ(lines.mosi, Level::kFloating) << r.cable << " data " << +r.data;
    }
}

TEST(CableWiring, MisoReachesItsStatusBitOnlyThroughAnEnabledBuffer) {
    for (const CableBits& c : kCables) {
        SCOPED_TRACE(c.name);
        SimMachine machine = MachineWith(c.name);
        auto owned = std::make_unique<FakeTarget>();
        FakeTarget& target = *owned;
        machine.AttachTarget(std::move(owned));
        machine.Out(kBase + 2, c.control);
        machine.Out(kBase, c.enabledData);
        auto misoRead = [&] {
            const bool bit = ((machine.In(kBase + 1) >> c.misoStatusBit) & 1) != 0;
            return bit != c.misoInverted;
        };
        target.miso = Level::kHigh;
        EXPECT_TRUE(misoRead());
        target.miso = Level::kLow;
        EXPECT_FALSE(misoRead());
        target.miso = Level::kFloating;
        EXPECT_TRUE(misoRead());  // the port's pull-up

        // Drivers off: even a driven low no longer reaches the port.
        target.miso = Level::kLow;
        if (c.control != 0) {
            machine.Out(kBase + 2, 0x00);
        } else {
            machine.Out(kBase, static_cast<std::uint8_t>(c.enabledData ^ 0x08));
        }
        EXPECT_TRUE(misoRead());
        EXPECT_EQ(target.lines.reset, Level::kFloating);
    }
}

// One byte through the cable at register level, as a programmer shifts it: MOSI with SCK
// low, sample MISO, rising edge; SCK low again at the end. `rest` holds the RESET level.
std::uint8_t Shift(SimMachine& machine, const CableBits& c, std::uint8_t rest, std::uint8_t out) {
    std::uint8_t in = 0;
    for (int bit = 7; bit >= 0; --bit) {
        const auto v = static_cast<std::uint8_t>(((out >> bit) & 1) ? rest | c.mosi : rest);
        machine.Out(kBase, v);
        const bool status = ((machine.In(kBase + 1) >> c.misoStatusBit) & 1) != 0;
        in = static_cast<std::uint8_t>((in << 1) | (status != c.misoInverted ? 1 : 0));
        machine.Out(kBase, static_cast<std::uint8_t>(v | c.sck));
    }
    machine.Out(kBase, rest);
    return in;
}

// The whole path at register level: each cable carries an AVR Programming Enable to a real
// chip model and brings the 0x53 echo back. A wrong pin or polarity anywhere breaks it.
TEST(CableWiring, EveryCableCarriesTheProgrammingEnableHandshake) {
    for (const CableBits& c : kCables) {
        SCOPED_TRACE(c.name);
        SimMachine machine = MachineWith(c.name);
        auto chip = MakeSimAvrChip(7);  // mega8
        AvrChip* avr = chip.get();
        machine.AttachTarget(std::move(chip));
        machine.Out(kBase + 2, c.control);
        machine.Out(kBase, static_cast<std::uint8_t>(c.enabledData | c.reset));
        machine.Out(kBase, c.enabledData);  // RESET low with SCK low
        machine.Sleep(30);
        const std::uint8_t rest = c.enabledData;
        Shift(machine, c, rest, 0xAC);
        Shift(machine, c, rest, 0x53);
        EXPECT_EQ(Shift(machine, c, rest, 0x00), 0x53);
        Shift(machine, c, rest, 0x00);
        EXPECT_TRUE(avr->ProgrammingEnabled());
        Shift(machine, c, rest, 0x30);
        Shift(machine, c, rest, 0x00);
        Shift(machine, c, rest, 0x01);
        EXPECT_EQ(Shift(machine, c, rest, 0x00), 0x93);  // mega8 signature byte 1
    }
}

// The 89S5x runs on the two cables that carry it, with RESET held high while in use.
TEST(CableWiring, NinetyEightFiftyOneRunsOnTheStk200AndByteBlasterWithResetHigh) {
    for (const CableBits& c : {kCables[0], kCables[1]}) {
        SCOPED_TRACE(c.name);
        SimMachine machine = MachineWith(c.name);
        auto chip = MakeSimAt89Chip(0);  // 89S51
        At89Chip* at89 = chip.get();
        machine.AttachTarget(std::move(chip));
        machine.Out(kBase + 2, c.control);
        const auto rest = static_cast<std::uint8_t>(c.enabledData | c.reset);
        machine.Out(kBase, rest);
        Shift(machine, c, rest, 0xAC);
        Shift(machine, c, rest, 0x53);
        Shift(machine, c, rest, 0x00);
        EXPECT_EQ(Shift(machine, c, rest, 0x00), 0x69);
        EXPECT_TRUE(at89->ProgrammingEnabled());
    }
}

}  // namespace
}  // namespace velkor::sim
