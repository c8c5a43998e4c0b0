// A storm of commands against the main window's presenter, delivered as the front ends deliver
// them: one queue of the window's thread (a Qt event queue, a Win32 message queue) into which
// user threads post clicks, the station's run thread posts its log, progress and end, and the
// real file watcher posts "FileWatchNotify" after a build tool thread has rewritten the flash
// HEX file on disk; this test's thread pumps it into the presenter. Checked: no two runs at
// once (the port, wrapped, sees which thread uses it), no automatic run lost (a reload owed
// after a change is followed by a run of at least that file's version, and the newest file
// ends up on the chip), no deadlock (every wait is bounded, a watchdog ends a hung process),
// and a close that leaves nothing running. ThreadSanitizer (scripts/test.sh tsan) checks the
// rest. 1000 commands under ThreadSanitizer, 300 otherwise, from a fixed seed; VELKOR_STORM_COMMANDS
// and VELKOR_STORM_SEED (a number, or "random") set them, VELKOR_STORM_REPORT names a file for
// the figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>
#include <thread>

#include "app/main_window_presenter.h"
#include "app/main_window_template.h"
#include "devices/chip_table.h"
#include "tests/app/fake_main_window_view.h"
#include "tests/watch/watch_files.h"
#include "watch/auto_program.h"
#include "watch/file_watcher.h"

