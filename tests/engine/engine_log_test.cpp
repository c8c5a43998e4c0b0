#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/isp_programmer.h"
#include "tests/support/recording_notifier.h"

namespace velkor {
namespace {

using test::PostedMessage;
using test::RecordingNotifier;

TEST(EngineLog, EveryAppendPostsALogMessageAndNullEmptiesTheText) {
    IspProgrammer engine;
    RecordingNotifier notes;
    engine.SetReports(&notes);
    engine.Log(Msg::kErasing);
    engine.Log({Msg::kByteCompareFailed, {Num(0x1A), Num(0x5), Num(0xFF)}});
    EXPECT_EQ(engine.LogText(), "擦除...\r\n在 001A:05-FF失败\n");
    engine.AppendLog(nullptr);
    EXPECT_EQ(engine.LogText(), "");
    const PostedMessage log{PostedMessage::kLog, 0};
    EXPECT_EQ(notes.Messages(), (std::vector<PostedMessage>{log, log, log}));
}

// Switching the language shows the lines already logged again, in the new one, and the lines
// that follow in it too; the identities stay as they were logged.
TEST(EngineLog, LanguageSwitchRendersTheWholeLogAgain) {
    IspProgrammer engine;
    engine.Log({Msg::kConfigWriteFailed, {Msg::kTermFuseHigh, Num(0xD9), Num(0xC9)}});
    engine.AppendLog("note\r\n");
    EXPECT_EQ(engine.LogText(), "熔丝高字节写入失败: 读回 D9, 写入的是 C9.\r\nnote\r\n");
    engine.SetLogLanguage(Language::kEn);
    engine.Log({Msg::kChipIndexOutOfList, {Num(99u)}});
    EXPECT_EQ(engine.LogText(),
              "Fuse high byte write failed: read back D9, written C9.\r\nnote\r\n"
              "Chip index 99 is beyond the current chip list; choose the chip again.\r\n");
    engine.SetLogLanguage(Language::kZh);
    EXPECT_EQ(engine.LogText(),
              "熔丝高字节写入失败: 读回 D9, 写入的是 C9.\r\nnote\r\n"
              "芯片序号 99 超出当前芯片列表, 请重新选择芯片.\r\n");
    EXPECT_EQ(engine.LogIds(),
              (std::vector<Msg>{Msg::kConfigWriteFailed, Msg::kNote, Msg::kChipIndexOutOfList}));
}

TEST(EngineLog, ProgressPostsOnlyChangesStartingFromZero) {
    IspProgrammer engine;
    RecordingNotifier notes;
    engine.SetReports(&notes);
    engine.PostProgress(0);  // 0 is the remembered value after start-up
    engine.PostProgress(50);
    engine.PostProgress(50);
    engine.PostProgress(0);  // a later run starting again does post its 0
    EXPECT_EQ(notes.Messages(), (std::vector<PostedMessage>{{PostedMessage::kProgress, 50},
                                                            {PostedMessage::kProgress, 0}}));
}

TEST(EngineLog, WithoutOwnerNothingIsPostedAndNothingFails) {
    IspProgrammer engine;
    engine.AppendLog("x");
    engine.PostProgress(3);
    EXPECT_EQ(engine.LogText(), "x");
}

TEST(EngineLog, ConstructionState) {
    IspProgrammer engine;
    EXPECT_EQ(engine.PortSearch().delayRequest, 6);
    EXPECT_EQ(engine.PortSearch().lptIndex, 0);
    EXPECT_EQ(engine.Settings().chipIndex, 44u);
    EXPECT_EQ(engine.FlashImage()[0], 0xFF);
    EXPECT_EQ(engine.FlashImage()[kFlashImageSize - 1], 0xFF);
    EXPECT_EQ(engine.EepromImage()[0], 0x00);
    EXPECT_EQ(engine.UsesDriver(), 0u);
    EXPECT_EQ(engine.Cable(), 0);
    EXPECT_EQ(engine.LogText(), "");
}

// A reader copying the log while a run appends must never see half a line.
TEST(EngineLog, CopiesTakenDuringAppendsHoldOnlyWholeLines) {
    IspProgrammer engine;
    const std::string line = "写入中...\r\n";
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) engine.Log(Msg::kWriting);
        done = true;
    });
    bool consistent = true;
    while (!done) {
        const std::string copy = engine.LogText();
        if (copy.size() % line.size() != 0) consistent = false;
    }
    writer.join();
    EXPECT_TRUE(consistent);
    EXPECT_EQ(engine.LogText().size(), line.size() * 20000);
}

}  // namespace
}  // namespace velkor
