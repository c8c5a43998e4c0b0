// The main window's automatic programming end to end: the real watcher on a real file, the
// window's presenter on the simulated bench, and this test's thread as the window's thread,
// to which the watcher's notifications and the engine's messages are queued.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/main_window_presenter.h"
#include "app/main_window_template.h"
#include "devices/chip_table.h"
#include "tests/app/fake_main_window_view.h"
#include "tests/watch/watch_files.h"
#include "watch/auto_program.h"

namespace velkor::test {
namespace {

using namespace std::chrono_literals;

class QueuedWatchSink : public WatchNotifySink {
  public:
    void PostFileWatchNotify() override { ++queued_; }
    void WatchProblem(const std::string&) override {}
    int Take() { return queued_.exchange(0); }

  private:
    std::atomic<int> queued_{0};
};

class WindowAutoProgram : public ::testing::Test {
  protected:
    WindowAutoProgram() : watch_(watcher_, sink_) {
        flash_ = dir_.File("app.hex");
        WriteInPlace(flash_, IntelHex(Firmware(1024, 1)));
        const std::string ini = dir_.File("velkor.ini");
        std::ofstream(ini) << "[SIMULATOR]\nEnabled=1\nChip=mega8\n[DEVICE]\nTYPE=0\nID="
                           << FindChipByName(kFamilyAvr, "mega8") << "\n[FLASH]\nFILE=" << flash_
                           << "\n[PROGCMD]\nWriteFlash=1\nErase=1\nVerify=1\n"
                              "[PROGOPTION]\nAutoISP=1\n";
        presenter_ = std::make_unique<MainWindowPresenter>(station_, view_, ini, &watch_);
        presenter_->Initialise();
    }

    // Runs the window's thread until `done` holds (false after two minutes without).
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(120)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            notes_.Deliver(*presenter_);
            for (int n = sink_.Take(); n > 0; --n) {
                ++notifications_;
                presenter_->OnFlashFileChanged();
            }
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(2ms);
        }
    }
    bool Idle() { return !presenter_->RunGoing(); }
    bool ChipHolds(const std::vector<std::uint8_t>& firmware) {
        const std::vector<std::uint8_t>& chip = presenter_->Port()->Bench()->Avr()->Flash();
        return std::equal(firmware.begin(), firmware.end(), chip.begin());
    }

    ScratchDir dir_;
    std::string flash_;
    FileWatcher watcher_;
    QueuedWatchSink sink_;
    WindowFlashWatch watch_;
    FakeMainWindowView view_;
    QueuedNotifier notes_;
    Station station_{&notes_};
    std::unique_ptr<MainWindowPresenter> presenter_;
    int notifications_ = 0;
};

TEST_F(WindowAutoProgram, AScriptRewritingTheFileInStepsGetsTheNewFirmwareProgrammed) {
    ASSERT_EQ(watch_.WatchId(), 1);
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    const std::vector<std::uint8_t> firmware = Firmware(1024, 2);
    const std::string text = IntelHex(firmware);
    const std::string half = text.substr(0, text.size() / 2);

    // The build tool's first step: half of the file. It is loaded, not programmed.
#ifdef _WIN32
    // Windows lets no file be renamed over the one the window holds open: written in place.
    std::ofstream(flash_, std::ios::binary | std::ios::trunc) << half;
#else
    ReplaceFileAtOnce(flash_, half, 70);
#endif
    ASSERT_TRUE(PumpUntil([&] { return notifications_ >= 1; }));
    PumpUntil([] { return false; }, 100ms);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(view_.icon, kIconFileChanged);

    // The rest, appended by a script as a build would: the whole file is programmed.
#ifdef _WIN32
    std::ofstream(flash_, std::ios::binary | std::ios::app) << text.substr(half.size());
#else
    const std::string script = "printf '%s' '" + text.substr(half.size()) + "' >> '" + flash_ + "'";
    ASSERT_EQ(std::system(script.c_str()), 0);
#endif
    ASSERT_TRUE(PumpUntil([&] { return Idle() && ChipHolds(firmware); }));
    presenter_->OnClose();
    PumpUntil([&] { return Idle(); });
    EXPECT_EQ(watch_.WatchId(), 0);  // shutdown's first step removed it
    EXPECT_FALSE(watcher_.ThreadRunning());
}

TEST(WindowFlashWatch, OpeningAnotherFileMovesTheWatch) {
    ScratchDir first, second;
    WriteInPlace(first.File("a.hex"), "1");
    WriteInPlace(second.File("b.hex"), "2");
    FileWatcher watcher;
    CountingSink sink;
    WindowFlashWatch watch(watcher, sink);
    watch.Watch(first.File("a.hex"));
    EXPECT_EQ(watch.WatchId(), 1);
    watch.Watch(second.File("b.hex"));
    EXPECT_EQ(watch.WatchId(), 2);
    SetWriteTime(first.File("a.hex"), 60);  // no longer watched
    SetWriteTime(second.File("b.hex"), 61);
    EXPECT_EQ(sink.WaitFor(1), 1);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(), 1);
    watch.Watch(first.File("missing.hex"));
    EXPECT_EQ(watch.WatchId(), 0);
    EXPECT_FALSE(watcher.ThreadRunning());
}

}  // namespace
}  // namespace velkor::test
