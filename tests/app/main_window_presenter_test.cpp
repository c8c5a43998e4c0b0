#include "app/main_window_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/main_window_template.h"
#include "devices/chip_table.h"
#include "devices/fuse_panel.h"
#include "devices/fuse_wizard.h"
#include "files/image_fit.h"
#include "files/profile_file.h"
#include "files/safe_file.h"
#include "hosting/port_path.h"
#include "sim/cable_wiring.h"
#include "station/engine_images.h"
#include "tests/app/fake_main_window_view.h"
#include "watch/flash_file_watch.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

// An Intel HEX file of `count` bytes from address 0, byte i = (i * 7 + salt) & 0xFF.
std::string HexImage(int count, int salt = 3) {
    std::string text;
    for (int address = 0; address < count; address += 16) {
        const int n = count - address < 16 ? count - address : 16;
        unsigned sum = n + (address >> 8) + (address & 0xFF);
        char line[64];
        std::snprintf(line, sizeof line, ":%02X%04X00", n, address);
        text += line;
        for (int i = 0; i < n; ++i) {
            const unsigned value = ((address + i) * 7 + salt) & 0xFF;
            sum += value;
            std::snprintf(line, sizeof line, "%02X", value);
            text += line;
        }
        std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    return text + ":00000001FF\n";
}

class RecordingWatch : public FlashFileWatch {
  public:
    void Watch(const std::string& path) override { calls.push_back("watch " + path); }
    void Unwatch() override { calls.push_back("unwatch"); }
    std::vector<std::string> calls;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velkor_main_window_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ini_ = (dir_ / "velkor.ini").string();
        hex_ = (dir_ / "app.hex").string();
        Write(hex_, HexImage(200));
        mega8_ = FindChipByName(kFamilyAvr, "mega8");
    }
    void TearDown() override {
        presenter_.reset();
        fs::remove_all(dir_);
    }

    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // A settings file for the simulated `simChip` with `chip` selected and `extra` lines.
    void Settings(const std::string& simChip, int family, int chip, const std::string& extra = "") {
        Write(ini_, "[SIMULATOR]\nEnabled=1\nChip=" + simChip +
                        "\n[DEVICE]\nTYPE=" + std::to_string(family) +
                        "\nID=" + std::to_string(chip) + "\n[FLASH]\nFILE=" + hex_ +
                        "\n[PROGCMD]\nWriteFlash=1\nErase=1\nVerify=1\nCheckId=1\n" + extra);
    }
    MainWindowPresenter& Start() {
        presenter_ = std::make_unique<MainWindowPresenter>(station_, view_, ini_, &watch_);
        presenter_->Initialise();
        notes_.Deliver(*presenter_);
        return *presenter_;
    }
    std::string Saved(const char* section, const char* key) {
        std::string bytes, error;
        if (ReadWholeFile(ini_, bytes, error) != FileReadStatus::kRead) return "<no file>";
        return ProfileDocument::FromGbk(bytes).GetString(section, key, "<none>");
    }

    fs::path dir_;
    std::string ini_;
    std::string hex_;
    int mega8_ = -1;
    test::FakeMainWindowView view_;
    test::QueuedNotifier notes_;
    Station station_{&notes_};
    const IspProgrammer& engine_ = station_.Engine();
    RecordingWatch watch_;
    std::unique_ptr<MainWindowPresenter> presenter_;
};

