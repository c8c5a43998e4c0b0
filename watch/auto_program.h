// Automatic programming after the flash HEX file changes: when a change is taken, when a run may
// start and which file may be programmed; and the main window's watch on its flash file. The
// window and `velkorisp-cli --watch` take these rules from here.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "watch/file_watcher.h"
#include "watch/flash_file_watch.h"

namespace velkor {

// A HEX file as a build tool leaves it: complete only when every line reads and its last record
// ends the file (Intel type 01, S7/S8/S9). A tool that has written part of the file so far
// leaves it unfinished, or faulty when it stopped inside a line.
// An ELF file is complete when it reads as one.
enum class HexFileState { kComplete, kUnfinished, kFaulty, kUnreadable };
struct HexFileCheck {
    HexFileState state = HexFileState::kUnreadable;
    int faultyLine = 0;  // kFaulty: the 1-based number of the first faulty line
};
HexFileCheck CheckHexFile(const std::string& path);
// The same over the file's bytes already read.
HexFileCheck CheckHexText(std::string_view text);

// The rules, with explicit time. A change reported while a run is going waits for the run's
// end; changes reported before one is taken count once, so there is one reload and at most one
// run per distinct file time, and never two runs at once. With a stability wait, a change is
// taken only once no further change has come for that long, or at once when the file's writer
// has closed it complete (TakeSettledChange).
class AutoProgrammer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit AutoProgrammer(std::chrono::milliseconds stabilityWait) : wait_(stabilityWait) {}

    void FileChanged(Clock::time_point now) {
        pending_ = true;
        lastChange_ = now;
    }
    // Every run, automatic or not, goes between these two.
    void RunStarted() { running_ = true; }
    void RunEnded() { running_ = false; }

    bool Running() const { return running_; }
    bool Pending() const { return pending_; }
    // When the pending change may be taken; none while nothing is pending or a run goes.
    std::optional<Clock::time_point> ReadyAt() const {
        if (!pending_ || running_) return std::nullopt;
        return lastChange_ + wait_;
    }
    // True, and the change counts as taken, when the caller should reload the images now.
    bool TakeChange(Clock::time_point now) {
        const std::optional<Clock::time_point> ready = ReadyAt();
        if (!ready || now < *ready) return false;
        pending_ = false;
        return true;
    }
    // The file's writer has closed it and it holds a complete HEX file: nothing more is coming,
    // so the pending change is taken without its stability wait. False, and nothing taken,
    // while nothing is pending or a run goes.
    bool TakeSettledChange() {
        if (!pending_ || running_) return false;
        pending_ = false;
        return true;
    }
    // Whether the reloaded file is to be programmed: only a complete file, and only when
    // automatic programming is on.
    static bool ShouldProgram(HexFileState state, bool autoProgram) {
        return autoProgram && state == HexFileState::kComplete;
    }

  private:
    std::chrono::milliseconds wait_;
    bool pending_ = false;
    bool running_ = false;
    Clock::time_point lastChange_{};
};

// The main window's watch on its flash file, kept on the process's FileWatcher. Notifications go
// to `sink`, which queues them to the window's thread; there the presenter's
// OnFlashFileChanged handles them.
class WindowFlashWatch final : public FlashFileWatch {
  public:
    WindowFlashWatch(FileWatcher& watcher, WatchNotifySink& sink)
        : watcher_(watcher), sink_(sink) {}
    ~WindowFlashWatch() override { Unwatch(); }
    WindowFlashWatch(const WindowFlashWatch&) = delete;
    WindowFlashWatch& operator=(const WindowFlashWatch&) = delete;

    void Watch(const std::string& path) override {
        Unwatch();
        watchId_ = path.empty() ? 0 : watcher_.AddWatch(path, &sink_);
    }
    void Unwatch() override {
        watcher_.RemoveWatch(watchId_);
        watchId_ = 0;
    }
    int WatchId() const { return watchId_; }

  private:
    FileWatcher& watcher_;
    WatchNotifySink& sink_;
    int watchId_ = 0;
};

}  // namespace velkor
