// The main window's side of automatic programming, end to end: a real watcher on a real file,
// a window whose thread is this test's (notifications and the run's end are queued to it, as
// posted messages are), the Program command's worker and a simulated chip.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/auto_program.h"
#include "engine/program_worker.h"
#include "files/image_loader.h"
#include "tests/support/sim_rig.h"
#include "tests/watcher/watch_files.h"

namespace velkor::test {
namespace {

using namespace std::chrono_literals;

class FakeWindow : public WatchNotifySink, public AutoProgramView, public EngineNotifier {
  public:
    explicit FakeWindow(SimRig& rig) : rig_(rig) { rig.engine.SetOwner(this); }
    ~FakeWindow() override { worker_.Join(); }

    // ---- posted from other threads ----
    void PostFileWatchNotify() override {
        Post([this] {
            ++notifications;
            watch->OnFileWatchNotify();
        });
    }
    void WatchProblem(const std::string&) override {}
    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t) override {
        if (message == WM_ISP_LOG && wParam == 1) {
            Post([this] {
                icon = 128;
                ++runsEnded;
                watch->RunEnded();
            });
        }
    }

    // ---- the view, on the window's thread ----
    bool AutoProgramChecked() override { return autoProgram; }
    void SetStatusText(const std::string& text) override { status = text; }
    void StartProgram() override {
        icon = 150;
        ++runsStarted;
        const auto& image = rig_.engine.flashImage;
        startedImages.emplace_back(image.begin(), image.begin() + 2048);
        ASSERT_TRUE(worker_.Start(rig_.engine));  // two runs at once would be refused here
    }
    void SetSmallIcon(int id) override { icon = id; }

    // Runs the window's thread until `done` holds (false after thirty seconds without).
    bool PumpUntil(const std::function<bool()>& done) {
        return Pump(done, std::chrono::steady_clock::now() + 30s);
    }
    // Handles what is posted within `quiet`.
    void PumpFor(std::chrono::milliseconds quiet) {
        Pump([] { return false; }, std::chrono::steady_clock::now() + quiet);
    }

    FlashFileWatch* watch = nullptr;
    bool autoProgram = true;
    std::string status;
    int icon = 128;
    int notifications = 0, runsStarted = 0, runsEnded = 0;
    std::vector<std::vector<std::uint8_t>> startedImages;  // each run's first 2 KiB

  private:
    bool Pump(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            if (done()) return true;
            std::unique_lock<std::mutex> hold(lock_);
            if (!posted_.wait_until(hold, deadline, [&] { return !queue_.empty(); })) return false;
            auto next = std::move(queue_.front());
            queue_.pop_front();
            hold.unlock();
            next();
        }
    }
    void Post(std::function<void()> job) {
        std::lock_guard<std::mutex> hold(lock_);
        queue_.push_back(std::move(job));
        posted_.notify_all();
    }

    SimRig& rig_;
    ProgramWorker worker_;
    std::mutex lock_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

class FlashFileWatchTest : public ::testing::Test {
  protected:
    FlashFileWatchTest()
        : window_(rig_), watch_(watcher_, window_, rig_.engine, flash_, eeprom_, window_) {
        window_.watch = &watch_;
        rig_.engine.chipIndex = 7;  // mega8
        rig_.engine.commands.erase = rig_.engine.commands.writeFlash = 1;
        rig_.engine.commands.verify = 1;
        flashPath_ = dir_.File("app.hex");
        WriteInPlace(flashPath_, IntelHex(Firmware(512, 1)));
        eepromPath_ = dir_.File("app.eep");
        WriteInPlace(eepromPath_, IntelHex({0x11, 0x22}));
        LoadFlashImage(rig_.engine, flash_, flashPath_);
        LoadEepromImage(rig_.engine, eeprom_, eepromPath_);
        watch_.StartWatching();
    }
    ~FlashFileWatchTest() override { watch_.StopWatching(); }

    bool ChipHolds(const std::vector<std::uint8_t>& firmware) {
        const std::vector<std::uint8_t>& flash = rig_.bench->Avr()->Flash();
        return std::equal(firmware.begin(), firmware.end(), flash.begin());
    }

