#include "engine/program_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/sim_rig.h"

namespace velkor {
namespace {

std::size_t EndMessages(const test::RecordingNotifier& notes) {
    const auto messages = notes.Messages();
    return static_cast<std::size_t>(
        std::count(messages.begin(), messages.end(), test::PostedMessage{WM_ISP_LOG, 1, 0}));
}

TEST(ProgramWorker, RunsOnItsOwnThreadAndPostsTheEndAfterTheLastLine) {
    test::SimRig rig({.chip = "mega8"});
    rig.engine.chipIndex = 7;
    rig.engine.commands.erase = 1;
    ProgramWorker worker;
    ASSERT_TRUE(worker.Start(rig.engine));
    worker.Join();
    EXPECT_EQ(worker.LastResult(), kSeqDone);
    ASSERT_FALSE(rig.notes.Messages().empty());
    EXPECT_EQ(rig.notes.Messages().back(), (test::PostedMessage{WM_ISP_LOG, 1, 0}));
    EXPECT_TRUE(rig.engine.LogText().ends_with("完成.\r\n退出\r\n"));
    ASSERT_TRUE(worker.Start(rig.engine));  // the next run after the first has ended
    worker.Join();
    EXPECT_EQ(EndMessages(rig.notes), 2u);
}

TEST(ProgramWorker, ASecondStartWhileARunIsGoingIsRefused) {
    test::SimRig rig({.chip = "mega8"});
    rig.engine.chipIndex = 7;
    rig.engine.commands.erase = 1;
    ProgramWorker first;
    ProgramWorker second;
    bool refused = false;
    struct Probe : EngineNotifier {
        std::function<void()> onErase;
        test::RecordingNotifier* notes;
        IspProgrammer* engine;
        void PostMessage(unsigned m, std::uintptr_t w, std::intptr_t l) override {
            notes->PostMessage(m, w, l);
            if (m == WM_ISP_LOG && w == 0 && engine->LogText().ends_with("擦除...\r\n")) onErase();
        }
    } probe;
    probe.notes = &rig.notes;
    probe.engine = &rig.engine;
    probe.onErase = [&] { refused = !second.Start(rig.engine); };
    rig.engine.SetOwner(&probe);
    ASSERT_TRUE(first.Start(rig.engine));
    first.Join();
    EXPECT_TRUE(refused);
    EXPECT_EQ(EndMessages(rig.notes), 1u);
}

// The window may look at the result before it joins the worker (a timer, a handler of the end
// message): the result is read on that thread while the worker writes it.
TEST(ProgramWorker, TheResultCanBeReadWhileTheRunEnds) {
    test::SimRig rig({.chip = "mega8", .base = 0});  // no port: the run fails at once
    rig.engine.chipIndex = 7;
    ProgramWorker worker;
    ASSERT_TRUE(worker.Start(rig.engine));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (worker.LastResult() != kSeqPortNotReady && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(worker.LastResult(), kSeqPortNotReady);
    worker.Join();
}

}  // namespace
}  // namespace velkor