// The Command menu's cable test runs on the worker like any engine run, with the run-gated
// controls off, and shows its report in the log.
TEST_F(MainWindowTest, CableTestNamesTheCableInTheLog) {
    Settings("mega8", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    p.OnCommand(kMenuCableTest);
    EXPECT_TRUE(view_.Disabled(kMenuCableTest));
    EXPECT_TRUE(view_.Disabled(kProgramButtonId));
    notes_.FinishRun(p);
    EXPECT_EQ(notes_.RunsEnded(), 1);
    EXPECT_FALSE(view_.Disabled(kMenuCableTest));
    EXPECT_NE(view_.log.find("下载线: STK200/STK300\r\n"), std::string::npos) << view_.log;
    EXPECT_NE(view_.log.find("结果: 下载线正常\r\n"), std::string::npos);
}

// The window's own notes and the cable test's report come from the message table: a Chinese
// log holds no English sentence, whatever the bench's damage, and English shows them again
// as the command line prints them.
TEST_F(MainWindowTest, CableTestAndBenchNotesFollowTheLogLanguage) {
    Settings("no-such-chip", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    sim::SimMachine& bench = p.Port()->Bench()->Machine();
    struct Damage {
        const char* cable;
        sim::CableFaults faults;
        bool power;
    };
    // Two wires touching without supply; a data line on BUSY (a cable resembled, a loopback
    // missing, a link no cable has); a loopback grounded; the loopback cut.
    for (const Damage& d :
         {Damage{"stk200", {0, {2, 3}}, false}, Damage{"lattice", {0, {2, 11}}, true},
          Damage{"lattice", {0, {12, 25}}, true}, Damage{"stk200", {12, {0, 0}}, true}}) {
        bench.PlugCable(sim::WiringByName(d.cable));
        bench.SetCableFaults(d.faults);
        bench.SetTargetPower(d.power);
        p.OnCommand(kMenuCableTest);
        notes_.FinishRun(p);
    }
    std::size_t problems = 0;
    for (std::size_t at = 0; at < view_.log.size();) {
        std::size_t end = view_.log.find('\n', at);
        if (end == std::string::npos) end = view_.log.size();
        const std::string line = view_.log.substr(at, end - at);
        at = end + 1;
        if (line.find("问题: ") == 0) ++problems;
        const bool english =
            std::all_of(line.begin(), line.end(), [](char c) { return (c & 0x80) == 0; }) &&
            line.find(' ') != std::string::npos;
        EXPECT_FALSE(english) << line;
    }
    EXPECT_EQ(problems, 6u) << view_.log;
    EXPECT_NE(view_.log.find("问题: PAPER END (引脚 12) 随 D0 (引脚 2) 和 D1 (引脚 3) 一起变低"),
              std::string::npos);

    p.OnCommand(kMenuLogEnglish);
    EXPECT_NE(view_.log.find("unknown chip 'no-such-chip' for the simulated bench; using the "
                             "simulated bench with its default chip\r\n"),
              std::string::npos)
        << view_.log;
    EXPECT_NE(view_.log.find("problem: PAPER END (pin 12) goes low with D0 (pin 2) and D1 (pin "
                             "3) alike"),
              std::string::npos);
}

TEST_F(MainWindowTest, ProgramRunsOnTheWorkerShowsItsLogAndLeavesTheImageInTheChip) {
    Settings("mega8", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    EXPECT_NE(view_.title.find("simulator: mega8"), std::string::npos) << view_.title;
    EXPECT_EQ(watch_.calls, std::vector<std::string>{"watch " + hex_});
    EXPECT_TRUE(view_.scrolling);  // the banner runs until the first log line

    p.OnCommand(kProgramButtonId);
    EXPECT_EQ(view_.icon, kIconRunning);
    // Every control that starts a run or changes what a run reads waits for its end, each of
    // the 24 fuse boxes too.
    for (int id :
         {kProgramButtonId, kResetButtonId, kDefaultButtonId, kReadButtonId, kWriteButtonId,
          kChipListId, kAvrRadioId, kAt89RadioId, kClockListId, kStartupListId, kMenuOpenFlash,
          kMenuOpenEeprom, kMenuOscCal, kMenuLockByte, kMenuSetupSpeed, kMenuSimulator,
          kMenuCableTest, kMenuSaveFlash, kMenuSaveEeprom}) {
        EXPECT_TRUE(view_.Disabled(id)) << id;
    }
    for (int k = 0; k < 24; ++k) EXPECT_TRUE(view_.Disabled(kFirstFuseBoxId + k)) << k;
    // A storm of clicks while the run goes starts nothing.
    p.OnCommand(kProgramButtonId);
    p.OnCommand(kResetButtonId);
    p.OnCommand(kReadButtonId);
    // A list moved during the run changes nothing and shows the engine's chip again after it.
    view_.lists[kChipListId].selection = 0;
    p.OnListSelection(kChipListId, 0);
    notes_.FinishRun(p);

    EXPECT_EQ(notes_.RunsEnded(), 1);
    EXPECT_EQ(station_.Options().chipIndex, static_cast<std::uint32_t>(mega8_));
    EXPECT_EQ(view_.lists[kChipListId].selection, mega8_);
    EXPECT_EQ(view_.icon, kIconIdle);
    EXPECT_FALSE(view_.Disabled(kProgramButtonId));
    EXPECT_FALSE(view_.scrolling);
    EXPECT_NE(view_.log.find("完成.\r\n"), std::string::npos) << view_.log;
    EXPECT_EQ(view_.log.substr(view_.log.size() - 8), "退出\r\n");
    const std::vector<std::uint8_t>& flash = p.Port()->Bench()->Avr()->Flash();
    for (int i = 0; i < 200; ++i) ASSERT_EQ(flash[i], (i * 7 + 3) & 0xFF) << i;
    EXPECT_EQ(flash[200], 0xFF);

    p.OnProgress(50);
    EXPECT_EQ(view_.statusBar, 50);

    // mega8 has four calibration bytes: once they are read, their dialog opens.
    p.OnCommand(kMenuOscCal);
    EXPECT_TRUE(view_.dialogs.empty());
    notes_.FinishRun(p);
    EXPECT_EQ(view_.dialogs, std::vector<int>{kMenuOscCal});
    EXPECT_EQ(station_.Options().commands.readCal, 0);
}

// File > Save Flash…: the name is asked first, the chip is read on the worker with its
// progress on the display, and only a complete read is written, as a file that loads back
// into the image the chip was programmed from.
TEST_F(MainWindowTest, SaveFlashWritesWhatTheChipHoldsAndOnlyAfterAReadThatWorked) {
    Settings("mega8", kFamilyAvr, mega8_, "[EXTRA]\nVerifyScope=file\n");
    MainWindowPresenter& p = Start();
    EXPECT_TRUE(view_.IsChecked(kMenuVerifyFileScope));
    p.OnCommand(kProgramButtonId);
    EXPECT_TRUE(station_.Options().verifyFileOnly);
    notes_.FinishRun(p);
    const std::string back = (dir_ / "back.hex").string();

    p.OnCommand(kMenuSaveFlash);  // cancelled: nothing read, nothing written
    ASSERT_TRUE(view_.lastSave.has_value());
    EXPECT_EQ(view_.lastSave->suggestedName, (dir_ / "mega8-flash.hex").string());
    EXPECT_FALSE(p.RunGoing());
    EXPECT_FALSE(fs::exists(back));

    view_.nextSaveFile = back;
    p.OnCommand(kMenuSaveFlash);
    EXPECT_TRUE(p.RunGoing());
    EXPECT_TRUE(view_.Disabled(kMenuSaveEeprom));
    EXPECT_FALSE(fs::exists(back));  // not before the read has ended
    notes_.FinishRun(p);
    EXPECT_EQ(view_.statusBar, 100);
    EXPECT_EQ(view_.icon, kIconIdle);
    EXPECT_NE(view_.log.find("读取Flash: \r\n"), std::string::npos) << view_.log;
    IspProgrammer reread;
    HexFile file;
    EXPECT_EQ(LoadFlashImage(reread, file, back), 0);
    EXPECT_EQ(reread.FlashImageLength(), 200u);  // the erased rest is left out
    EXPECT_TRUE(std::ranges::equal(reread.FlashImage(), engine_.FlashImage()));

    // A name that is not a regular file (here a folder) is refused before the chip is read,
    // and left as it is.
    const fs::path folder = dir_ / "folder.hex";
    fs::create_directory(folder);
    view_.nextSaveFile = folder.string();
    p.OnCommand(kMenuSaveFlash);
    EXPECT_FALSE(p.RunGoing());
    EXPECT_NE(view_.log.find(folder.string() + " 不是普通文件"), std::string::npos) << view_.log;
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_empty(folder));
    view_.nextSaveFile = back;

    // A read that fails (mega16 selected, a mega8 on the cable) leaves the earlier file as it
    // was and says so.
    std::ifstream before(back, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(before)), {});
    p.OnListSelection(kChipListId, FindChipByName(kFamilyAvr, "mega16"));
    p.OnCommand(kMenuSaveFlash);
    notes_.FinishRun(p);
    EXPECT_NE(view_.log.find(kSaveReadFailedLine), std::string::npos) << view_.log;
    std::ifstream after(back, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), text);

    // 89S5x chips have no EEPROM: refused before any question.
    view_.lastSave.reset();
    p.OnCommand(kAt89RadioId);
    p.OnCommand(kMenuSaveEeprom);
    EXPECT_FALSE(view_.lastSave.has_value());
    EXPECT_FALSE(p.RunGoing());
    EXPECT_NE(engine_.LogText().find(kSaveNoEeprom89Line), std::string::npos);
}

