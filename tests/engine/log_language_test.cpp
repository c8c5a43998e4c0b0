#include <gtest/gtest.h>

#include <algorithm>

#include "engine/isp_programmer.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
using test::PokeImage;
using test::SetImageLength;
namespace {

using test::SimRig;

// One Program run with every step on the simulated bench, in the given language.
std::unique_ptr<SimRig> ProgramRun(Language language, SimBenchOptions options) {
    auto rig = std::make_unique<SimRig>(options);
    IspProgrammer& e = rig->engine;
    e.SetLogLanguage(language);
    Edit(e)->targetFamily = rig->bench->ChipFamily();
    Edit(e)->chipIndex = static_cast<std::uint32_t>(std::max(rig->bench->ChipRow(), 0));
    for (std::uint32_t a = 0; a < 300; ++a)
        PokeImage(e, ImageKind::kFlash, a, static_cast<std::uint8_t>(a * 7));
    SetImageLength(e, ImageKind::kFlash, 300);
    for (std::uint32_t a = 0; a < 40; ++a)
        PokeImage(e, ImageKind::kEeprom, a, static_cast<std::uint8_t>(a));
    SetImageLength(e, ImageKind::kEeprom, 40);
    Edit(e)->fuseLow = 0xE1;
    Edit(e)->fuseHigh = 0xD9;
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.writeEeprom = 1;
    Edit(e)->commands.verify = 1;
    Edit(e)->commands.readFuse = 1;
    Edit(e)->commands.writeFuse = 1;
    Edit(e)->commands.lock = 1;
    Edit(e)->commands.checkId = 1;
    Edit(e)->commands.copyCal = 1;
    e.ProgramCommand();
    return rig;
}

bool AllAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The language changes only the words: a run logs the same lines, in the same order, and the
// English log holds no Chinese.
TEST(LogLanguage, ARunLogsTheSameLinesInBothLanguages) {
    for (const SimBenchOptions& options :
         {SimBenchOptions{.chip = "mega8"}, SimBenchOptions{.chip = "89S52"},
          SimBenchOptions{.chip = "mega8", .targetPower = false}, SimBenchOptions{.chip = ""}}) {
        SCOPED_TRACE(options.chip);
        const auto zh = ProgramRun(Language::kZh, options);
        const auto en = ProgramRun(Language::kEn, options);
        EXPECT_GE(zh->engine.LogIds().size(), 3u);
        EXPECT_EQ(zh->engine.LogIds(), en->engine.LogIds());
        EXPECT_FALSE(AllAscii(zh->engine.LogText()));
        EXPECT_TRUE(AllAscii(en->engine.LogText())) << en->engine.LogText();
        // Line for line, each log ends its lines where the other does.
        EXPECT_EQ(zh->LogLines().size(), en->LogLines().size());
    }
}

}  // namespace
}  // namespace velkor
