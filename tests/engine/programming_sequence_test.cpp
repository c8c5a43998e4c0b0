#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "hosting/sim_chip_catalog.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
using test::PokeImage;
using test::SetImageLength;
namespace {

using test::SimRig;

// A rig with the bench's chip selected in the engine, as the window would have it.
std::unique_ptr<SimRig> Selected(SimBenchOptions options) {
    auto rig = std::make_unique<SimRig>(options);
    Edit(rig->engine)->targetFamily = rig->bench->ChipFamily();
    Edit(rig->engine)->chipIndex = static_cast<std::uint32_t>(std::max(rig->bench->ChipRow(), 0));
    return rig;
}

// Calls `action` once, the moment the log first ends with `text`.
class OnLogLine : public EngineReports {
  public:
    OnLogLine(IspProgrammer& engine, std::string text, std::function<void()> action)
        : engine_(engine), text_(std::move(text)), action_(std::move(action)) {
        engine.SetReports(this);
    }
    void OnProgress(int) override {}
    void OnLog() override {
        if (!done_ && engine_.LogText().ends_with(text_)) {
            done_ = true;
            action_();
        }
    }

  private:
    IspProgrammer& engine_;
    std::string text_;
    std::function<void()> action_;
    bool done_ = false;
};

void FillRandom(IspProgrammer& e, ImageKind kind, std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(random());
    PokeImage(e, kind, 0, bytes);
}

TEST(ProgrammingSequence, ProgramRunLogsEachStep) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    e.AppendLog("earlier run\r\n");
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.verify = 1;
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(rig->LogLines(), (std::vector<std::string>{
                                   "设备:STK200/STK300 .\r\n", "擦除...\r\n", "写入Flash: \r\n",
                                   "写入中...\r\n", "比较中...\r\n", "完成.\r\n", "退出\r\n"}));
    EXPECT_EQ(e.Cable(), 0);  // the lines are released after every run
}

TEST(ProgrammingSequence, FuseReadSelectsTheChipAndRestoresTheCommandBlock) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    Edit(e)->chipIndex = 0;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.readFlash = 1;
    SetImageLength(e, ImageKind::kFlash, 123);
    SetImageLength(e, ImageKind::kEeprom, 7);
    const ProgramCommandSet before = e.Settings().commands;
    EXPECT_EQ(e.FuseReadCommand(), kSeqDone);
    EXPECT_EQ(rig->LogLines(),
              (std::vector<std::string>{"设备:STK200/STK300 .\r\n", "目标芯片: ATmega8.\n",
                                        "读取熔丝低字节 E1 \r\n", "读取熔丝高字节 D9 \r\n",
                                        "完成.\r\n", "退出\r\n"}));
    EXPECT_EQ(e.Settings().chipIndex, 7u);
    EXPECT_EQ(e.Settings().fuseLow, 0xE1);
    const ProgramCommandSet after = e.Settings().commands;
    EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0);
    EXPECT_EQ(e.FlashImageLength(), 123u);
    EXPECT_EQ(e.EepromImageLength(), 7u);
    EXPECT_EQ(rig->bench->Avr()->EraseCount(), 0u);  // the saved flags were not acted on
}

TEST(ProgrammingSequence, NoFlagsOnlyConnects) {
    auto rig = Selected({.chip = "mega8"});
    SetImageLength(rig->engine, ImageKind::kFlash, 16);
    EXPECT_EQ(rig->engine.ProgramCommand(), kSeqDone);
    EXPECT_EQ(rig->LogLines(),
              (std::vector<std::string>{"设备:STK200/STK300 .\r\n", "完成.\r\n", "退出\r\n"}));
}