TEST_F(MainWindowTest, AFileChangeWaitsForTheRunOrADialogThenProgramsTheNewImage) {
    Settings("mega8", kFamilyAvr, mega8_, "[PROGOPTION]\nAutoISP=1\n");
    MainWindowPresenter& p = Start();
    p.OnCommand(kProgramButtonId);
    Write(hex_, HexImage(64, 100));
    p.OnFlashFileChanged();
    EXPECT_EQ(engine_.FlashImage()[0], 3);  // not reloaded under the run
    notes_.FinishRun(p);
    EXPECT_TRUE(p.RunGoing());  // reloaded, and "Auto Prog after Update" starts the next run
    EXPECT_EQ(view_.icon, kIconRunning);
    notes_.FinishRun(p);
    EXPECT_EQ(p.Port()->Bench()->Avr()->Flash()[1], 107);

    // A change delivered inside a dialog's own event loop waits until the dialog closes.
    Write(hex_, HexImage(64, 50));
    view_.whileModal = [&] {
        p.OnFlashFileChanged();
        EXPECT_FALSE(p.RunGoing());
        EXPECT_EQ(engine_.FlashImage()[0], 100);
    };
    p.OnCommand(kMenuAbout);
    EXPECT_TRUE(p.RunGoing());
    EXPECT_EQ(engine_.FlashImage()[0], 50);
    view_.whileModal = nullptr;
    notes_.FinishRun(p);
}

