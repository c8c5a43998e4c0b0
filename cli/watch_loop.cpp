#include "cli/watch_loop.h"

#include <condition_variable>
#include <csignal>
#include <optional>
#include <thread>

#include "files/image_loader.h"
#include "files/safe_file.h"
#include "watch/auto_program.h"
#include "watch/file_watcher.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#endif

namespace velkor::cli {

// ---- StopSignal ----

#ifdef _WIN32
namespace {
StopSignal* g_consoleStop = nullptr;  // the console's handler runs on a thread of its own

BOOL WINAPI ConsoleHandler(DWORD event) {
    if (g_consoleStop == nullptr) return FALSE;
    if (event == CTRL_C_EVENT) {
        g_consoleStop->Request(SIGINT);
        return TRUE;
    }
    if (event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        g_consoleStop->Request(SIGTERM);
        return TRUE;
    }
    return FALSE;
}
}  // namespace

struct StopSignal::Platform {};

StopSignal::StopSignal() {
    g_consoleStop = this;
    SetConsoleCtrlHandler(ConsoleHandler, TRUE);
}

StopSignal::~StopSignal() {
    SetConsoleCtrlHandler(ConsoleHandler, FALSE);
    g_consoleStop = nullptr;
}
#else
// The signals are blocked in this thread (and so in every thread started later) and taken by
// one thread in sigwait, where reacting to them needs no async-signal-safe code.
struct StopSignal::Platform {
    sigset_t signals{};
    sigset_t previous{};
    bool ending = false;  // guarded by the StopSignal's lock
    std::thread waiter;
};

StopSignal::StopSignal() : platform_(std::make_unique<Platform>()) {
    sigemptyset(&platform_->signals);
    sigaddset(&platform_->signals, SIGINT);
    sigaddset(&platform_->signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &platform_->signals, &platform_->previous);
    platform_->waiter = std::thread([this] {
        for (;;) {
            int signal = 0;
            if (sigwait(&platform_->signals, &signal) != 0) continue;
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (platform_->ending) return;
            }
            Request(signal);
        }
    });
}

StopSignal::~StopSignal() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        platform_->ending = true;
    }
    pthread_kill(platform_->waiter.native_handle(), SIGTERM);
    platform_->waiter.join();
    // A signal that came after the waiter's end stays pending until the mask is put back, and
    // then ends the process as it would have without --watch.
    pthread_sigmask(SIG_SETMASK, &platform_->previous, nullptr);
}
#endif

bool StopSignal::Requested() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_ > 0;
}

bool StopSignal::Aborted() const {
    std::lock_guard<std::mutex> hold(lock_);
    return aborted_;
}

int StopSignal::FirstSignal() const {
    std::lock_guard<std::mutex> hold(lock_);
    return firstSignal_;
}

void StopSignal::OnRequest(std::function<void()> wake) {
    bool now = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        wake_ = std::move(wake);
        now = requests_ > 0;
    }
    if (now && wake_) wake_();
}

void StopSignal::OnAbort(unsigned nth, std::function<void()> abort) {
    std::unique_lock<std::mutex> hold(lock_);
    abortAt_ = nth;
    abort_ = std::move(abort);
    AbortWhenDue(hold);
}

void StopSignal::AbortWhenDue(std::unique_lock<std::mutex>& hold) {
    if (aborted_ || !abort_ || abortAt_ == 0 || requests_ < abortAt_) return;
    aborted_ = true;
    const std::function<void()> abort = abort_;
    hold.unlock();
    abort();
    hold.lock();
}

void StopSignal::Request(int signal) {
    std::function<void()> wake;
    {
        std::unique_lock<std::mutex> hold(lock_);
        if (requests_++ == 0) firstSignal_ = signal;
        wake = wake_;
        AbortWhenDue(hold);
    }
    if (wake) wake();
}

// ---- the loop ----