// Verify without a write step reads the chip back and compares it with the loaded images,
// never writing; a difference fails the run (flash) or is kept as the EEPROM result.
TEST(ProgrammingSequence, VerifyAloneComparesTheChipWithTheLoadedImages) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    FillRandom(e, ImageKind::kFlash, 300, 4);
    PokeImage(e, ImageKind::kFlash, 0, 0x5A);
    SetImageLength(e, ImageKind::kFlash, 300);
    Edit(e)->commands.verify = 1;
    EXPECT_EQ(e.ProgramCommand(), kSeqFlashFailed);  // the chip is blank
    EXPECT_EQ(rig->LogLines(),
              (std::vector<std::string>{"设备:STK200/STK300 .\r\n", "校验Flash: \r\n",
                                        "比较中...\r\n", "在 0000:5A-FF失败\n", "退出\r\n"}));

    auto& chip = *rig->bench->Avr();
    std::copy_n(e.FlashImage().begin(), chip.Flash().size(), chip.Flash().begin());
    FillRandom(e, ImageKind::kEeprom, 16, 5);
    std::copy_n(e.EepromImage().begin(), 16, chip.Eeprom().begin());
    chip.Eeprom()[9] = static_cast<std::uint8_t>(~e.EepromImage()[9]);
    SetImageLength(e, ImageKind::kEeprom, 16);
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(e.LastEepromResult(), 1);
    char line[64];
    std::snprintf(line, sizeof line, "在 0009:%02X-%02X校验失败\n", e.EepromImage()[9],
                  chip.Eeprom()[9]);
    EXPECT_EQ(rig->LogLines(),
              (std::vector<std::string>{"设备:STK200/STK300 .\r\n", "校验Flash: \r\n",
                                        "比较中...\r\n", "校验EEPROM: \r\n", "比较中...\r\n", line,
                                        "完成.\r\n", "退出\r\n"}));
    EXPECT_EQ(e.BytesVerified(), 8192u + 9u);
    EXPECT_EQ(e.BytesWritten(), 0u);
    EXPECT_EQ(chip.Eeprom()[9], static_cast<std::uint8_t>(~e.EepromImage()[9]));  // not written

    // An EEPROM file alone is compared alone; with no file at all the run says so and fails.
    SetImageLength(e, ImageKind::kFlash, 0);
    chip.Eeprom()[9] = e.EepromImage()[9];
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(e.LastEepromResult(), 0);
    EXPECT_EQ(e.BytesVerified(), 16u);
    SetImageLength(e, ImageKind::kEeprom, 0);
    EXPECT_EQ(e.ProgramCommand(), kSeqNothingToVerify);
    EXPECT_EQ(rig->LogLines()[1], "校验: 没有载入的文件, 无法校验.\r\n");
}

// The counts a front end reports: data bytes sent (blank flash bytes and pages are skipped)
// and bytes read back equal, both starting from zero in every run.
TEST(ProgrammingSequence, CountsTheBytesWrittenAndVerifiedInEachRun) {
    {
        auto rig = Selected({.chip = "mega8"});  // 64-byte pages
        IspProgrammer& e = rig->engine;
        FillRandom(e, ImageKind::kFlash, 300, 6);
        SetImageLength(e, ImageKind::kEeprom, 10);
        Edit(e)->commands.erase = 1;
        Edit(e)->commands.writeFlash = 1;
        Edit(e)->commands.writeEeprom = 1;
        Edit(e)->commands.verify = 1;
        ASSERT_EQ(e.ProgramCommand(), kSeqDone);
        EXPECT_EQ(e.BytesWritten(), 5u * 64u + 10u);
        EXPECT_EQ(e.BytesVerified(), 8192u + 10u);
        Edit(e)->commands = ProgramCommandSet{};
        ASSERT_EQ(e.ProgramCommand(), kSeqDone);
        EXPECT_EQ(e.BytesWritten(), 0u);
        EXPECT_EQ(e.BytesVerified(), 0u);
    }
    {
        auto rig = Selected({.chip = "90S2313"});  // byte-programmed flash
        IspProgrammer& e = rig->engine;
        for (std::uint32_t i = 0; i < 40; ++i)
            PokeImage(e, ImageKind::kFlash, i, i % 4 == 0 ? 0xFF : 0x10);
        Edit(e)->commands.erase = 1;
        Edit(e)->commands.writeFlash = 1;
        ASSERT_EQ(e.ProgramCommand(), kSeqDone);
        EXPECT_EQ(e.BytesWritten(), 30u);
        EXPECT_EQ(e.BytesVerified(), 0u);
    }
}

TEST(ProgrammingSequence, FailuresEndTheRunWithTheirResult) {
    {
        auto rig = Selected({.chip = "mega8", .base = 0});
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqPortNotReady);
        EXPECT_EQ(rig->LogLines(),
                  (std::vector<std::string>{" LPT3(0x3BC) 端口不存在\n", "退出\r\n"}));
    }
    {
        auto rig = Selected({.chip = "mega8", .faults = {.neverInStep = true}});
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqNoConnection);
        EXPECT_EQ(rig->LogLines(), (std::vector<std::string>{"设备:STK200/STK300 .\r\n",
                                                             "目标芯片连接失败.\r\n", "退出\r\n"}));
    }
    {
        auto rig = Selected({.chip = "mega16"});
        Edit(rig->engine)->chipIndex = 7;  // the window says mega8
        Edit(rig->engine)->commands.checkId = 1;
        Edit(rig->engine)->commands.erase = 1;
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqSignatureMismatch);
        EXPECT_EQ(rig->LogLines()[1], "标识字节不匹配1E 94 3 \r\n");
        EXPECT_EQ(rig->bench->Avr()->EraseCount(), 0u);
    }
    {
        auto rig = Selected({.chip = "mega8"});
        OnLogLine cut(rig->engine, "擦除...\r\n", [&] { rig->Machine().SetTargetPower(false); });
        Edit(rig->engine)->commands.erase = 1;
        Edit(rig->engine)->commands.writeFlash = 1;
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqNoConnection);
        EXPECT_EQ(rig->LogLines(),
                  (std::vector<std::string>{"设备:STK200/STK300 .\r\n", "擦除...\r\n",
                                            "目标芯片连接失败.\r\n", "退出\r\n"}));
    }
}

TEST(ProgrammingSequence, FlashTimeoutAndVerifyDifferencesStopBeforeEepromFusesAndLock) {
    {
        // Byte mode without an erase: cleared bits cannot be set again.
        auto rig = Selected({.chip = "90S2313"});
        std::fill(rig->bench->Avr()->Flash().begin(), rig->bench->Avr()->Flash().end(), 0x00);
        PokeImage(rig->engine, ImageKind::kFlash, 0, 0x00);
        PokeImage(rig->engine, ImageKind::kFlash, 1, 0x12);
        Edit(rig->engine)->commands.writeFlash = 1;
        Edit(rig->engine)->commands.writeEeprom = 1;
        Edit(rig->engine)->commands.lock = 1;
        SetImageLength(rig->engine, ImageKind::kEeprom, 4);
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqFlashFailed);
        EXPECT_EQ(rig->LogLines().end()[-2], "在 0001超时\n");
        EXPECT_EQ(rig->bench->Avr()->Lock(), 0xFF);
    }
    {
        auto rig = Selected({.chip = "mega8"});
        rig->bench->Avr()->Flash()[0x45] = 0x00;  // not erased
        PokeImage(rig->engine, ImageKind::kFlash, 0x45, 0x3C);
        Edit(rig->engine)->commands.writeFlash = 1;
        Edit(rig->engine)->commands.verify = 1;
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqFlashFailed);
        EXPECT_EQ(rig->LogLines().end()[-2], "在 0045:3C-00失败\n");
    }
    {
        auto rig = Selected({.chip = "89S52", .cable = "byteblaster"});
        rig->bench->At89()->Flash()[0x1234] = 0x00;
        Edit(rig->engine)->commands.writeFlash = 1;
        Edit(rig->engine)->commands.verify = 1;
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqFlashFailed);
        EXPECT_EQ(rig->LogLines().end()[-2], "在 1200:页比较失败\n");
    }
}

TEST(ProgrammingSequence, AnEepromFailureLetsFusesAndLockRunAndTheRunFinish) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    OnLogLine cut(e, "写入EEPROM: \r\n写入中...\r\n", [&] {
        // Another hand on the bus: the EEPROM's next cell never takes the value.
        rig->Machine().SetTargetPower(false);
        rig->Machine().SetTargetPower(true);
    });
    SetImageLength(e, ImageKind::kEeprom, 8);
    PokeImage(e, ImageKind::kEeprom, 0, 0x42);
    Edit(e)->commands.writeEeprom = 1;
    Edit(e)->commands.writeFuse = 1;
    Edit(e)->commands.lock = 1;
    Edit(e)->fuseLow = 0xE4;
    Edit(e)->fuseHigh = 0xD9;
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(e.LastEepromResult(), 1);
    const auto lines = rig->LogLines();
    EXPECT_EQ(lines[3], "在 0000超时\n");
    EXPECT_EQ(lines[4], "写入熔丝低字节 E4 \r\n");
    EXPECT_EQ(lines[5], "写入熔丝高字节 D9 \r\n");
    EXPECT_EQ(lines[6], "写入加密字节 FC \r\n");
    EXPECT_EQ(lines[7], "完成.\r\n");
}