// Automatic programming starts only on a whole file: complete lines without the end record,
// or a line cut short, are what a build tool leaves half-way.
TEST_F(MainWindowTest, OnlyAWholeRewrittenFileStartsAnAutomaticRun) {
    Settings("mega8", kFamilyAvr, mega8_, "[PROGOPTION]\nAutoISP=1\n");
    MainWindowPresenter& p = Start();
    const std::string whole = HexImage(64, 100);
    const std::string noEnd = whole.substr(0, whole.rfind(":00000001FF"));
    const std::string cut = noEnd.substr(0, noEnd.size() - 7);
    for (const std::string& text : {noEnd, cut}) {
        Write(hex_, text);
        p.OnFlashFileChanged();
        EXPECT_FALSE(p.RunGoing()) << text.size();
    }
    EXPECT_NE(view_.log.find("没有结束记录, 未自动编程"), std::string::npos) << view_.log;
    Write(hex_, whole);
    p.OnFlashFileChanged();
    EXPECT_TRUE(p.RunGoing());
    notes_.FinishRun(p);
    EXPECT_EQ(p.Port()->Bench()->Avr()->Flash()[1], 107);
}

// A stored chip row at the list's last entry, just past it (the "locked" row) and past that
// (the table's end): the last is selected, the others select nothing and refuse a run.
TEST_F(MainWindowTest, AStoredChipRowAtTheEndsOfEachList) {
    for (const std::uint32_t family : {kFamilyAvr, kFamily89S5x}) {
        const int length = static_cast<int>(ChipList(family).size());
        for (const int row : {length - 1, length, length + 1}) {
            SCOPED_TRACE(std::to_string(family) + "/" + std::to_string(row));
            Settings(family == kFamilyAvr ? "mega8" : "89S52", static_cast<int>(family), row);
            Station station;
            test::FakeMainWindowView view;
            MainWindowPresenter p(station, view, ini_, &watch_);
            p.Initialise();
            EXPECT_EQ(view.lists[kChipListId].selection, row < length ? row : -1);
            EXPECT_EQ(station.ChipSelected(), row < length);
            if (row >= length) {
                p.OnCommand(kProgramButtonId);
                EXPECT_FALSE(p.RunGoing());
                EXPECT_NE(view.log.find(MsgZh(Msg::kRefusedNoChip)), std::string::npos) << view.log;
            }
            p.OnEscape();
        }
    }
}