    ScratchDir dir_;
    SimRig rig_{{.chip = "mega8"}};
    FileWatcher watcher_;
    HexFile flash_, eeprom_;
    FakeWindow window_;
    FlashFileWatch watch_;
    std::string flashPath_, eepromPath_;
};

TEST_F(FlashFileWatchTest, AScriptRewritingTheFileInStepsGetsTheNewFirmwareProgrammed) {
    ASSERT_EQ(watch_.WatchId(), 1);
    const std::vector<std::uint8_t> firmware = Firmware(1024, 2);
    const std::string text = IntelHex(firmware);
    const std::string half = text.substr(0, text.size() / 2);
    // The build tool's first step: half of the file. It is loaded, not programmed.
    ReplaceFile(flashPath_, half, 70);
    ASSERT_TRUE(window_.PumpUntil([&] { return window_.notifications >= 1; }));
    window_.PumpFor(100ms);
    EXPECT_EQ(window_.runsStarted, 0);
    EXPECT_EQ(window_.icon, kIconNotProgrammed);
    // The rest, appended by a script as a build would.
#ifdef _WIN32
    std::ofstream(flashPath_, std::ios::binary | std::ios::app) << text.substr(half.size());
#else
    const std::string script =
        "printf '%s' '" + text.substr(half.size()) + "' >> '" + flashPath_ + "'";
    ASSERT_EQ(std::system(script.c_str()), 0);
#endif
    // The chip is looked at only between runs, never under a running worker.
    ASSERT_TRUE(window_.PumpUntil([&] {
        return window_.runsEnded >= 1 && window_.runsEnded == window_.runsStarted &&
               ChipHolds(firmware);
    }));
    window_.PumpFor(300ms);
    // Every run started on the whole file, never on the half one, and each ended.
    EXPECT_GE(window_.runsStarted, 1);
    EXPECT_EQ(window_.runsEnded, window_.runsStarted);
    for (const auto& image : window_.startedImages) {
        EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), image.begin()));
    }
    EXPECT_EQ(window_.icon, 128);
    EXPECT_EQ(window_.status, kHexUpdatedText);
}

TEST_F(FlashFileWatchTest, WithoutAutoProgramBothImagesReloadAndTheIconMarksTheNewFile) {
    window_.autoProgram = false;
    WriteInPlace(eepromPath_, IntelHex({0x33, 0x44}));
    const std::vector<std::uint8_t> firmware = Firmware(512, 3);
    WriteInPlace(flashPath_, IntelHex(firmware));
    ASSERT_TRUE(window_.PumpUntil([&] { return window_.icon == kIconNotProgrammed; }));
    EXPECT_EQ(window_.status, kHexUpdatedText);
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), rig_.engine.flashImage.begin()));
    EXPECT_EQ(rig_.engine.eepromImage[0], 0x33);
    EXPECT_EQ(window_.runsStarted, 0);
}

TEST_F(FlashFileWatchTest, ChangesDuringARunWaitForItsEndAndBringOneRun) {
    watch_.RunStarted();  // the Program button's run
    const std::vector<std::uint8_t> before(rig_.engine.flashImage.begin(),
                                           rig_.engine.flashImage.begin() + 512);
    ReplaceFile(flashPath_, IntelHex(Firmware(512, 4)), 50);
    ASSERT_TRUE(window_.PumpUntil([&] { return window_.notifications == 1; }));
    const std::vector<std::uint8_t> firmware = Firmware(512, 5);
    ReplaceFile(flashPath_, IntelHex(firmware), 51);
    ASSERT_TRUE(window_.PumpUntil([&] { return window_.notifications == 2; }));
    // Nothing reloaded under the running worker, nothing started beside it.
    EXPECT_TRUE(std::equal(before.begin(), before.end(), rig_.engine.flashImage.begin()));
    EXPECT_EQ(window_.runsStarted, 0);

    watch_.RunEnded();
    EXPECT_EQ(window_.runsStarted, 1);
    ASSERT_TRUE(window_.PumpUntil([&] { return window_.runsEnded == 1; }));
    window_.PumpFor(200ms);
    EXPECT_EQ(window_.runsStarted, 1);
    EXPECT_TRUE(ChipHolds(firmware));
}

TEST_F(FlashFileWatchTest, OpeningAnotherFileMovesTheWatchAndShutdownEndsIt) {
    ScratchDir other;
    const std::string otherPath = other.File("other.hex");
    WriteInPlace(otherPath, IntelHex(Firmware(64, 6)));
    LoadFlashImage(rig_.engine, flash_, otherPath);
    watch_.StartWatching();
    EXPECT_EQ(watch_.WatchId(), 2);
    SetWriteTime(flashPath_, 60);  // the old file: no longer watched
    SetWriteTime(otherPath, 61);
    ASSERT_TRUE(window_.PumpUntil([&] { return window_.notifications == 1; }));
    window_.PumpFor(100ms);
    EXPECT_EQ(window_.notifications, 1);

    watch_.StopWatching();
    EXPECT_EQ(watch_.WatchId(), 0);
    EXPECT_FALSE(watcher_.ThreadRunning());
}

}  // namespace
}  // namespace velkor::test