TEST(ProgrammingSequence, AutoSelectionWithUnknownAndLockedChips) {
    {
        auto rig = Selected({.chip = "mega8"});
        sim::AvrChipTraits odd = MakeSimAvrChip(7)->Traits();
        odd.signature[1] = 0x99;
        odd.signature[2] = 0x99;
        rig->Machine().AttachTarget(std::make_unique<sim::AvrChip>(odd));
        IspProgrammer& e = rig->engine;
        Edit(e)->commands.autoSelchip = 1;
        Edit(e)->commands.writeFlash = 1;
        Edit(e)->commands.writeEeprom = 1;
        Edit(e)->commands.writeFuse = 1;
        Edit(e)->commands.lock = 1;
        Edit(e)->commands.verify = 1;
        PokeImage(e, ImageKind::kFlash, 0, 0x11);
        SetImageLength(e, ImageKind::kEeprom, 16);
        EXPECT_EQ(e.ProgramCommand(), kSeqDone);
        EXPECT_EQ(e.Settings().chipIndex, kNoChipRow);
        EXPECT_EQ(rig->LogLines(),
                  (std::vector<std::string>{"设备:STK200/STK300 .\r\n", "未知芯片 (1E-99-99).\n",
                                            "写入Flash: \r\n", "写入中...\r\n", "比较中...\r\n",
                                            "写入加密字节 0 \r\n", "完成.\r\n", "退出\r\n"}));
    }
    {
        auto rig = Selected({.chip = "mega8", .faults = {.locked = true}});
        Edit(rig->engine)->commands.autoSelchip = 1;
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqDone);
        EXPECT_EQ(rig->engine.Settings().chipIndex, kLockedChipRow);
        EXPECT_EQ(rig->LogLines()[1], "芯片已经加密或同步失败.\n");
    }
}

TEST(ProgrammingSequence, CalibrationByteIsCopiedToTheClampedAddress) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    Edit(e)->commands.copyCal = 1;
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.verify = 1;
    Edit(e)->calibrationSelect = 2;
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(e.Settings().calibrationAddress, 0x1FFFu);
    EXPECT_EQ(rig->LogLines()[2], "读取校准字节: A1 B2 C3 D4\r\n");
    EXPECT_EQ(rig->LogLines()[3], "FLASH: 1FFF 加入时钟校准字 C3 \r\n");
    EXPECT_EQ(rig->bench->Avr()->Flash()[0x1FFF], 0xC3);

    // Beyond the chip's EEPROM the address is clamped too; an image shorter than it keeps
    // the byte from reaching the chip.
    Edit(e)->commands = {};
    Edit(e)->commands.copyCal = 1;
    Edit(e)->commands.writeEeprom = 1;
    Edit(e)->calibrationSaveLocation = 1;
    Edit(e)->calibrationAddress = 5000;
    SetImageLength(e, ImageKind::kEeprom, 16);
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(e.Settings().calibrationAddress, 0x1FFu);
    EXPECT_EQ(e.EepromImage()[0x1FF], 0xC3);
    EXPECT_EQ(rig->bench->Avr()->Eeprom()[0x1FF], 0xFF);
}

