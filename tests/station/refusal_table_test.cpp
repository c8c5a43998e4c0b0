// The rules before a run, held by the station for every front end: the same settings file is
// refused by the command line (status 2, no port touched, the simulated chip as it was) and by
// the window (no run, the station's line in the log box, no port access on the bench).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window_presenter.h"
#include "app/main_window_template.h"
#include "cli/cli_app.h"
#include "devices/chip_table.h"
#include "tests/app/fake_main_window_view.h"
#include "tests/cli/cli_run.h"
#include "watch/flash_file_watch.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

// Intel HEX of `count` bytes of 0x5A from address 0; `end`: with its end record.
std::string Hex(std::uint32_t count, bool end = true) {
    std::string text;
    for (std::uint32_t a = 0; a < count; a += 16) {
        const std::uint32_t n = std::min<std::uint32_t>(16, count - a);
        unsigned sum = n + ((a >> 8) & 0xFF) + (a & 0xFF) + n * 0x5A;
        char line[80];
        std::snprintf(line, sizeof line, ":%02X%04X00", n, a);
        text += line;
        for (std::uint32_t i = 0; i < n; ++i) text += "5A";
        std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    return end ? text + ":00000001FF\n" : text;
}

class NoWatch : public FlashFileWatch {
  public:
    void Watch(const std::string&) override {}
    void Unwatch() override {}
};

struct RefusalCase {
    const char* name;
    const char* command;  // the command line's command
    std::string device;   // [DEVICE] keys
    std::string steps;    // [PROGCMD] keys
    std::string flash;    // the flash file's text; empty: no file there
    const char* windowLine;
    int button = kProgramButtonId;
};

class RefusalTable : public ::testing::TestWithParam<RefusalCase> {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velkor-station-" + std::to_string(::getpid()) + "-" + GetParam().name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const RefusalCase& c = GetParam();
        const std::string flash = (dir_ / "app.hex").string();
        if (!c.flash.empty()) std::ofstream(flash, std::ios::binary) << c.flash;
        ini_ = (dir_ / "velkor.ini").string();
        std::ofstream(ini_, std::ios::binary)
            << "[SIMULATOR]\nEnabled=1\nChip=mega8\n[DEVICE]\n"
            << c.device << "\n[FLASH]\nFILE=" << flash << "\n[PROGCMD]\n"
            << c.steps << "\n";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::string ini_;
};

std::string Row(std::uint32_t family, const char* name) {
    return "TYPE=" + std::to_string(family) +
           "\nID=" + std::to_string(FindChipByName(family, name));
}

const std::string kProgramSteps = "WriteFlash=1\nErase=1\nVerify=1\nCheckId=1";

TEST_P(RefusalTable, BothFrontEndsRefuseWithoutTouchingThePort) {
    const RefusalCase& c = GetParam();

    // The command line: status 2, and the bench was never bound, so it dumps nothing.
    const fs::path dump = dir_ / "dump";
    const cli::CliRun run =
        cli::Cli({c.command, "--ini", ini_, "--backend", "sim", "--sim-dump", dump.string()});
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_FALSE(fs::exists(dump / "state.txt"));

    // The window: the same file, the same rule, the line in its log.
    test::FakeMainWindowView view;
    test::QueuedNotifier notes;
    Station station(&notes);
    NoWatch watch;
    {
        MainWindowPresenter p(station, view, ini_, &watch);
        p.Initialise();
        notes.Deliver(p);
        ASSERT_NE(p.Port()->Bench(), nullptr);
        const sim::AccessCounters before = p.Port()->Bench()->Machine().Counters();
        p.OnCommand(c.button);
        notes.Deliver(p);
        EXPECT_FALSE(p.RunGoing());
        EXPECT_NE(view.log.find(c.windowLine), std::string::npos) << view.log;
        const sim::AccessCounters after = p.Port()->Bench()->Machine().Counters();
        EXPECT_EQ(after.portReads, before.portReads);
        EXPECT_EQ(after.portWrites, before.portWrites);
        const std::vector<std::uint8_t>& chip = p.Port()->Bench()->Avr()->Flash();
        EXPECT_EQ(std::count(chip.begin(), chip.end(), 0xFF), static_cast<long>(chip.size()));
        p.OnEscape();
    }
}

// A delay out of range is no reason to refuse a run: both front ends clamp it with the same
// line, and the run goes at the clamped delay.
TEST(RefusalTableDelay, BothFrontEndsClampAnOutOfRangeDelayWithTheSameLine) {
    const fs::path dir = fs::temp_directory_path() / ("velkor-delay-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string flash = (dir / "app.hex").string();
    std::ofstream(flash, std::ios::binary) << Hex(64);
    const std::string ini = (dir / "velkor.ini").string();
    std::ofstream(ini, std::ios::binary)
        << "[SIMULATOR]\nEnabled=1\nChip=mega8\n[DEVICE]\n"
        << Row(kFamilyAvr, "mega8") << "\n[FLASH]\nFILE=" << flash
        << "\n[PROGOPTION]\nSpeedSel=1\nUserPortDly=-100\n[PROGCMD]\n"
        << kProgramSteps << "\n";
    std::string line = Render({Msg::kSettingsBadUserPortDelay, {Num(-100), Num(0)}}, Language::kZh);
    line.resize(line.find('\r'));  // the command line ends its lines its own way

    const cli::CliRun run = cli::Cli({"program", "--ini", ini, "--backend", "sim", "--lang", "zh"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(line), std::string::npos) << run.out;

    test::FakeMainWindowView view;
    test::QueuedNotifier notes;
    Station station(&notes);
    NoWatch watch;
    {
        MainWindowPresenter p(station, view, ini, &watch);
        p.Initialise();
        notes.Deliver(p);
        EXPECT_NE(view.log.find(line), std::string::npos) << view.log;
        EXPECT_EQ(station.Options().userPortDelay, 0u);
        p.OnEscape();
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTable,
    ::testing::Values(
        RefusalCase{"IndexBeyondTheList", "program", "TYPE=0\nID=999", kProgramSteps, Hex(64),
                    MsgZh(Msg::kRefusedNoChip)},
        RefusalCase{"TerminatorRow", "program", "TYPE=0\nID=" + std::to_string(kChipTableRows - 1),
                    kProgramSteps, Hex(64), MsgZh(Msg::kRefusedNoChip)},
        RefusalCase{"FlashFileMissing", "program", Row(kFamilyAvr, "mega8"), kProgramSteps, "",
                    "未能载入, 操作未执行"},
        RefusalCase{"FlashFileDamaged", "program", Row(kFamilyAvr, "mega8"), kProgramSteps,
                    Hex(32).substr(0, 44) + "\n:10001000ZZ\n", "文件不完整, 操作未执行"},
        RefusalCase{"BytesBeyondTheChip", "program", Row(kFamilyAvr, "tiny13"), kProgramSteps,
                    Hex(1100), MsgZh(Msg::kRefusedBeyondChip)},
        RefusalCase{"HazardousFuseUnconfirmed", "fuse-write",
                    Row(kFamilyAvr, "mega8") + "\nFUSE0=225\nFUSE1=89\nFUSE2=0", kProgramSteps,
                    Hex(64), MsgZh(Msg::kFuseWriteCancelled), kWriteButtonId},
        RefusalCase{"StepThe89S5xFamilyLacks", "program", Row(kFamily89S5x, "89S52"),
                    kProgramSteps + "\nWriteEEPROM=1", Hex(64), "没有 EEPROM 步骤"},
        RefusalCase{"NothingToDo", "program", Row(kFamilyAvr, "mega8"),
                    "WriteFlash=0\nErase=0\nVerify=0\nCheckId=0", Hex(64),
                    MsgZh(Msg::kRefusedNothingToDo)}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor
