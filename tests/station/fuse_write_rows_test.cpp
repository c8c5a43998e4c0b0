// Fuse and lock writes on every chip row with fuses, through the station on a simulated chip
// built from the part's own sheet. A write flips every bit of the row's mask that the fuse
// safety check lets through, so a wrong instruction, selector, mask or read-back on any row
// shows as a chip holding other bits than the ones written; a write the chip never took must
// end as a failed write wherever the part can read the byte back.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "devices/chip_table.h"
#include "devices/fuse_safety.h"
#include "station/station.h"

namespace velkor {
namespace {

struct Bench {
    Station station;
    sim::AvrChip* chip = nullptr;
};

// A station on a simulated bench holding the part of AVR row `row`, with that row selected.
void Open(Bench& b, std::uint32_t row) {
    PortPathOptions sim;
    sim.kind = PortPathKind::kSim;
    sim.bench.chip = ChipTable[row].name;
    std::string problem;
    ASSERT_TRUE(b.station.BindPort(sim, &problem)) << problem;
    b.chip = b.station.Port()->Bench()->Avr();
    ASSERT_NE(b.chip, nullptr);
    b.station.SetFamily(kFamilyAvr);
    b.station.SelectChip(row, true);
}

std::array<std::uint8_t, 3> ChipFuses(const sim::AvrChip& chip) {
    return {chip.FuseLow(), chip.FuseHigh(), chip.FuseExtended()};
}

// The chip's fuses with every bit of the row's masks flipped, except the bits whose new state
// would end serial programming on a real part.
std::array<std::uint8_t, 3> FlippedFuses(const ChipRecord& r, std::array<std::uint8_t, 3> f) {
    std::array<std::uint8_t, 3> v;
    for (int k = 0; k < 3; ++k) v[k] = static_cast<std::uint8_t>(f[k] ^ r.fuseMask[k]);
    for (const FuseHazard& h : FindFuseHazards(FuseBytes{v[0], v[1], v[2]}, r)) {
        v[h.byte] = static_cast<std::uint8_t>(v[h.byte] ^ (1u << h.bit));
    }
    return v;
}

TEST(FuseWriteRows, EveryRowWithFusesTakesExactlyTheBitsWritten) {
    for (std::uint32_t row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& r = ChipTable[row];
        if (r.fuseKind == 0) continue;
        SCOPED_TRACE(r.name);
        Bench b;
        Open(b, row);
        const std::array<std::uint8_t, 3> factory = ChipFuses(*b.chip);
        const std::array<std::uint8_t, 3> wanted = FlippedFuses(r, factory);
        ASSERT_NE(wanted, factory);
        b.station.SetFuses({wanted[0], wanted[1], wanted[2]});
        const RunReport report = b.station.Run(b.station.Request(RunKind::kFuseWrite));
        EXPECT_EQ(report.result, RunResult::kDone) << b.station.LogText();
        // Bits outside the masks are not the user's: the chip keeps its own there.
        EXPECT_EQ(ChipFuses(*b.chip), wanted) << b.station.LogText();
    }
}

// Which written bytes the part can read back by themselves: the older layouts read the fuse
// bits packed with other bits (kinds 1 and 2) and take the lock bits in the instruction
// (kinds up to 3), so there a write that did not arrive cannot be told.
bool ReadBack(std::uint8_t kind, int selector) {
    return selector == kLockBits ? kind >= 4 : selector != kFuseLow || kind >= 3;
}

TEST(FuseWriteRows, AWriteTheChipDidNotTakeFailsWhereItCanBeReadBack) {
    for (std::uint8_t kind = 3; kind <= 6; ++kind) {
        std::uint32_t row = 0;
        while (ChipTable[row].fuseKind != kind) ++row;
        const ChipRecord& r = ChipTable[row];
        // Each fuse byte the row writes in a fuse write (the n-th configuration write of the
        // run is the one the chip drops), then the lock byte in a run of its own.
        int writes = 0;
        for (int k = 0; k < 3; ++k) writes += r.fuseMask[k] != 0 ? 1 : 0;
        for (int n = 0; n <= writes; ++n) {
            const bool lock = n == writes;
            const int selector = lock ? kLockBits : kFuseLow + n;
            if (!ReadBack(kind, selector)) continue;
            SCOPED_TRACE(std::string(r.name) +
                         (lock ? " lock" : " fuse byte " + std::to_string(n)));
            Bench b;
            Open(b, row);
            const std::array<std::uint8_t, 3> wanted = FlippedFuses(r, ChipFuses(*b.chip));
            b.station.SetFuses({wanted[0], wanted[1], wanted[2]});
            // From this write on the chip's self-timed writes store nothing.
            const int dropped = lock ? 0 : n;
            int seen = 0;
            sim::AvrChip* chip = b.chip;
            chip->SetInstructionHook([chip, &seen, dropped](std::uint16_t head) {
                const bool config = head >> 8 == 0xAC && head != 0xAC53 && head != 0xAC80;
                if (config && seen++ == dropped) chip->Faults().writesHang = true;
            });
            RunRequest request = b.station.Request(lock ? RunKind::kProgram : RunKind::kFuseWrite);
            if (lock) request.steps = ProgramCommandSet{.lock = 1};
            EXPECT_EQ(b.station.Run(request).result, RunResult::kConfigWriteFailed)
                << b.station.LogText();
            EXPECT_EQ(seen, dropped + 1);
        }
    }
}

}  // namespace
}  // namespace velkor
