// Port accesses per programmed flash byte, beside what the wire protocol itself needs,
// and the simulated duration of a full mega128 write and verify.
//
// The wire cost of one instruction: every byte sent is 17 data writes and 17 waits; a byte
// received is 17 writes, 8 status reads and 16 waits. The waits (delay count 1) are timed on
// the counter and make no port access. A ratio of 1.00 means the engine makes no port access
// the instructions do not need.
#include <cstdio>
#include <random>
#include <vector>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "hosting/sim_bench.h"

namespace {

using velkor::IspProgrammer;
using velkor::SimBench;

struct Counts {
    std::uint64_t accesses;
    std::uint64_t frames;
    std::uint64_t ns;
    std::uint64_t dataBytes;  // image bytes that are not blank
};

Counts RunOnce(const char* chip, bool writeFlash, bool erase, bool verify, unsigned seed,
               double fill) {
    IspProgrammer engine;
    SimBench bench(engine, {.chip = chip});
    velkor::ProgrammerSettings settings = engine.Settings();
    settings.chipIndex = static_cast<std::uint32_t>(bench.ChipRow());
    std::mt19937 random(seed);
    const std::uint32_t size = settings.AvrRecord().flashSize;
    std::vector<std::uint8_t> image(size, 0xFF);
    std::uint64_t dataBytes = 0;
    for (std::uint32_t i = 0; i < size; ++i) {
        const bool data = std::uniform_real_distribution<double>(0, 1)(random) < fill;
        std::uint8_t b = static_cast<std::uint8_t>(random());
        if (b == 0xFF) b = 0x00;
        image[i] = data ? b : 0xFF;
        dataBytes += data ? 1 : 0;
    }
    engine.SetImage(velkor::ImageKind::kFlash, image, engine.FlashImageLength(), {});
    // Fresh chips come erased, so the flash-only run needs no erase step.
    settings.commands.writeFlash = writeFlash;
    settings.commands.erase = erase;
    settings.commands.verify = verify;
    engine.SetSettings(settings);
    const std::uint64_t start = bench.Machine().NowNs();
    engine.ProgramCommand();
    const auto& c = bench.Machine().Counters();
    return {c.portReads + c.portWrites, bench.Avr()->InstructionCount(),
            bench.Machine().NowNs() - start, dataBytes};
}

void Report(const char* label, const char* chip, bool byteMode) {
    const std::uint64_t d = 0;  // port reads per wait: none, the waits are timed
    const std::uint64_t sendFrame = 4 * (17 + 17 * d);
    const std::uint64_t readFrame = 3 * (17 + 17 * d) + (17 + 8 + 16 * d);
    const Counts base = RunOnce(chip, false, false, false, 1, 0.5);
    const Counts run = RunOnce(chip, true, false, false, 1, 0.5);
    const std::uint64_t accesses = run.accesses - base.accesses;
    const std::uint64_t frames = run.frames - base.frames;

    // In byte mode each data byte is one write instruction; every other frame is a poll.
    const std::uint64_t dataBytes = run.dataBytes;
    const std::uint64_t required =
        byteMode ? dataBytes * sendFrame + (frames - dataBytes) * readFrame : frames * sendFrame;
    std::printf("%-28s %8llu data bytes  %6.1f accesses/byte  wire needs %6.1f  ratio %.2f\n",
                label, static_cast<unsigned long long>(dataBytes),
                static_cast<double>(accesses) / static_cast<double>(dataBytes),
                static_cast<double>(required) / static_cast<double>(dataBytes),
                static_cast<double>(accesses) / static_cast<double>(required));
}

}  // namespace

int main() {
    std::printf("Port accesses per programmed flash byte (half the bytes blank, delay count 1)\n");
    Report("page mode (mega8, 64 B)", "mega8", false);
    Report("byte mode (90S8515, polled)", "90S8515", true);

    const Counts full = RunOnce("mega128", true, true, true, 7, 1.0);
    std::printf(
        "\nmega128 erase + write + verify of 128 KiB at 1 us per port access and per "
        "counter read: %.2f s simulated (%llu port accesses)\n",
        static_cast<double>(full.ns) / 1e9, static_cast<unsigned long long>(full.accesses));
    return 0;
}
