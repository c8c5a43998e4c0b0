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
    engine.SetOwner(&notes);
    engine.AppendLog("擦除...\r\n");
    engine.AppendLogF("在 %04X:%02X-%02X失败\n", 0x1A, 0x5, 0xFF);
    EXPECT_EQ(engine.LogText(), "擦除...\r\n在 001A:05-FF失败\n");
    engine.AppendLog(nullptr);
    EXPECT_EQ(engine.LogText(), "");
    const PostedMessage log{WM_ISP_LOG, 0, 0};
    EXPECT_EQ(notes.Messages(), (std::vector<PostedMessage>{log, log, log}));
    EXPECT_EQ(WM_ISP_LOG, 1045u);
    EXPECT_EQ(WM_ISP_PROGRESS, 1044u);
}

TEST(EngineLog, ProgressPostsOnlyChangesStartingFromZero) {
    IspProgrammer engine;
    RecordingNotifier notes;
    engine.SetOwner(&notes);
    engine.PostProgress(0);  // 0 is the remembered value after start-up
    engine.PostProgress(50);
    engine.PostProgress(50);
    engine.PostProgress(0);  // a later run starting again does post its 0
    EXPECT_EQ(notes.Messages(),
              (std::vector<PostedMessage>{{WM_ISP_PROGRESS, 0, 50}, {WM_ISP_PROGRESS, 0, 0}}));
}

TEST(EngineLog, WithoutOwnerNothingIsPostedAndNothingFails) {
    IspProgrammer engine;
    engine.AppendLog("x");
    engine.PostProgress(3);
    EXPECT_EQ(engine.LogText(), "x");
}

TEST(EngineLog, ConstructionState) {
    IspProgrammer engine;
    EXPECT_EQ(engine.portRequest.delayRequest, 6);
    EXPECT_EQ(engine.portRequest.lptIndex, 0);
    EXPECT_EQ(engine.chipIndex, 44u);
    EXPECT_EQ(engine.flashImage[0], 0xFF);
    EXPECT_EQ(engine.flashImage[kFlashImageSize - 1], 0xFF);
    EXPECT_EQ(engine.eepromImage[0], 0x00);
    EXPECT_EQ(engine.useDriver, 0u);
    EXPECT_EQ(engine.cableKind, 0);
    EXPECT_EQ(engine.LogText(), "");
}

// A reader copying the log while a run appends must never see half a line.
TEST(EngineLog, CopiesTakenDuringAppendsHoldOnlyWholeLines) {
    IspProgrammer engine;
    const std::string line = "写入中...\r\n";
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) engine.AppendLog(line.c_str());
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
