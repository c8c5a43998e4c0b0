// A read whose target loses its supply or its cable part-way must end as a failure with its
// line, and hand back no bytes: a chip that stopped answering reads as plausible 0x00 or 0xFF.
// Each fault strikes at several points of a clean read, on a cable that senses the supply and
// on one that does not (there only the signature read at the end can tell), and on the 89S5x
// page read; with the fault gone the next read returns what the first one did.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "devices/chip_table.h"
#include "files/hex_writer.h"
#include "sim/cable_wiring.h"
#include "station/station.h"

namespace velkor {
namespace {

enum class Fault { kPowerLost, kCablePulled };

TEST(ReadBackLoss, APowerCutOrCablePullDuringTheReadFailsAndKeepsNoBytes) {
    struct Bench {
        const char* chip;
        std::uint32_t family;
        const char* cable;
    };
    const Bench benches[] = {
        {"mega8", kFamilyAvr, "stk200"},
        {"mega8", kFamilyAvr, "byteblaster"},  // no supply sense line
        {"89S52", kFamily89S5x, "stk200"},     // 256-byte page reads
    };
    // Where the fault strikes, as a share of a clean read's port accesses.
    const double points[] = {0.1, 0.45, 0.8, 0.995};
    for (const Bench& b : benches) {
        Station station;
        PortPathOptions sim;
        sim.kind = PortPathKind::kSim;
        sim.bench.chip = b.chip;
        sim.bench.cable = b.cable;
        std::string problem;
        ASSERT_TRUE(station.BindPort(sim, &problem)) << problem;
        station.SetFamily(b.family);
        station.SelectChip(static_cast<std::uint32_t>(FindChipByName(b.family, b.chip)), true);
        // A chip with data on it: an erased one reads as all 0xFF, as a lost one may.
        std::vector<std::uint8_t> image(4096);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
        ASSERT_EQ(station.LoadFlashText("image.hex", IntelHexText(image)), 0);
        RunRequest program = station.Request(RunKind::kProgram);
        program.steps = {};
        program.steps.erase = program.steps.writeFlash = 1;
        ASSERT_TRUE(station.Run(program).Ok()) << station.LogText();
        RunRequest request = station.Request(RunKind::kReadChip);
        request.readFlash = true;
        request.readEeprom = b.family == kFamilyAvr;
        sim::SimMachine& machine = station.Port()->Bench()->Machine();

        const auto accessed = [&machine] {
            return machine.Counters().portReads + machine.Counters().portWrites;
        };
        const std::uint64_t before = accessed();
        const RunReport clean = station.Run(request);
        ASSERT_TRUE(clean.Ok()) << station.LogText();
        ASSERT_FALSE(clean.readFlash.empty());
        const std::uint64_t accesses = accessed() - before;

        for (const Fault fault : {Fault::kPowerLost, Fault::kCablePulled}) {
            for (const double point : points) {
                SCOPED_TRACE(std::string(b.chip) + " on " + b.cable + ", " +
                             (fault == Fault::kPowerLost ? "power lost" : "cable pulled") + " at " +
                             std::to_string(point));
                machine.AfterAccesses(static_cast<std::uint64_t>(accesses * point),
                                      [fault](sim::SimMachine& m) {
                                          if (fault == Fault::kPowerLost) {
                                              m.SetTargetPower(false);
                                          } else {
                                              m.PlugCable(nullptr);
                                          }
                                      });
                const std::uint64_t start = accessed();
                const RunReport lost = station.Run(request);
                // Where the supply is sensed, the read stops at the first whole 256-byte
                // block read after the cut, not after the whole memory.
                if (fault == Fault::kPowerLost && std::string(b.cable) != "byteblaster") {
                    const double bytes = clean.readFlash.size() + clean.readEeprom.size();
                    EXPECT_LT(accessed() - start, accesses * (point + 2.5 * 256 / bytes));
                }
                EXPECT_EQ(lost.result, RunResult::kTargetLost) << station.LogText();
                EXPECT_TRUE(lost.readFlash.empty());
                EXPECT_TRUE(lost.readEeprom.empty());
                const std::string log = station.LogText();
                EXPECT_TRUE(log.find("读取过程中目标板断电") != std::string::npos ||
                            log.find("读取结束时芯片不再应答") != std::string::npos)
                    << log;

                machine.AfterAccesses(0, nullptr);
                machine.SetTargetPower(true);
                machine.PlugCable(sim::WiringByName(b.cable));
                const RunReport again = station.Run(request);
                ASSERT_TRUE(again.Ok()) << station.LogText();
                EXPECT_EQ(again.readFlash, clean.readFlash);
                EXPECT_EQ(again.readEeprom, clean.readEeprom);
            }
        }
    }
}

}  // namespace
}  // namespace velkor