namespace velkor::test {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kFirmwareBytes = 256;

// Each rewrite of the file carries its version in its first four bytes.
std::vector<std::uint8_t> FirmwareOf(std::uint32_t version) {
    std::vector<std::uint8_t> bytes = Firmware(kFirmwareBytes, version);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(version >> (8 * i));
    return bytes;
}
std::uint32_t VersionOf(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The port as the runs reach it. A run holds the port from its first access until its thread
// posts the run's end; an access or an end from another thread meanwhile is an overlap. A run
// that ends before reaching the port (a chip index the family's table lacks) counts at its end.
class RunWitness : public PortIo {
  public:
    void Wrap(PortBackend& backend) {
        inner_ = backend.Direct();
        backend.BindDirect(this);
    }
    std::uint8_t In(std::uint16_t address) override { return Enter() ? inner_->In(address) : 0xFF; }
    void Out(std::uint16_t address, std::uint8_t value) override {
        if (Enter()) inner_->Out(address, value);
    }
    LogLine AccessProblem() override { return Enter() ? inner_->AccessProblem() : LogLine{}; }

    // The run thread's last act: reporting the run's end.
    void EndPosted() {
        std::lock_guard<std::mutex> hold(lock_);
        ++runs;
        if (!active_) return;
        if (owner_ != std::this_thread::get_id()) ++overlaps;
        active_ = false;
    }
    bool Holding() {
        std::lock_guard<std::mutex> hold(lock_);
        return active_;
    }
    // The window has ended: its port path is gone.
    void Close() {
        std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
    }

    int runs = 0;
    int overlaps = 0;
    int afterClose = 0;

  private:
    bool Enter() {
        std::lock_guard<std::mutex> hold(lock_);
        if (closed_) {
            ++afterClose;
            return false;
        }
        if (!active_) {
            active_ = true;
            owner_ = std::this_thread::get_id();
        } else if (owner_ != std::this_thread::get_id()) {
            ++overlaps;
        }
        return true;
    }

    PortIo* inner_ = nullptr;
    std::mutex lock_;
    bool active_ = false;
    bool closed_ = false;
    std::thread::id owner_;
};

// The window thread's queue. Every party posts from its own thread; the window takes the
// events in posting order.
class WindowQueue : public RunObserver, public WatchNotifySink {
  public:
    enum class Kind { kCommand, kClose, kEngine, kFileChanged };
    struct Event {
        Kind kind;
        int id = 0;
        unsigned message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
    };
    explicit WindowQueue(RunWitness& witness) : witness_(witness) {}

    // The station's reports: message 0 new log text, 1 progress, 2 the run's end.
    void OnLog() override { Push({Kind::kEngine, 0, 0}); }
    void OnProgress(int percent) override { Push({Kind::kEngine, 0, 1, 0, percent}); }
    void OnRunEnded() override {
        witness_.EndPosted();
        Push({Kind::kEngine, 0, 2});
    }
    void PostFileWatchNotify() override {
        ++watcherPosts;
        Push({Kind::kFileChanged});
    }
    void WatchProblem(const std::string& line) override {
        std::lock_guard<std::mutex> hold(lock_);
        problems.push_back(line);
    }
    void Click(int id) { Push({Kind::kCommand, id}); }
    void CloseBox() { Push({Kind::kClose}); }

    std::optional<Event> Take(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> hold(lock_);
        if (!posted_.wait_for(hold, wait, [&] { return !events_.empty(); })) return std::nullopt;
        Event event = events_.front();
        events_.pop_front();
        return event;
    }
    bool Empty() {
        std::lock_guard<std::mutex> hold(lock_);
        return events_.empty();
    }
    std::vector<std::string> problems;
    std::atomic<int> watcherPosts{0};

  private:
    void Push(const Event& event) {
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back(event);
        posted_.notify_one();
    }
    RunWitness& witness_;
    std::mutex lock_;
    std::condition_variable posted_;
    std::deque<Event> events_;
};

// The build tool: rewrites the flash file with the next version, at once (a new file renamed
// over it, as linkers do) or in two writes with a pause between (truncated, then filled).
class BuildTool {
  public:
    explicit BuildTool(std::string path) : path_(std::move(path)) {}

    void Rewrite(bool inSteps, int pauseUs) {
        std::lock_guard<std::mutex> hold(lock_);
        const std::uint32_t version = ++written_;
        const std::string text = IntelHex(FirmwareOf(version));
        if (inSteps) {
            std::FILE* file = std::fopen(path_.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            const std::size_t half = text.size() / 2;
            std::fwrite(text.data(), 1, half, file);
            std::fflush(file);
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
            std::fwrite(text.data() + half, 1, text.size() - half, file);
            std::fclose(file);
        } else {
            const std::string temporary = path_ + ".new";
            std::ofstream(temporary, std::ios::binary) << text;
            std::filesystem::rename(temporary, path_);
        }
        complete_ = version;
    }
    // The newest version whose file is whole on disk.
    std::uint32_t Complete() const { return complete_.load(); }

  private:
    const std::string path_;
    std::mutex lock_;
    std::uint32_t written_ = 0;
    std::atomic<std::uint32_t> complete_{0};
};

// The fake window, watching for run starts: the running icon is set exactly when a Program
// run starts.
class StormView : public FakeMainWindowView {
  public:
    void SetIcon(int iconId) override {
        FakeMainWindowView::SetIcon(iconId);
        if (iconId == kIconRunning && onProgramStart) onProgramStart();
    }
    void EndDialog(bool accepted) override {
        FakeMainWindowView::EndDialog(accepted);
        if (onEnd) onEnd();
    }
    std::function<void()> onProgramStart;
    std::function<void()> onEnd;
};

// Ends the process when the storm stops making progress: a deadlock fails the test instead of
// hanging it.
class Watchdog {
  public:
    Watchdog(std::chrono::seconds limit, unsigned seed)
        : thread_([this, limit, seed] {
              std::unique_lock<std::mutex> hold(lock_);
              if (!done_cv_.wait_for(hold, limit, [&] { return done_; })) {
                  std::fprintf(stderr, "storm: no end after %lld s (seed %u): deadlocked\n",
                               static_cast<long long>(limit.count()), seed);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

  private:
    std::mutex lock_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

int EnvOr(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

// The same command list on every run unless asked otherwise: a fault the storm can see then
// fails every run, not now and then. VELKOR_STORM_SEED=N repeats list N, =random draws one.
constexpr unsigned kDefaultSeed = 641543521;

unsigned StormSeed() {
    const char* value = std::getenv("VELKOR_STORM_SEED");
    if (value == nullptr) return kDefaultSeed;
    if (std::string_view(value) == "random") return std::random_device{}() >> 1;
    return static_cast<unsigned>(std::atoi(value));
}

#if defined(__SANITIZE_THREAD__)
// A run takes a hundred times longer under ThreadSanitizer: longer pauses let more runs start.
constexpr int kDefaultCommands = 1000;
constexpr int kPauseScale = 3;
#else
constexpr int kDefaultCommands = 300;
constexpr int kPauseScale = 1;
#endif

class MainWindowStorm : public ::testing::Test {
  protected:
    MainWindowStorm() : queue_(witness_), watch_(watcher_, queue_), tool_(dir_.File("app.hex")) {}

    void Start() {
        flash_ = dir_.File("app.hex");
        tool_.Rewrite(false, 0);
        const std::string ini = dir_.File("velkor.ini");
        // tiny13's own fuse bytes, so that WRITE asks nothing; auto programming on.
        std::ofstream(ini) << "[SIMULATOR]\nEnabled=1\nChip=tiny13\n[DEVICE]\nTYPE=0\nID="
                           << FindChipByName(kFamilyAvr, "tiny13")
                           << "\nFUSE0=106\nFUSE1=255\nFUSE2=255\n[FLASH]\nFILE=" << flash_
                           << "\n[PROGCMD]\nWriteFlash=1\nErase=1\nVerify=1\n"
                              "[PROGOPTION]\nAutoISP=1\n";
        view_.onProgramStart = [this] {
            ++programRuns_;
            const std::uint32_t version = VersionOf(engine_.FlashImage().data());
            if (!inUserProgram_) {
                ++automaticRuns_;
                // Only a whole file is programmed by itself, never one caught half-written.
                const std::vector<std::uint8_t> whole = FirmwareOf(version);
                if (!std::equal(whole.begin(), whole.end(), engine_.FlashImage().begin())) {
                    ++partialAutomaticRuns_;
                }
            }
            if (owed_ && version >= *owed_) owed_.reset();
        };
        view_.onEnd = [this] { witness_.Close(); };
        presenter_ = std::make_unique<MainWindowPresenter>(station_, view_, ini, &watch_);
        presenter_->Initialise();
        witness_.Wrap(station_.Backend());
    }

    void Dispatch(const WindowQueue::Event& event) {
        switch (event.kind) {
            case WindowQueue::Kind::kCommand:
                inUserProgram_ = event.id == kProgramButtonId;
                presenter_->OnCommand(event.id);
                inUserProgram_ = false;
                break;
            case WindowQueue::Kind::kClose:
                presenter_->OnClose();
                break;
            case WindowQueue::Kind::kEngine:
                if (event.message == 0) {
                    presenter_->OnLog();
                } else if (event.message == 1) {
                    presenter_->OnProgress(static_cast<int>(event.lParam));
                } else {
                    presenter_->OnRunEnded();
                }
                break;
            case WindowQueue::Kind::kFileChanged:
                ++notifications_;
                if (presenter_->RunGoing()) ++busyChanges_;
                // A reload is owed: a run of at least the newest whole file must follow.
                if (!presenter_->Ended()) owed_ = std::max(owed_.value_or(0), tool_.Complete());
                presenter_->OnFlashFileChanged();
                break;
        }
    }

    // The window's thread: delivers events until `done` holds; false when `limit` passes first.
    bool Pump(const std::function<bool()>& done, SteadyClock::duration limit) {
        const auto deadline = SteadyClock::now() + limit;
        while (!done()) {
            if (SteadyClock::now() > deadline) return false;
            if (std::optional<WindowQueue::Event> event = queue_.Take(5ms)) Dispatch(*event);
        }
        return true;
    }
    // Until nothing has happened for `quiet` with no run going (and `also` holds).
    bool Settle(
        SteadyClock::duration limit, const std::function<bool()>& also = [] { return true; }) {
        const auto deadline = SteadyClock::now() + limit;
        auto calmSince = SteadyClock::now();
        for (;;) {
            if (std::optional<WindowQueue::Event> event = queue_.Take(5ms)) {
                Dispatch(*event);
                calmSince = SteadyClock::now();
            } else if (presenter_->RunGoing() || !also()) {
                calmSince = SteadyClock::now();
            } else if (SteadyClock::now() - calmSince > 500ms) {
                return true;
            }
            if (SteadyClock::now() > deadline) return false;
        }
    }
    std::uint32_t ChipVersion() {
        return VersionOf(presenter_->Port()->Bench()->Avr()->Flash().data());
    }
    std::uint32_t ImageVersion() { return VersionOf(engine_.FlashImage().data()); }

    ScratchDir dir_;
    std::string flash_;
    RunWitness witness_;
    WindowQueue queue_;
    FileWatcher watcher_;
    WindowFlashWatch watch_;
    BuildTool tool_;
    Station station_{&queue_};
    const IspProgrammer& engine_ = station_.Engine();
    StormView view_;
    std::unique_ptr<MainWindowPresenter> presenter_;

    bool inUserProgram_ = false;
    std::optional<std::uint32_t> owed_;
    int programRuns_ = 0;
    int automaticRuns_ = 0;
    int partialAutomaticRuns_ = 0;
    int notifications_ = 0;
    int busyChanges_ = 0;
};

TEST_F(MainWindowStorm, RandomCommandsFromEveryThreadKeepOneRunAtATimeAndLoseNoAutomaticRun) {
    const int commands = EnvOr("VELKOR_STORM_COMMANDS", kDefaultCommands);
    const unsigned seed = StormSeed();
    std::printf("storm seed: %u (VELKOR_STORM_SEED=%u repeats the command list, "
                "VELKOR_STORM_SEED=random draws one)\n",
                seed, seed);
    std::fflush(stdout);
    SCOPED_TRACE("seed " + std::to_string(seed));
    Watchdog watchdog(std::chrono::seconds(120 + commands / 2), seed);
    const auto started = SteadyClock::now();
    Start();
    ASSERT_EQ(watch_.WatchId(), 1);

    // The command list, from the seed: which command, and the pause after it. The last ten
    // come after the close box.
    enum Command { kProgram, kRead, kWrite, kReset, kAvr, kAt89, kRewriteAtOnce, kRewriteInSteps };
    struct Step {
        Command command;
        int pauseUs;
    };
    std::mt19937 random(seed);
    std::discrete_distribution<int> pick({16, 12, 10, 12, 8, 6, 8, 8});
    std::vector<Step> script;
    for (int i = 0; i < commands; ++i) {
        script.push_back({static_cast<Command>(pick(random)),
                          static_cast<int>(std::uniform_int_distribution<int>(0, 10000)(random))});
    }
    const int beforeClose = commands > 20 ? commands - 10 : commands;
    std::atomic<int> next{0};
    // Three threads take the commands in turn: two users clicking and the build tool.
    const auto producer = [&](int last) {
        for (int i; (i = next.fetch_add(1)) < last;) {
            const Step& step = script[static_cast<std::size_t>(i)];
            switch (step.command) {
                case kProgram:
                    queue_.Click(kProgramButtonId);
                    break;
                case kRead:
                    queue_.Click(kReadButtonId);
                    break;
                case kWrite:
                    queue_.Click(kWriteButtonId);
                    break;
                case kReset:
                    queue_.Click(kResetButtonId);
                    break;
                case kAvr:
                    queue_.Click(kAvrRadioId);
                    break;
                case kAt89:
                    queue_.Click(kAt89RadioId);
                    break;
                case kRewriteAtOnce:
                    tool_.Rewrite(false, 0);
                    break;
                case kRewriteInSteps:
                    tool_.Rewrite(true, step.pauseUs % 3000);
                    break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(step.pauseUs * kPauseScale));
        }
    };
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) threads.emplace_back(producer, beforeClose);
        std::atomic<int> finished{0};
        std::thread joiner([&] {
            for (std::thread& t : threads) t.join();
            finished = 1;
        });
        const bool pumped =
            Pump([&] { return finished.load() == 1; }, std::chrono::seconds(60 + commands / 4));
        if (!pumped) {
            // Let the producers end, so that the failure is reported instead of aborting.
            next = beforeClose;
        }
        joiner.join();
        ASSERT_TRUE(pumped) << "the producers' commands were not taken in time";
    }

    // Every change that reached the window has been followed by a run of at least that file,
    // and the window holds the newest file.
    ASSERT_TRUE(Settle(120s, [&] { return ImageVersion() == tool_.Complete(); }))
        << "the newest file (version " << tool_.Complete() << ") was never loaded; the window has "
        << ImageVersion() << " (" << notifications_ << " of " << queue_.watcherPosts
        << " notifications delivered)";
    EXPECT_FALSE(owed_.has_value()) << "lost automatic run: version " << owed_.value_or(0)
                                    << " was reloaded after a change but never programmed";

    // A rewrite while a run goes: the run after it programs the newest file.
    queue_.Click(kAvrRadioId);
    ASSERT_TRUE(Settle(120s));
    queue_.Click(kProgramButtonId);
    ASSERT_TRUE(Pump([&] { return presenter_->RunGoing(); }, 60s));
    tool_.Rewrite(true, 500);
    ASSERT_TRUE(Settle(120s, [&] { return ChipVersion() == tool_.Complete(); }))
        << "the chip holds version " << ChipVersion() << ", the file " << tool_.Complete();
    EXPECT_EQ(presenter_->Port()->Bench()->Avr()->Flash()[kFirmwareBytes - 1],
              FirmwareOf(tool_.Complete()).back());
    EXPECT_EQ(view_.icon, kIconIdle);

    // The close box during a run, and commands that arrive after it.
    queue_.Click(kProgramButtonId);
    queue_.CloseBox();
    next = beforeClose;
    std::thread late(producer, commands);
    const bool ended = Settle(120s, [&] { return presenter_->Ended(); });
    late.join();
    ASSERT_TRUE(ended);
    ASSERT_TRUE(Settle(120s));
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - started).count();
    EXPECT_EQ(view_.ends, std::vector<bool>{false});
    EXPECT_FALSE(presenter_->RunGoing());
    EXPECT_EQ(watch_.WatchId(), 0);
    EXPECT_FALSE(watcher_.ThreadRunning());
    presenter_.reset();

    EXPECT_EQ(witness_.overlaps, 0) << "two runs used the port at once";
    EXPECT_FALSE(witness_.Holding()) << "a run never posted its end";
    EXPECT_EQ(witness_.afterClose, 0) << "a run used the port after the window ended";
    EXPECT_LE(programRuns_, witness_.runs);
    EXPECT_EQ(partialAutomaticRuns_, 0) << "an automatic run programmed a half-written file";
    EXPECT_TRUE(queue_.problems.empty()) << queue_.problems.front();
    if (commands >= 300) {
        EXPECT_GT(busyChanges_, 0) << "no change arrived during a run";
    }

    std::printf(
        "storm: %d commands, seed %u, %d runs started (%d Program, %d automatic), "
        "%d file notifications (%d during a run), %.1f s\n",
        commands, seed, witness_.runs, programRuns_, automaticRuns_, notifications_, busyChanges_,
        seconds);
    if (const char* report = std::getenv("VELKOR_STORM_REPORT")) {
        std::ofstream(report) << "commands " << commands << "\nseed " << seed << "\nruns "
                              << witness_.runs << "\nprogram_runs " << programRuns_
                              << "\nautomatic_runs " << automaticRuns_ << "\nnotifications "
                              << notifications_ << "\nbusy_changes " << busyChanges_ << "\nseconds "
                              << static_cast<int>(seconds + 0.5) << "\n";
    }
}

}  // namespace
}  // namespace velkor::test
