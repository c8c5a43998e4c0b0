#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "hosting/sim_chip_catalog.h"
#include "sim/at89_chip.h"
#include "sim/avr_chip.h"

namespace velkor::sim {
namespace {

constexpr std::uint16_t kBase = 0x378;

TEST(SimMachine, VirtualClockAdvancesWithEveryAccessAndCounterRead) {
    SimMachine machine(
        {.portAccessNs = 1000, .counterReadNs = 500, .counterFrequency = 10'000'000});
    machine.AddPort(kBase);
    EXPECT_EQ(machine.NowNs(), 0u);
    machine.In(kBase);
    EXPECT_EQ(machine.NowNs(), 1000u);
    machine.Out(kBase, 0x55);
    EXPECT_EQ(machine.NowNs(), 2000u);
    machine.In(0x1234);  // an undecoded address takes a bus cycle too
    machine.Out(0x1234, 0);
    EXPECT_EQ(machine.NowNs(), 4000u);
    EXPECT_EQ(machine.Counter(), 45);  // 4.5 us at 10 MHz
    const std::int64_t first = machine.Counter();
    EXPECT_LT(first, machine.Counter());
    machine.Sleep(3);
    EXPECT_EQ(machine.NowNs(), 3'005'500u);
    const AccessCounters& counters = machine.Counters();
    EXPECT_EQ(counters.portReads, 2u);
    EXPECT_EQ(counters.portWrites, 2u);
    EXPECT_EQ(counters.counterReads, 3u);
}

// ns * frequency / 10^9 exactly, though the product may need more than 64 bits. 32-bit
// targets have no 128-bit integer; there the whole seconds and the rest are scaled apart.
std::uint64_t ScaledTicks(std::uint64_t ns, std::uint64_t frequency) {
#ifdef __SIZEOF_INT128__
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(ns) * frequency /
                                      1'000'000'000u);
#else
    return ns / 1'000'000'000u * frequency + ns % 1'000'000'000u * frequency / 1'000'000'000u;
#endif
}

// Ticks are virtual nanoseconds scaled to the frequency without overflow or drift, also
// for long runs and frequencies that do not divide a second.
TEST(SimMachine, CounterScalesExactlyForLongRunsAndOddFrequencies) {
    for (std::int64_t frequency : {1LL, 3'579'545LL, 1'000'000'000LL, 2'400'000'000LL}) {
        SimMachine machine({.portAccessNs = 1, .counterReadNs = 0, .counterFrequency = frequency});
        for (std::uint64_t ns : {0ULL, 999ULL, 1'000'000'000ULL, 86'400'000'000'123ULL}) {
            machine.AdvanceNs(ns);
            const std::uint64_t expect =
                ScaledTicks(machine.NowNs(), static_cast<std::uint64_t>(frequency));
            EXPECT_EQ(machine.Counter(), static_cast<std::int64_t>(expect))
                << "f " << frequency << " at " << machine.NowNs();
        }
    }
}

TEST(SimMachine, ZeroFrequencyCounterAlwaysReadsZeroWhileTimeGoesOn) {
    SimMachine machine({.counterFrequency = 0});
    EXPECT_EQ(machine.Frequency(), 0);
    machine.AdvanceNs(5'000'000'000);
    EXPECT_EQ(machine.Counter(), 0);
    EXPECT_EQ(machine.Counter(), 0);
    EXPECT_GT(machine.NowNs(), 5'000'000'000u);
    EXPECT_EQ(machine.Counters().counterReads, 2u);
}

TEST(SimMachine, TraceRecordsAccessesInOrderOnlyWhileEnabled) {
    SimMachine machine;
    machine.AddPort(kBase);
    machine.Out(kBase, 0x11);
    EXPECT_TRUE(machine.Trace().empty());
    machine.EnableTrace(true);
    machine.Out(kBase, 0x22);
    machine.In(kBase);
    machine.In(0x200);
    ASSERT_EQ(machine.Trace().size(), 3u);
    EXPECT_TRUE(machine.Trace()[0].write);
    EXPECT_EQ(machine.Trace()[0].value, 0x22);
    EXPECT_FALSE(machine.Trace()[1].write);
    EXPECT_EQ(machine.Trace()[1].address, kBase);
    EXPECT_EQ(machine.Trace()[1].value, 0x22);  // a read records what it returned
    EXPECT_EQ(machine.Trace()[2].value, 0xFF);
    machine.ClearTrace();
    machine.EnableTrace(false);
    machine.In(kBase);
    EXPECT_TRUE(machine.Trace().empty());
    machine.ResetCounters();
    EXPECT_EQ(machine.Counters().portReads, 0u);
}

// The supply goes after exactly N more accesses: the Nth still sees the target powered,
// whether it is a read or a write.
TEST(SimMachine, PowerCutComesAfterExactlyTheGivenNumberOfAccesses) {
    for (std::uint64_t n : {1u, 2u, 5u}) {
        for (bool reads : {true, false}) {
            SimMachine machine;
            machine.AddPort(kBase);
            machine.PlugCable(WiringByName("stk200"));
            machine.AttachTarget(MakeSimAvrChip(7));
            machine.In(kBase + 1);
            machine.CutPowerAfter(n);
            for (std::uint64_t i = 1; i < n; ++i) {
                if (reads) {
                    EXPECT_NE(machine.In(kBase + 1) & 0x08, 0) << "access " << i << " of " << n;
                } else {
                    machine.Out(kBase, 0x00);
                }
            }
            EXPECT_NE(machine.In(kBase + 1) & 0x08, 0) << "the last access before the cut";
            EXPECT_FALSE(machine.Target()->Powered());
            EXPECT_EQ(machine.In(kBase + 1) & 0x08, 0);
        }
    }
}

TEST(SimMachine, PowerCutAfterNoAccessesIsImmediateAndPowerCanReturn) {
    SimMachine machine;
    machine.AddPort(kBase);
    machine.PlugCable(WiringByName("stk200"));
    machine.AttachTarget(MakeSimAvrChip(7));
    machine.CutPowerAfter(0);
    EXPECT_FALSE(machine.Target()->Powered());
    EXPECT_EQ(machine.In(kBase + 1) & 0x08, 0);
    machine.Out(kBase, 0x00);
    EXPECT_EQ(machine.Target()->Miso(), Level::kFloating);
    machine.SetTargetPower(true);
    EXPECT_TRUE(machine.Target()->Powered());
    EXPECT_NE(machine.In(kBase + 1) & 0x08, 0);
}

TEST(SimMachine, CableGoesIntoTheNamedOrFirstPresentPortOnly) {
    SimMachine machine;
    machine.AddPort(0x378, PortMode::kAbsent);
    machine.AddPort(0x278);
    machine.AddPort(0x3BC);
    machine.PlugCable(WiringByName("stk200"));
    ASSERT_NE(machine.CablePort(), nullptr);
    EXPECT_EQ(machine.CablePort()->Base(), 0x278);
    machine.PlugCable(WiringByName("stk200"), 0x3BC);
    EXPECT_EQ(machine.CablePort()->Base(), 0x3BC);

    // The loopback answers on the cable's port; the others read every input pulled high.
    machine.Out(0x3BC, 0x00);
    machine.Out(0x278, 0x00);
    EXPECT_EQ(machine.In(0x3BC + 1) & 0x20, 0x00);
    EXPECT_EQ(machine.In(0x278 + 1) & 0xF8, 0x78);
    EXPECT_EQ(machine.In(0x378 + 1), 0xFF);
}

TEST(SimMachine, OnlyTheCablePortsWritesReachTheTarget) {
    SimMachine machine;
    machine.AddPort(0x378);
    machine.AddPort(0x278);
    machine.PlugCable(WiringByName("stk200"), 0x278);
    auto chip = MakeSimAvrChip(7);
    AvrChip* avr = chip.get();
    machine.AttachTarget(std::move(chip));
    machine.Out(0x278, 0x0C);  // drivers off: the part runs
    EXPECT_EQ(avr->Miso(), Level::kFloating);
    machine.Out(0x378, 0x00);  // the other port's lines go nowhere
    EXPECT_EQ(avr->Miso(), Level::kFloating);
    machine.Out(0x278, 0x00);
    EXPECT_NE(avr->Miso(), Level::kFloating);
}

// Random register traffic on random benches: no access sequence may crash the simulator,
// and the ports keep to their register model throughout.
TEST(SimMachine, RandomAccessSequencesOnRandomBenchesNeverMisbehave) {
    static constexpr const char* kCables[] = {"stk200", "byteblaster", "xilinx", "lattice",
                                              "plain"};
    static constexpr std::uint16_t kBases[] = {0x378, 0x278, 0x3BC};
    std::mt19937 rng(20240611);
    auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    for (int round = 0; round < 300; ++round) {
        SimTiming timing;
        timing.portAccessNs = pick(3000);
        timing.counterReadNs = pick(3000);
        timing.counterFrequency = pick(4) == 0 ? 0 : 1 + pick(2'000'000'000);
        SimMachine machine(timing);
        std::map<std::uint16_t, PortMode> modes;  // the ports present on the bus
        std::map<std::uint16_t, std::uint8_t> lastData;
        for (std::uint16_t base : kBases) {
            if (pick(2) == 0) {
                modes[base] = static_cast<PortMode>(pick(3));
                machine.AddPort(base, modes[base]);
            }
        }
        if (pick(6) != 0) {
            machine.PlugCable(WiringByName(kCables[pick(5)]), pick(2) ? 0 : kBases[pick(3)]);
        }
        switch (pick(5)) {
            case 0:
            case 1: {
                const AvrChipFaults faults{
                    .outOfStepBits = pick(40), .neverInStep = pick(8) == 0, .locked = pick(8) == 0};
                machine.AttachTarget(MakeSimAvrChip(pick(43), faults));
                break;
            }
            case 2:
                machine.AttachTarget(MakeSimAt89Chip(pick(4)));
                break;
            case 3:
                // Parts with no memories at all still take any instruction.
                if (pick(2) == 0) {
                    machine.AttachTarget(std::make_unique<AvrChip>(AvrChipTraits{}));
                } else {
                    At89ChipTraits empty;
                    empty.threeByteFormat = pick(2) == 0;
                    machine.AttachTarget(std::make_unique<At89Chip>(empty));
                }
                break;
            default:
                break;  // no target
        }
        machine.SetTargetPower(pick(5) != 0);
        if (pick(3) == 0) machine.CutPowerAfter(pick(2000));

        for (int op = 0; op < 3000; ++op) {
            const std::uint16_t near = static_cast<std::uint16_t>(kBases[pick(3)] + pick(6) - 1);
            const std::uint16_t address = pick(10) == 0 ? static_cast<std::uint16_t>(rng()) : near;
            switch (pick(12)) {
                case 0:
                case 1:
                case 2:
                case 3: {
                    const auto value = static_cast<std::uint8_t>(rng());
                    machine.Out(address, value);
                    lastData[address] = value;
                    break;
                }
                case 4:
                case 5:
                case 6:
                case 7: {
                    const std::uint8_t value = machine.In(address);
                    const auto port = modes.find(address);
                    if (port == modes.end() || port->second == PortMode::kAbsent) {
                        if (!modes.contains(static_cast<std::uint16_t>(address - 1)) &&
                            !modes.contains(static_cast<std::uint16_t>(address - 2))) {
                            ASSERT_EQ(value, 0xFF) << "undecoded " << address;
                        }
                    } else {
                        const std::uint8_t mask = port->second == PortMode::kPresent ? 0xFF : 0xBF;
                        ASSERT_EQ(value, lastData[address] & mask) << "data register " << address;
                    }
                    break;
                }
                case 8:
                    machine.Counter();
                    break;
                case 9:
                    machine.AdvanceNs(pick(20'000'000));
                    break;
                case 10:
                    machine.SetTargetPower(pick(4) != 0);
                    break;
                default: {
                    const auto value = static_cast<std::uint8_t>(pick(2) ? 0x00 : 0x0C);
                    machine.Out(address, value);
                    lastData[address] = value;
                    break;
                }
            }
        }
        if (machine.Frequency() == 0) {
            EXPECT_EQ(machine.Counter(), 0);
        }
    }
}

}  // namespace
}  // namespace velkor::sim
