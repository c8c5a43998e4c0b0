// Port accesses of a mega128 erase + write + verify of a 4 KiB firmware, with the verify
// reading the whole chip and with it reading only the file's bytes, side by side; with the
// clock half-periods timed on the counter (the default) and made of port reads; and where
// the accesses of a file-scope run go.
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "engine/isp_programmer.h"
#include "files/hex_writer.h"
#include "files/image_loader.h"
#include "hosting/sim_bench.h"
#include "station/engine_images.h"

namespace {

using velkor::IspProgrammer;
using velkor::SimBench;

struct Run {
    std::uint64_t reads;
    std::uint64_t writes;
    std::uint64_t Total() const { return reads + writes; }
};

Run Program(const std::string& hexPath, bool verify, bool fileScope, bool waitReads,
            bool noWait = false) {
    IspProgrammer engine;
    velkor::ProgrammerSettings settings = engine.Settings();
    settings.timedPortWaits = !waitReads;
    SimBench bench(engine, {.chip = "mega128"});
    settings.chipIndex = static_cast<std::uint32_t>(bench.ChipRow());
    velkor::HexFile file;
    if (velkor::LoadFlashImage(engine, file, hexPath) != 0) std::printf("cannot load the image\n");
    settings.commands.erase = 1;
    settings.commands.writeFlash = 1;
    settings.commands.verify = verify ? 1 : 0;
    settings.verifyFileOnly = fileScope;
    if (noWait) {  // custom speed with a delay count of 0: no wait reads between clock edges
        settings.speedSelection = 1;
        settings.userPortDelay = 0;
    }
    engine.SetSettings(settings);
    if (engine.ProgramCommand() != velkor::kSeqDone) std::printf("the run failed\n");
    const auto& c = bench.Machine().Counters();
    return {c.portReads, c.portWrites};
}

}  // namespace

int main() {
    std::mt19937 random(11);
    std::vector<std::uint8_t> firmware(4096);
    for (auto& b : firmware) b = static_cast<std::uint8_t>(random() % 0xFF);  // never 0xFF
    const std::filesystem::path hex =
        std::filesystem::temp_directory_path() / "velkor-verify-scope-bench.hex";
    if (!velkor::SaveIntelHexFile(hex.string(), firmware).empty()) return 1;

    Run runs[2][3];  // [waits made of reads][no verify, scope chip, scope file]
    for (int reads = 0; reads < 2; ++reads) {
        runs[reads][0] = Program(hex.string(), false, false, reads != 0);
        runs[reads][1] = Program(hex.string(), true, false, reads != 0);
        runs[reads][2] = Program(hex.string(), true, true, reads != 0);
    }
    const Run fileNoWait = Program(hex.string(), true, true, false, true);
    std::filesystem::remove(hex);

    constexpr double kReference = 610000.0;  // a common bit-banging programmer, same run
    auto millions = [](std::uint64_t n) { return static_cast<double>(n) / 1e6; };
    std::printf(
        "mega128, erase + write + verify of a 4 KiB firmware (default speed, delay count 1)\n");
    std::printf("%-30s %12s %12s %12s\n", "", "no verify", "scope chip", "scope file");
    const char* names[2] = {"waits timed (default)", "waits made of port reads"};
    for (int reads = 0; reads < 2; ++reads) {
        const Run* r = runs[reads];
        std::printf("%-30s %11.2fM %11.2fM %11.2fM\n", names[reads], millions(r[0].Total()),
                    millions(r[1].Total()), millions(r[2].Total()));
        std::printf("%-30s %11.2fM %11.2fM %11.2fM\n", "  of them reads", millions(r[0].reads),
                    millions(r[1].reads), millions(r[2].reads));
    }
    const Run& file = runs[0][2];
    const double perByte = static_cast<double>(file.Total() - runs[0][0].Total()) /
                           static_cast<double>(firmware.size());
    std::printf(
        "file-scope verify: %.1f port accesses per firmware byte (one 4-byte read "
        "instruction each)\n",
        perByte);
    std::printf(
        "file scope against the 0.61M of a common bit-banging programmer: %.2f times with "
        "timed waits, %.2f times with waits made of reads (target at most 1.5)\n",
        static_cast<double>(file.Total()) / kReference,
        static_cast<double>(runs[1][2].Total()) / kReference);
    // Each bit costs two data writes and two half-period waits; made of reads at delay count
    // 1, the waits are half of every instruction's accesses. Timed, they make none: the run
    // then takes what a delay count of 0 takes, with the half-periods kept.
    std::printf(
        "where they go: the same file-scope run with a delay count of 0 (--speed 0) "
        "takes %.2fM accesses, %.2f times\n",
        millions(fileNoWait.Total()), static_cast<double>(fileNoWait.Total()) / kReference);
    return 0;
}
