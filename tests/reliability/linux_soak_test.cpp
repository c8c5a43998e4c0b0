// Soak: thousands of consecutive Program runs on one engine and one simulated bench. Every
// run must succeed with the same log, and the heap must not grow from run to run.
//
// VELKOR_SOAK_RUNS sets the number of runs (default 300); with VELKOR_SOAK_REPORT set to a
// file name, the heap figures go there.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

#include "engine/isp_programmer.h"
#include "hosting/sim_bench.h"
#include "tests/support/engine_edit.h"

namespace velkor {
using test::Edit;
using test::PokeImage;
using test::SetImageLength;
namespace {

struct HeapFigure {
    std::size_t inUse;  // bytes handed out by malloc, mapped blocks included
    long maxRssKb;      // the process's peak resident set
};

// Counts the engine's messages instead of keeping them, so that it holds no memory of its own.
class CountingNotifier : public EngineReports {
  public:
    void OnLog() override { ++logs; }
    void OnProgress(int) override { ++progress; }
    std::uint64_t logs = 0;
    std::uint64_t progress = 0;
};

HeapFigure Measure() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // Large blocks are mapped apart from the heap proper; both count.
    const struct mallinfo2 info = mallinfo2();
    return {info.uordblks + info.hblkhd, usage.ru_maxrss};
}

TEST(Soak, ThousandsOfRunsKeepTheirResultAndTheHeapFlat) {
    const char* runsText = std::getenv("VELKOR_SOAK_RUNS");
    const int runs = runsText != nullptr ? std::atoi(runsText) : 300;
    ASSERT_GE(runs, 200);
    IspProgrammer engine;
    CountingNotifier notes;
    engine.SetReports(&notes);
    SimBench bench(engine, {.chip = "tiny13"});
    Edit(engine)->chipIndex = static_cast<std::uint32_t>(bench.ChipRow());
    std::mt19937 random(11);
    std::vector<std::uint8_t> flash(1024);
    std::vector<std::uint8_t> eeprom(64);
    for (auto& b : flash) b = static_cast<std::uint8_t>(random());
    for (auto& b : eeprom) b = static_cast<std::uint8_t>(random());
    engine.SetImage(ImageKind::kFlash, flash, 1024, {});
    engine.SetImage(ImageKind::kEeprom, eeprom, 64, {});
    ProgrammerSettings settings = engine.Settings();
    ProgramCommandSet& c = settings.commands;
    c.checkId = c.readFuse = c.erase = c.writeFlash = c.verify = c.writeEeprom = c.writeFuse = 1;
    engine.SetSettings(settings);

    std::string firstLog;
    CountingNotifier firstNotes;
    HeapFigure at100{};
    for (int run = 1; run <= runs; ++run) {
        notes = {};
        const int result = engine.ProgramCommand();
        if (run == 1) {
            firstLog = engine.LogText();
            ASSERT_TRUE(firstLog.ends_with("完成.\r\n退出\r\n")) << firstLog;
        }
        ASSERT_EQ(result, kSeqDone) << "run " << run << "\n" << engine.LogText();
        ASSERT_EQ(engine.LastEepromResult(), 0) << "run " << run;
        ASSERT_EQ(engine.LogText(), firstLog) << "run " << run;
        // The progress posts only on a change, and the first run starts from 0 instead of
        // the previous run's last value: runs from the second on post alike.
        if (run == 2) firstNotes = notes;
        ASSERT_EQ(notes.logs, run == 1 ? notes.logs : firstNotes.logs) << "run " << run;
        ASSERT_EQ(notes.progress, run == 1 ? notes.progress : firstNotes.progress) << "run " << run;
        if (run == 100) at100 = Measure();
    }
    const HeapFigure atEnd = Measure();
    ASSERT_TRUE(std::equal(bench.Avr()->Flash().begin(), bench.Avr()->Flash().end(),
                           engine.FlashImage().begin()));
    // Flat: what a run allocates it gives back, so the runs after the 100th add nothing.
    EXPECT_LE(atEnd.inUse, at100.inUse + 64 * 1024)
        << "heap " << at100.inUse << " bytes at run 100, " << atEnd.inUse << " at run " << runs;
    if (const char* report = std::getenv("VELKOR_SOAK_REPORT")) {
        std::ofstream out(report);
        out << "runs " << runs << "\nheap_run100 " << at100.inUse << "\nheap_end " << atEnd.inUse
            << "\nmaxrss_kb_run100 " << at100.maxRssKb << "\nmaxrss_kb_end " << atEnd.maxRssKb
            << "\n";
    }
}

}  // namespace
}  // namespace velkor