TEST(ProgrammingSequence, FuseWriteWritesOnlyBytesWithAMask) {
    struct Case {
        const char* chip;
        std::vector<std::string> fuseLines;
    };
    const Case cases[] = {
        {"tiny13", {"写入熔丝低字节 7F \r\n", "写入熔丝高字节 1F \r\n"}},
        {"tiny15", {"写入熔丝低字节 D3 \r\n"}},
        {"90S2313", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        auto rig = Selected({.chip = c.chip});
        Edit(rig->engine)->fuseLow = 0xFF;
        Edit(rig->engine)->fuseHigh = 0xFF;
        Edit(rig->engine)->fuseExtended = 0xFF;
        Edit(rig->engine)->targetFamily =
            kFamily89S5x;  // the command works on AVR whatever was set
        Edit(rig->engine)->commands.erase = 1;
        EXPECT_EQ(rig->engine.FuseWriteCommand(), kSeqDone);
        std::vector<std::string> expected = {"设备:STK200/STK300 .\r\n"};
        expected.insert(expected.end(), c.fuseLines.begin(), c.fuseLines.end());
        expected.push_back("完成.\r\n");
        expected.push_back("退出\r\n");
        EXPECT_EQ(rig->LogLines(), expected);
        EXPECT_EQ(rig->engine.Settings().targetFamily, kFamilyAvr);
        EXPECT_EQ(rig->engine.Settings().commands.erase, 1);
    }
}

// What the part keeps after a fuse write, by the simulator's own fuse layout: the old parts'
// instruction form must survive the mask, and a bit the window hides must not be programmed.
TEST(ProgrammingSequence, FuseWritesReachThePartAndLeaveHiddenResetBitsAlone) {
    auto at90 = Selected({.chip = "90S4433"});
    Edit(at90->engine)->fuseLow = 0x1A;
    EXPECT_EQ(at90->engine.FuseWriteCommand(), kSeqDone);
    EXPECT_EQ(at90->bench->Avr()->FuseLow() & 0x1F, 0x1A);
    auto at2323 = Selected({.chip = "90S2323"});
    Edit(at2323->engine)->fuseLow = 0x00;
    EXPECT_EQ(at2323->engine.FuseWriteCommand(), kSeqDone);
    EXPECT_EQ(at2323->bench->Avr()->FuseLow() & 0x01, 0x00);
    auto mega165 = Selected({.chip = "mega165"});
    Edit(mega165->engine)->fuseLow = 0x62;
    Edit(mega165->engine)->fuseHigh = 0x99;
    Edit(mega165->engine)->fuseExtended = 0xFF;
    EXPECT_EQ(mega165->engine.FuseWriteCommand(), kSeqDone);
    EXPECT_EQ(mega165->bench->Avr()->FuseExtended() & 0x01, 0x01);  // RSTDISBL unprogrammed
}

TEST(ProgrammingSequence, OscCalReadsOnlyAndAsksForTheDialogOnFourByteParts) {
    auto rig = Selected({.chip = "mega8"});
    bool dialog = false;
    EXPECT_EQ(rig->engine.OscCalCommand(&dialog), kSeqDone);
    EXPECT_TRUE(dialog);
    EXPECT_EQ(rig->LogLines()[1], "读取校准字节: A1 B2 C3 D4\r\n");
    auto tiny = Selected({.chip = "tiny13"});
    EXPECT_EQ(tiny->engine.OscCalCommand(&dialog), kSeqDone);
    EXPECT_FALSE(dialog);
}

TEST(ProgrammingSequence, ResetMcuFollowsThePreviousLog) {
    auto rig = Selected({.chip = "mega8"});
    rig->engine.AppendLog("完成.\r\n");
    EXPECT_EQ(rig->engine.ResetMcuCommand(), 0);
    EXPECT_EQ(rig->engine.LogText(), "完成.\r\n设备:STK200/STK300 .\r\n复位MCU\r\n退出\r\n");
}

TEST(ProgrammingSequence, ChipIndexOutsideTheFamilysTableIsRefusedBeforeThePort) {
    auto rig = Selected({.chip = "89S52"});
    Edit(rig->engine)->chipIndex = 7;  // an AVR row, but the family is 89S5x
    EXPECT_EQ(rig->engine.RunSequence(), kSeqInvalidChip);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
    EXPECT_NE(rig->engine.LogText().find("芯片序号 7"), std::string::npos);
}

TEST(ProgrammingSequence, A89S5xTargetNeverGetsEepromDataInCodeMemory) {
    auto rig = Selected({.chip = "89S52"});
    IspProgrammer& e = rig->engine;
    SetImageLength(e, ImageKind::kEeprom, 32);
    Edit(e)->commands.writeEeprom = 1;
    Edit(e)->commands.writeFuse = 1;
    Edit(e)->commands.lock = 1;
    Edit(e)->commands.autoSelchip = 1;
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(e.Settings().chipIndex, 1u);  // not replaced by an AVR row
    for (std::uint8_t b : rig->bench->At89()->Flash()) ASSERT_EQ(b, 0xFF);
    EXPECT_EQ(rig->LogLines().size(), 7u);  // cable, four notes, done, exit
}

// Each step the family lacks leaves its own note, in the run's order, for a write and for a
// verify alone.
TEST(ProgrammingSequence, A89S5xRunNotesEachStepItsFamilyLacks) {
    for (const bool verifyOnly : {false, true}) {
        SCOPED_TRACE(verifyOnly ? "verify alone" : "write");
        auto rig = Selected({.chip = "89S52"});
        IspProgrammer& e = rig->engine;
        SetImageLength(e, ImageKind::kEeprom, 32);
        ProgrammerSettings settings = e.Settings();
        settings.commands.autoSelchip = settings.commands.writeFuse = settings.commands.lock = 1;
        (verifyOnly ? settings.commands.verify : settings.commands.writeEeprom) = 1;
        e.SetSettings(settings);
        EXPECT_EQ(e.ProgramCommand(), kSeqDone);
        EXPECT_EQ(
            e.LogIds(),
            (std::vector<Msg>{Msg::kDeviceStk200, Msg::kAt89NoAutoSelect,
                              verifyOnly ? Msg::kAt89NoEepromVerify : Msg::kAt89NoEepromWrite,
                              Msg::kAt89NoFuses, Msg::kAt89NoLockWrite, Msg::kDone, Msg::kExit}));
    }
}

TEST(ProgrammingSequence, ASecondCommandDuringARunIsRefused) {
    auto rig = Selected({.chip = "mega8"});
    int inner = 0;
    OnLogLine during(rig->engine, "擦除...\r\n", [&] { inner = rig->engine.FuseReadCommand(); });
    Edit(rig->engine)->commands.erase = 1;
    EXPECT_EQ(rig->engine.ProgramCommand(), kSeqDone);
    EXPECT_EQ(inner, IspProgrammer::kEngineBusy);
    EXPECT_NE(rig->engine.LogText().find("上一个操作还在进行中"), std::string::npos);
    EXPECT_FALSE(rig->engine.Running());
}

TEST(ProgrammingSequence, ProgressRunsFromZeroToBelowHundredInEachLoop) {
    auto rig = Selected({.chip = "tiny13"});
    IspProgrammer& e = rig->engine;
    FillRandom(e, ImageKind::kFlash, 1024, 1);
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.verify = 1;
    e.ProgramCommand();
    const std::vector<int> progress = rig->notes.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 3);  // the first run starts from the remembered 0
    EXPECT_EQ(*std::max_element(progress.begin(), progress.end()), 99);
    e.ProgramCommand();
    EXPECT_EQ(rig->notes.Progress()[progress.size()], 0);  // a later run posts its 0
}

