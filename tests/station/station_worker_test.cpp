// The station's worker and its run gate: a run goes on its own thread, its end is reported
// after its last line, and a second run while one goes is refused without touching anything.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "devices/chip_table.h"
#include "station/station.h"

namespace velkor {
namespace {

class Recorder : public RunObserver {
  public:
    enum Event { kLog, kProgress, kEnded };
    void OnLog() override { Add(kLog); }
    void OnProgress(int) override { Add(kProgress); }
    void OnRunEnded() override { Add(kEnded); }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> hold(lock_);
        return events_;
    }
    std::function<void()> onLog;

  private:
    void Add(Event e) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            events_.push_back(e);
        }
        if (e == kLog && onLog) onLog();
    }
    std::mutex lock_;
    std::vector<Event> events_;
};

class StationWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        PortPathOptions sim;
        sim.kind = PortPathKind::kSim;
        sim.bench.chip = "mega8";
        std::string problem;
        ASSERT_TRUE(station_.BindPort(sim, &problem)) << problem;
        station_.SelectChip(static_cast<std::uint32_t>(FindChipByName(kFamilyAvr, "mega8")), true);
        request_ = station_.Request(RunKind::kProgram);
        request_.steps = {};
        request_.steps.erase = 1;
    }
    Recorder events_;
    Station station_{&events_};
    RunRequest request_;
};

TEST_F(StationWorker, ReportsTheEndAfterTheLastLineAndTakesTheNextRun) {
    ASSERT_TRUE(station_.Start(request_));
    station_.Join();
    EXPECT_TRUE(station_.LastReport().Ok());
    EXPECT_FALSE(station_.Running());
    ASSERT_FALSE(events_.Events().empty());
    EXPECT_EQ(events_.Events().back(), Recorder::kEnded);
    EXPECT_TRUE(station_.LogText().ends_with("完成.\r\n退出\r\n"));
    ASSERT_TRUE(station_.Start(request_));  // the next run after the first has ended
    station_.Join();
    const std::vector<Recorder::Event> all = events_.Events();
    EXPECT_EQ(std::count(all.begin(), all.end(), Recorder::kEnded), 2);
}

TEST_F(StationWorker, ASecondRunWhileOneGoesIsRefused) {
    std::atomic<int> refused{0};
    events_.onLog = [&] {
        if (station_.Running() && station_.LogText().ends_with("擦除...\r\n") && refused == 0) {
            refused = station_.Start(request_) ? -1 : 1;
            EXPECT_EQ(station_.Run(request_).result, RunResult::kBusy);
        }
    };
    ASSERT_TRUE(station_.Start(request_));
    station_.Join();
    events_.onLog = nullptr;
    EXPECT_EQ(refused, 1);
    const std::vector<Recorder::Event> all = events_.Events();
    EXPECT_EQ(std::count(all.begin(), all.end(), Recorder::kEnded), 1);
    EXPECT_TRUE(station_.LastReport().Ok());
}

// A settings file may ask for a fuse read in every run; an 89S5x chip has no fuses, and the
// AVR instructions for it are others of its own, so they never reach it.
TEST(StationRun, An89S5xRunSendsNoFuseRead) {
    Station station;
    PortPathOptions sim;
    sim.kind = PortPathKind::kSim;
    sim.bench.chip = "89S52";
    std::string problem;
    ASSERT_TRUE(station.BindPort(sim, &problem)) << problem;
    station.SetFamily(kFamily89S5x);
    station.SelectChip(static_cast<std::uint32_t>(FindChipByName(kFamily89S5x, "89S52")), false);
    RunRequest request = station.Request(RunKind::kProgram);
    request.steps = {};
    request.steps.checkId = 1;
    request.steps.readFuse = 1;
    EXPECT_TRUE(station.Run(request).Ok()) << station.LogText();
    const std::vector<Msg> ids = station.Engine().LogIds();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), Msg::kReadFuseLow), 0) << station.LogText();
}

}  // namespace
}  // namespace velkor
