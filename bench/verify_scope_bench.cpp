// Port accesses of a mega128 erase + write + verify of a 4 KiB firmware, with the verify
// reading the whole chip and with it reading only the file's bytes, side by side; and where
// the accesses of a file-scope run go.
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "engine/isp_programmer.h"
#include "files/hex_writer.h"
#include "files/image_loader.h"
#include "hosting/sim_bench.h"

namespace {

using velkor::IspProgrammer;
using velkor::SimBench;

struct Run {
    std::uint64_t reads;
    std::uint64_t writes;
    std::uint64_t Total() const { return reads + writes; }
};

Run Program(const std::string& hexPath, bool verify, bool fileScope, bool noWait = false) {
    IspProgrammer engine;
    SimBench bench(engine, {.chip = "mega128"});
    engine.chipIndex = static_cast<std::uint32_t>(bench.ChipRow());
    velkor::HexFile file;
    if (velkor::LoadFlashImage(engine, file, hexPath) != 0) std::printf("cannot load the image\n");
    engine.commands.erase = 1;
    engine.commands.writeFlash = 1;
    engine.commands.verify = verify ? 1 : 0;
    engine.verifyFileOnly = fileScope;
    if (noWait) {  // custom speed with a delay count of 0: no wait reads between clock edges
        engine.speedSelection = 1;
        engine.userPortDelay = 0;
    }
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

    const Run none = Program(hex.string(), false, false);
    const Run chip = Program(hex.string(), true, false);
    const Run file = Program(hex.string(), true, true);
    const Run fileNoWait = Program(hex.string(), true, true, true);
    std::filesystem::remove(hex);

    auto millions = [](std::uint64_t n) { return static_cast<double>(n) / 1e6; };
    std::printf("mega128, erase + write + verify of a 4 KiB firmware (delay count 1)\n");
    std::printf("%-26s %12s %12s %12s\n", "", "no verify", "scope chip", "scope file");
    std::printf("%-26s %11.2fM %11.2fM %11.2fM\n", "port accesses", millions(none.Total()),
                millions(chip.Total()), millions(file.Total()));
    std::printf("%-26s %11.2fM %11.2fM %11.2fM\n", "  of them reads", millions(none.reads),
                millions(chip.reads), millions(file.reads));
    const double perByte =
        static_cast<double>(file.Total() - none.Total()) / static_cast<double>(firmware.size());
    std::printf(
        "file-scope verify: %.1f port accesses per firmware byte (one 4-byte read "
        "instruction each)\n",
        perByte);
    std::printf(
        "file scope against the 0.61M of a common bit-banging programmer: %.2f times "
        "(target at most 1.5)\n",
        static_cast<double>(file.Total()) / 610000.0);
    // Each bit costs two data writes and two waits of `delay count` status reads; at the
    // fastest setting the count is 1, so half of every instruction's accesses are waits.
    std::printf(
        "where they go: the same file-scope run with a delay count of 0 (--speed 0) "
        "takes %.2fM accesses, %.2f times\n",
        millions(fileNoWait.Total()), static_cast<double>(fileNoWait.Total()) / 610000.0);
    return 0;
}