// Whole runs on every cable and on chips of every fuse layout and write mode; afterwards
// the chip's memories equal the images.
TEST(ProgrammingSequence, EndToEndOnEveryCableAndFuseKind) {
    struct Case {
        const char* chip;
        const char* cable;
    };
    const Case cases[] = {
        {"90S1200", "stk200"},     {"90S2343", "byteblaster"}, {"90S4433", "xilinx"},
        {"tiny15", "lattice"},     {"mega161", "plain"},       {"tiny13", "stk200"},
        {"mega48", "byteblaster"}, {"tiny12", "xilinx"},       {"90S2313", "lattice"},
        {"mega8515", "plain"},     {"89S51", "stk200"},        {"89S53", "byteblaster"},
    };
    unsigned seed = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " on " + c.cable);
        auto rig = Selected({.chip = c.chip, .cable = c.cable});
        IspProgrammer& e = rig->engine;
        const bool at89 = e.Settings().targetFamily == kFamily89S5x;
        const std::uint32_t flash = at89 ? e.At89Record().flashSize : e.AvrRecord().flashSize;
        const std::uint32_t eeprom = at89 ? 0 : e.AvrRecord().eepromSize;
        FillRandom(e, ImageKind::kFlash, flash, ++seed);
        FillRandom(e, ImageKind::kEeprom, eeprom, ++seed);
        SetImageLength(e, ImageKind::kEeprom, eeprom);
        Edit(e)->commands.erase = 1;
        Edit(e)->commands.writeFlash = 1;
        Edit(e)->commands.verify = 1;
        Edit(e)->commands.writeEeprom = 1;
        // The three-byte parts have no signature instruction: the check would compare code
        // bytes with the table's 00 00 00.
        Edit(e)->commands.checkId = !(at89 && e.At89Record().commandFormat == 3);
        ASSERT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
        const std::vector<std::uint8_t>& chipFlash =
            at89 ? rig->bench->At89()->Flash() : rig->bench->Avr()->Flash();
        EXPECT_TRUE(std::equal(chipFlash.begin(), chipFlash.end(), e.FlashImage().begin()));
        if (!at89) {
            EXPECT_EQ(e.LastEepromResult(), 0);
            const auto& chipEeprom = rig->bench->Avr()->Eeprom();
            EXPECT_TRUE(std::equal(chipEeprom.begin(), chipEeprom.end(), e.EepromImage().begin()));
        }
        EXPECT_EQ(rig->Machine().Target()->LostInstructions(), 0u);
    }
}