// The watcher's notifications and the stop request, waited for on the loop's thread.
class WatchLoop::Events : public WatchNotifySink {
  public:
    void PostFileWatchNotify() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++changes_;
        wake_.notify_all();
    }
    void WatchProblem(const std::string& line) override {
        std::lock_guard<std::mutex> hold(lock_);
        problems_.push_back(line);
        wake_.notify_all();
    }
    void WatchWaiting(const std::string& directory, const std::string& watching) override {
        std::lock_guard<std::mutex> hold(lock_);
        lines_.push_back({Msg::kWatchFolderGone, {directory, watching}});
        wake_.notify_all();
    }
    void PostFileClosed() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++closed_;
        wake_.notify_all();
    }
    void Stop() {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
        wake_.notify_all();
    }

    struct Seen {
        unsigned changes = 0;
        unsigned closed = 0;
        bool stop = false;
        std::vector<std::string> problems;
        std::vector<LogLine> lines;
    };
    // Waits until something happens or `until` (none: no time-out) passes; takes what came.
    Seen Wait(std::optional<AutoProgrammer::Clock::time_point> until) {
        std::unique_lock<std::mutex> hold(lock_);
        auto ready = [&] {
            return stop_ || changes_ > 0 || closed_ > 0 || !problems_.empty() || !lines_.empty();
        };
        if (until) {
            wake_.wait_until(hold, *until, ready);
        } else {
            wake_.wait(hold, ready);
        }
        Seen seen{changes_, closed_, stop_, std::move(problems_), std::move(lines_)};
        changes_ = closed_ = 0;
        problems_.clear();
        lines_.clear();
        return seen;
    }
    std::vector<std::string> TakeProblems() {
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<std::string> problems = std::move(problems_);
        problems_.clear();
        return problems;
    }

  private:
    std::mutex lock_;
    std::condition_variable wake_;
    unsigned changes_ = 0;
    unsigned closed_ = 0;
    bool stop_ = false;
    std::vector<std::string> problems_;
    std::vector<LogLine> lines_;
};

namespace {

// The file judged and loaded from one read: a build that rewrites it between a check and a
// second read would otherwise get a half-written image programmed.
HexFileCheck ReadAndCheck(const std::string& path, std::string& text) {
    std::string readError;
    return ReadWholeFile(path, text, readError, kMaxHexFileBytes) == FileReadStatus::kRead
               ? CheckHexText(text)
               : HexFileCheck{};
}

}  // namespace

WatchLoop::WatchLoop(const std::string& flashPath, StopSignal& stop, std::ostream& err,
                     std::function<void(const LogLine&)> log)
    : flashPath_(flashPath),
      stop_(stop),
      err_(err),
      log_(std::move(log)),
      events_(std::make_unique<Events>()),
      watcher_(std::make_unique<FileWatcher>()) {
    watchId_ = watcher_->AddWatch(flashPath_, events_.get());
    for (const std::string& line : events_->TakeProblems()) {
        err_ << "velkorisp-cli: " << line << "\n";
    }
    if (watchId_ == 0) err_ << "velkorisp-cli: cannot watch '" << flashPath_ << "'\n";
    stop_.OnRequest([events = events_.get()] { events->Stop(); });
}

WatchLoop::~WatchLoop() {
    stop_.OnRequest(nullptr);
    watcher_->RemoveWatch(watchId_);
}

void WatchLoop::Log(const LogLine& line) {
    if (log_) {
        log_(line);
        return;
    }
    std::string text = Render(line, Language::kEn);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    err_ << "velkorisp-cli: " << text << "\n";
}

int WatchLoop::Run(unsigned maxRuns, const std::function<int(std::string_view)>& reloadAndRun,
                   int lastStatus) {
    if (watchId_ == 0) return lastStatus;
    err_ << "velkorisp-cli: watching " << flashPath_
         << " and programming again after each change (Ctrl+C ends)\n";
    AutoProgrammer rules(kWatchStabilityWait);
    unsigned runs = 0;
    for (;;) {
        const Events::Seen seen = events_->Wait(rules.ReadyAt());
        for (const std::string& line : seen.problems) err_ << "velkorisp-cli: " << line << "\n";
        for (const LogLine& line : seen.lines) Log(line);
        if (seen.stop) break;
        const auto now = AutoProgrammer::Clock::now();
        if (seen.changes > 0) rules.FileChanged(now);
        std::string text;
        HexFileCheck check;
        // Its writer is done with the file: a complete file is taken at once. One left
        // unfinished waits out the stability wait, in case its writer comes back to finish it.
        bool settled = false;
        if (seen.closed > 0 && rules.Pending() && !rules.Running()) {
            check = ReadAndCheck(flashPath_, text);
            settled = check.state == HexFileState::kComplete && rules.TakeSettledChange();
        }
        if (!settled) {
            if (!rules.TakeChange(now)) continue;
            check = ReadAndCheck(flashPath_, text);
        }
        if (check.state != HexFileState::kComplete) {
            err_ << "velkorisp-cli: " << flashPath_ << ": "
                 << (check.state == HexFileState::kFaulty
                         ? "faulty record at line " + std::to_string(check.faultyLine)
                     : check.state == HexFileState::kUnfinished ? std::string("no end record")
                                                                : std::string("cannot be read"))
                 << "; not programmed, waiting for the next change\n";
            continue;
        }
        rules.RunStarted();
        lastStatus = reloadAndRun(text);
        rules.RunEnded();
        ++runs;
        if (maxRuns != 0 && runs >= maxRuns) break;
    }
    return lastStatus;
}

}  // namespace velkor::cli