TEST_F(MainWindowTest, FamilySwitchHidesAndShowsTheFusePanel) {
    Settings("mega8", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    const int cksel0 = kFirstFuseBoxId;  // mega8 names every low-byte bit
    EXPECT_FALSE(view_.Hidden(cksel0));
    EXPECT_EQ(view_.texts[kFuseGroupId], "Fuse Option");

    p.OnCommand(kAt89RadioId);
    EXPECT_EQ(station_.Options().targetFamily, kFamily89S5x);
    for (int id : {cksel0, kFirstFuseBoxId + 15, kReadButtonId, kDefaultButtonId, kWriteButtonId,
                   kClockListId, kStartupListId}) {
        EXPECT_TRUE(view_.Hidden(id)) << id;
    }
    EXPECT_EQ(view_.texts[kFuseGroupId], "");
    EXPECT_EQ(view_.lists[kChipListId].items, ChipList(kFamily89S5x));
    EXPECT_TRUE(view_.IsChecked(kAt89RadioId));
    EXPECT_FALSE(view_.IsChecked(kAvrRadioId));
    // Each family keeps its own selection; none was kept for 89S5x yet: its first row.
    EXPECT_EQ(view_.lists[kChipListId].selection, 0);

    p.OnCommand(kAvrRadioId);
    for (int id : {cksel0, kReadButtonId, kDefaultButtonId, kWriteButtonId, kClockListId}) {
        EXPECT_FALSE(view_.Hidden(id)) << id;
    }
    EXPECT_EQ(view_.texts[kFuseGroupId], "Fuse Option");
    EXPECT_EQ(view_.lists[kChipListId].selection, mega8_);
    // Every chip of the list is offered, beyond the hundred the window once showed.
    EXPECT_EQ(view_.lists[kChipListId].items, ChipList(kFamilyAvr));
    EXPECT_GT(view_.lists[kChipListId].items.size(), 100u);
}

TEST_F(MainWindowTest, ChipSelectionLoadsDefaultsAndTheFuseBoxesAndWizardFollowTheLowByte) {
    Settings("mega8", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    const int tiny13 = FindChipByName(kFamilyAvr, "tiny13");
    p.OnListSelection(kChipListId, tiny13);
    EXPECT_EQ(station_.Options().fuseLow, 0x6A);
    EXPECT_EQ(station_.Options().fuseHigh, 0xFF);
    EXPECT_EQ(station_.Options().fuseExtended, 0x00);

    p.OnListSelection(kChipListId, mega8_);
    const std::uint8_t low = station_.Options().fuseLow;
    const int sourceBefore = view_.lists[kClockListId].selection;
    EXPECT_EQ(sourceBefore, p.Wizard().clock.selection);
    EXPECT_NE(sourceBefore, kNoSelection);
    // CKSEL1 (low bit 1): the box toggles the bit and the wizard's source follows.
    p.OnCommand(kFirstFuseBoxId + 1);
    EXPECT_EQ(station_.Options().fuseLow, low ^ 0x02);
    EXPECT_EQ(view_.IsChecked(kFirstFuseBoxId + 1), (station_.Options().fuseLow & 0x02) == 0);
    EXPECT_NE(view_.lists[kClockListId].selection, sourceBefore);

    // Picking a source in the list rewrites the low byte and the boxes show it.
    const int last = static_cast<int>(view_.lists[kClockListId].items.size()) - 1;
    p.OnListSelection(kClockListId, last);
    EXPECT_EQ(view_.lists[kClockListId].selection, last);
    for (int bit = 0; bit < 4; ++bit) {
        EXPECT_EQ(view_.IsChecked(kFirstFuseBoxId + bit),
                  ((station_.Options().fuseLow >> bit) & 1) == 0);
    }
    EXPECT_EQ(view_.lists[kStartupListId].items.empty(), view_.Hidden(kStartupListId));
}

TEST_F(MainWindowTest, EachFamilyKeepsItsChipAcrossTheSwitchAndARestart) {
    Settings("mega8", kFamilyAvr, mega8_);
    const int s52 = FindChipByName(kFamily89S5x, "89S52");
    {
        MainWindowPresenter& p = Start();
        station_.SetFuses({228, 217, 0});
        p.OnCommand(kAt89RadioId);
        p.OnListSelection(kChipListId, s52);
        p.OnCommand(kMenuExit);
    }
    EXPECT_EQ(Saved("DEVICE", "TYPE"), "1");
    EXPECT_EQ(Saved("DEVICE", "ID"), std::to_string(s52));  // the row of TYPE's list, as ever

    // A new start: the 89S5x chip, and the AVR one with its own fuse bytes behind the switch.
    Station again;
    test::FakeMainWindowView view;
    MainWindowPresenter p(again, view, ini_, &watch_);
    p.Initialise();
    EXPECT_EQ(view.lists[kChipListId].selection, s52);
    EXPECT_EQ(view.log.find("超出范围"), std::string::npos) << view.log;
    p.OnCommand(kAvrRadioId);
    EXPECT_EQ(view.lists[kChipListId].selection, mega8_);
    EXPECT_EQ(again.Fuses().low, 228);
    EXPECT_EQ(again.Fuses().high, 217);
    p.OnEscape();
}

TEST_F(MainWindowTest, WhatTheSettingsCannotKeepIsToldWhenOpenedAndAtExit) {
    Settings("mega8", kFamilyAvr, mega8_);
    const std::string korean = (dir_ / "펌웨어.hex").string();
    Write(korean, HexImage(16));
    {
        MainWindowPresenter& p = Start();
        view_.nextFile = korean;
        p.OnCommand(kMenuOpenFlash);
        EXPECT_NE(view_.log.find(korean + " 含有设置文件 (GBK) 无法保存的字符"), std::string::npos)
            << view_.log;
        p.OnCommand(kMenuExit);
        ASSERT_EQ(view_.notices.size(), 1u);
        EXPECT_NE(view_.notices[0].find(korean), std::string::npos) << view_.notices[0];
        // Every key that can be written was.
        EXPECT_EQ(Saved("FLASH", "FILE"), hex_);
        EXPECT_EQ(Saved("SIMULATOR", "Enabled"), "1");
        EXPECT_EQ(Saved("EXTRA", "AvrChip"), std::to_string(mega8_));
    }
    // A velkor.ini that cannot be written at all.
    fs::remove(ini_);
    fs::create_directory(ini_);
    Station again;
    test::FakeMainWindowView view;
    MainWindowPresenter p(again, view, ini_, &watch_);
    p.Initialise();
    p.OnCommand(kMenuExit);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_NE(view.notices[0].find("设置未保存"), std::string::npos) << view.notices[0];
}

TEST_F(MainWindowTest, AFolderNamedAsTheFlashFileIsRefusedOnceAndNotWatched) {
    fs::remove(hex_);
    fs::create_directory(hex_);
    Settings("mega8", kFamilyAvr, mega8_);
    Start();
    const std::string line = hex_ + " 不是普通文件";
    EXPECT_NE(view_.log.find(line), std::string::npos) << view_.log;
    EXPECT_EQ(view_.log.find(line), view_.log.rfind(line));
    for (const std::string& call : watch_.calls) EXPECT_NE(call, "watch " + hex_);
}

TEST_F(MainWindowTest, ExitWritesTheSettingsAndEscapeDoesNot) {
    Settings("mega8", kFamilyAvr, mega8_);
    {
        MainWindowPresenter& p = Start();
        view_.Check(kEepromBoxId, true);
        p.OnCommand(kAt89RadioId);
        p.OnEscape();
        EXPECT_EQ(view_.ends, std::vector<bool>{false});
        EXPECT_EQ(Saved("DEVICE", "TYPE"), "0");
        // Escape skips the shutdown steps, but not the watch's end: a change after the
        // window is gone would report to nobody.
        EXPECT_EQ(watch_.calls.back(), "unwatch");
        EXPECT_EQ(Saved("EXTRA", "VerifyScope"), "<none>");
    }
    view_.ends.clear();
    MainWindowPresenter& p = Start();
    p.OnCommand(kMenuSimulator);  // off: the automatic choice
    EXPECT_FALSE(view_.IsChecked(kMenuVerifyFileScope));
    p.OnCommand(kMenuVerifyFileScope);
    EXPECT_TRUE(view_.IsChecked(kMenuVerifyFileScope));
    view_.Check(kEepromBoxId, true);
    p.OnCommand(kAt89RadioId);
    p.OnCommand(kMenuExit);
    EXPECT_EQ(view_.ends, std::vector<bool>{true});
    EXPECT_EQ(watch_.calls.back(), "unwatch");
    EXPECT_EQ(Saved("DEVICE", "TYPE"), "1");
    EXPECT_EQ(Saved("PROGCMD", "WriteEEPROM"), "1");
    EXPECT_EQ(Saved("FLASH", "FILE"), hex_);
    EXPECT_EQ(Saved("SIMULATOR", "Enabled"), "0");
    EXPECT_EQ(Saved("SIMULATOR", "Chip"), "mega8");
    EXPECT_EQ(Saved("EXTRA", "VerifyScope"), "file");
}

// Option > Log in English shows the log so far, and every later line, in English; the choice
// is kept in EXTRA/Language, which a file that never chose a language does not get.
TEST_F(MainWindowTest, TheLogLanguageMenuSwitchesTheLogAndIsRemembered) {
    Settings("mega8", kFamilyAvr, mega8_);
    {
        MainWindowPresenter& p = Start();
        EXPECT_FALSE(view_.IsChecked(kMenuLogEnglish));
        p.OnCommand(kMenuExit);
        EXPECT_EQ(Saved("EXTRA", "Language"), "<none>");
    }
    MainWindowPresenter& p = Start();
    p.OnCommand(kProgramButtonId);
    p.OnCommand(kMenuLogEnglish);  // during the run
    notes_.FinishRun(p);
    EXPECT_TRUE(view_.IsChecked(kMenuLogEnglish));
    EXPECT_NE(view_.log.find("Cable: STK200/STK300 .\r\nErasing...\r\n"), std::string::npos)
        << view_.log;
    EXPECT_TRUE(view_.log.ends_with("Done.\r\nExit\r\n")) << view_.log;
    // The dot display, showing the log's start, follows too.
    EXPECT_TRUE(view_.statusText.starts_with("Cable:")) << view_.statusText;
    p.OnCommand(kMenuLogEnglish);
    EXPECT_TRUE(view_.statusText.starts_with("设备:")) << view_.statusText;
    p.OnCommand(kMenuLogEnglish);
    EXPECT_TRUE(view_.statusText.starts_with("Cable:")) << view_.statusText;
    p.OnCommand(kMenuExit);
    EXPECT_EQ(Saved("EXTRA", "Language"), "en");
    EXPECT_EQ(Saved("SIMULATOR", "Enabled"), "1");

    MainWindowPresenter& again = Start();
    EXPECT_TRUE(view_.IsChecked(kMenuLogEnglish));
    EXPECT_EQ(engine_.LogLanguage(), Language::kEn);
    again.OnCommand(kMenuLogEnglish);
    EXPECT_FALSE(view_.IsChecked(kMenuLogEnglish));
    EXPECT_NE(view_.log.find("完成.\r\n退出\r\n"), std::string::npos) << view_.log;
    again.OnCommand(kMenuExit);
    EXPECT_EQ(Saved("EXTRA", "Language"), "zh");
}

TEST_F(MainWindowTest, ClosingDuringARunWaitsForItsEndThenRunsTheShutdownSteps) {
    Settings("mega8", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    p.OnCommand(kProgramButtonId);
    p.OnClose();
    EXPECT_TRUE(view_.ends.empty());
    EXPECT_NE(p.Port(), nullptr);  // never closed under the run
    EXPECT_NE(view_.title.find(kWaitForRunStatus), std::string::npos);
    notes_.Deliver(p);  // the run's lines so far leave the notice on the display
    EXPECT_EQ(view_.statusText, kWaitForRunStatus);
    EXPECT_EQ(Saved("DEVICE", "TYPE"), "0");
    EXPECT_EQ(Saved("PROGCMD", "Verify"), "1");
    view_.Check(kVerifyBoxId, false);

    notes_.FinishRun(p);
    EXPECT_EQ(view_.ends, std::vector<bool>{false});
    EXPECT_EQ(p.Port(), nullptr);
    EXPECT_EQ(Saved("PROGCMD", "Verify"), "0");
}

TEST_F(MainWindowTest, FuseReadShowsTheChipFoundAndCalibrationIsRefusedIn89S5xMode) {
    Settings("tiny13", kFamilyAvr, mega8_);
    MainWindowPresenter& p = Start();
    p.OnCommand(kReadButtonId);
    EXPECT_TRUE(view_.Disabled(kProgramButtonId));
    notes_.FinishRun(p);
    EXPECT_EQ(view_.lists[kChipListId].selection, FindChipByName(kFamilyAvr, "tiny13"));
    EXPECT_EQ(station_.Options().fuseLow, 0x6A);         // the simulated chip's factory fuses
    EXPECT_FALSE(view_.IsChecked(kFirstFuseBoxId + 1));  // bit 1 of 6A is 1: not programmed

    // Osc Cal. Bytes in 89S5x mode is refused and leaves the family alone.
    p.OnCommand(kAt89RadioId);
    p.OnCommand(kMenuOscCal);
    EXPECT_FALSE(p.RunGoing());
    EXPECT_EQ(station_.Options().targetFamily, kFamily89S5x);
    notes_.Deliver(p);
    EXPECT_NE(view_.log.find(kCalibrationNot89Line), std::string::npos);
}

TEST_F(MainWindowTest, AWriteThatEndsSerialProgrammingAsksFirstAndAMisfitImageIsReported) {
    Write(hex_, HexImage(1100));  // more than tiny13's 1 KiB of flash
    Settings("tiny13", kFamilyAvr, FindChipByName(kFamilyAvr, "tiny13"));
    MainWindowPresenter& p = Start();
    p.OnCommand(kDefaultButtonId);
    p.OnCommand(kFirstFuseBoxId + 8);  // HF0 of tiny13: RSTDISBL, now programmed
    ASSERT_EQ(station_.Options().fuseHigh & 0x01, 0);

    p.OnCommand(kWriteButtonId);  // declined
    EXPECT_EQ(view_.questions.size(), 1u);
    EXPECT_NE(view_.questions[0].find("RSTDISBL"), std::string::npos) << view_.questions[0];
    EXPECT_FALSE(p.RunGoing());
    view_.Check(kWriteFuseBoxId, true);
    // The FUSE box would write the same bytes, but the image does not fit: refused before
    // anything is asked.
    p.OnCommand(kProgramButtonId);
    EXPECT_EQ(view_.questions.size(), 1u);
    EXPECT_FALSE(p.RunGoing());

    // An image meant for a bigger chip would be written only in part: the run is refused.
    view_.Check(kWriteFuseBoxId, false);
    p.OnCommand(kProgramButtonId);
    EXPECT_FALSE(p.RunGoing());
    const std::string misfit = ImageFitLines(station_.Options(), p.FlashFile(), p.EepromFile());
    ASSERT_FALSE(misfit.empty());
    EXPECT_NE(view_.log.find(misfit + MsgZh(Msg::kRefusedBeyondChip)), std::string::npos)
        << view_.log;
}

TEST_F(MainWindowTest, DamagedFilesAndNonsenseSettingsLeaveAWorkingWindow) {
    Write(hex_, ":10000000ZZ\n");
    Settings("no-such-chip", 7, 999, "[PROGOPTION]\nCalSel=77\nAutoISP=banana\n");
    MainWindowPresenter& p = Start();
    EXPECT_NE(p.Port(), nullptr);
    EXPECT_NE(view_.title.find("simulator: mega8"), std::string::npos) << view_.title;
    EXPECT_EQ(station_.Options().targetFamily, kFamilyAvr);
    EXPECT_NE(view_.log.find("模拟器不认识芯片 'no-such-chip'"), std::string::npos) << view_.log;

    // A file that is not there, chosen from the menu: said in the log, nothing else changes.
    view_.nextFile = (dir_ / "missing.hex").string();
    p.OnCommand(kMenuOpenFlash);
    EXPECT_EQ(view_.lastChoice->initialName, "*.hex;*.elf");
    EXPECT_EQ(watch_.calls.back(), "watch " + *view_.nextFile);
    EXPECT_NE(view_.log, "");
    // The file that failed to load is not programmed: the old image would be.
    p.OnListSelection(kChipListId, mega8_);
    p.OnCommand(kProgramButtonId);
    EXPECT_FALSE(p.RunGoing());
    EXPECT_NE(view_.log.find("missing.hex 未能载入, 操作未执行"), std::string::npos) << view_.log;
}

}  // namespace
}  // namespace velkor