TEST(ProgrammingSequence, FullMega128WriteAndVerify) {
    auto rig = Selected({.chip = "mega128", .cable = "byteblaster"});
    IspProgrammer& e = rig->engine;
    FillRandom(e, ImageKind::kFlash, kFlashImageSize, 128);
    for (std::uint32_t i = 0x8000; i < 0x9000; ++i)
        PokeImage(e, ImageKind::kFlash, i, 0xFF);  // blank pages
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.verify = 1;
    ASSERT_EQ(e.ProgramCommand(), kSeqDone);
    const auto& flash = rig->bench->Avr()->Flash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), e.FlashImage().begin()));
    EXPECT_EQ(rig->bench->Avr()->PageWriteCount(), 512u - 16u);
}

// The 89S5x parts need a slower clock than the AVR parts: the fastest setting starts at a
// delay count of 10 instead of 1, and a user's delay gets 7 more.
TEST(ProgrammingSequence, At89DelayCountsAreSlowerThanTheAvrOnes) {
    struct Case {
        const char* chip;
        std::uint8_t speedSelection;
        std::uint32_t userDelay;
        std::uint16_t delayCount;
    };
    const Case cases[] = {{"89S52", 0, 3, 10},
                          {"89S52", 1, 3, 10},
                          {"89S8252", 1, 20, 27},
                          {"mega8", 0, 3, 1},
                          {"mega8", 1, 3, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chip << " " << +c.speedSelection);
        auto rig = Selected({.chip = c.chip});
        Edit(rig->engine)->speedSelection = c.speedSelection;
        Edit(rig->engine)->userPortDelay = c.userDelay;
        EXPECT_EQ(rig->engine.ProgramCommand(), kSeqDone);
        EXPECT_EQ(rig->engine.DelayCount(), c.delayCount);
    }
}

TEST(ProgrammingSequence, AChosenLockByteReplacesTheDefault) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    Edit(e)->commands.lock = 1;
    Edit(e)->lockSelect = 1;
    Edit(e)->customLockByte = 0xFE;  // lock bit 1 only; the default 0xFC programs both
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    EXPECT_EQ(rig->bench->Avr()->Lock(), 0xFE);
    EXPECT_EQ(rig->LogLines()[1], "写入加密字节 FE \r\n");
}

TEST(ProgrammingSequence, CalibrationAddressIsClampedOnlyBeyondTheLastByte) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    Edit(e)->commands.copyCal = 1;
    for (auto [address, kept] :
         {std::pair{0x1FFEu, 0x1FFEu}, {0x1FFFu, 0x1FFFu}, {0x2000u, 0x1FFFu}}) {
        Edit(e)->calibrationAddress = address;
        EXPECT_EQ(e.ProgramCommand(), kSeqDone);
        EXPECT_EQ(e.Settings().calibrationAddress, kept) << std::hex << address;
    }
}

TEST(ProgrammingSequence, EepromProgressIsTheShareOfBytesAlreadyDone) {
    auto rig = Selected({.chip = "mega8"});
    IspProgrammer& e = rig->engine;
    Edit(e)->commands.writeEeprom = 1;
    Edit(e)->commands.verify = 1;
    SetImageLength(e, ImageKind::kEeprom, 4);
    for (int i = 0; i < 4; ++i)
        PokeImage(e, ImageKind::kEeprom, i, static_cast<std::uint8_t>(0x10 + i));
    EXPECT_EQ(e.ProgramCommand(), kSeqDone);
    // Writing, then verifying: 0, 1, 2 and 3 of the 4 bytes done before each one.
    EXPECT_EQ(rig->notes.Progress(), (std::vector<int>{25, 50, 75, 0, 25, 50, 75}));
}

}  // namespace
}  // namespace velkor
