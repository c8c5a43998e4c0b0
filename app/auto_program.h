// Automatic programming after the flash HEX file changes: when a change is taken, when a run may
// start, and what the main window does with the watch on its flash file. The window and
// `velkorisp-cli --watch` follow the same rules from here.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/file_watcher.h"

namespace velkor {

class IspProgrammer;
class HexFile;

// A HEX file as a build tool leaves it: complete only when every line reads and its last record
// ends the file (Intel type 01, S7/S8/S9). A tool that has written part of the file so far
// leaves it unfinished, or faulty when it stopped inside a line.
enum class HexFileState { kComplete, kUnfinished, kFaulty, kUnreadable };
struct HexFileCheck {
    HexFileState state = HexFileState::kUnreadable;
    int faultyLine = 0;  // kFaulty: the 1-based number of the first faulty line
};
HexFileCheck CheckHexFile(const std::string& path);

// The rules, with explicit time. A change reported while a run is going waits for the run's
// end; changes reported before one is taken count once, so there is one reload and at most one
// run per distinct file time, and never two runs at once. With a stability wait, a change is
// taken only once no further change has come for that long.
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

// What the main window lends to the watch on its flash file.
class AutoProgramView {
  public:
    virtual ~AutoProgramView() = default;
    virtual bool AutoProgramChecked() = 0;  // "Auto Prog after Update"
    // The status display's text, shown without touching its scrolling state.
    virtual void SetStatusText(const std::string& utf8) = 0;
    // The Program command as its button runs it (icon 150, the worker); the window reports the
    // run's end back through RunEnded.
    virtual void StartProgram() = 0;
    virtual void SetSmallIcon(int iconId) = 0;
};

// What the status display says after the flash file changed.
inline constexpr const char* kHexUpdatedText = "   hex文件已经更新  ";
// The window's icon for a new file loaded but not yet programmed.
inline constexpr int kIconNotProgrammed = 151;

// The main window's watch on its flash file and its handling of the notification, on the
// window's thread. `sink` is the window's: it queues the notification to this thread, which
// then calls OnFileWatchNotify.
class FlashFileWatch {
  public:
    FlashFileWatch(FileWatcher& watcher, WatchNotifySink& sink, IspProgrammer& engine,
                   HexFile& flashFile, HexFile& eepromFile, AutoProgramView& view)
        : watcher_(watcher),
          sink_(sink),
          engine_(engine),
          flashFile_(flashFile),
          eepromFile_(eepromFile),
          view_(view) {}

    // After every load of the flash file (settings, OpenFlash): the watch moves to its path.
    void StartWatching();
    // The first of the window's shutdown steps.
    void StopWatching();
    int WatchId() const { return watchId_; }

    void OnFileWatchNotify();
    // Every Program run, the button's included, is announced here, and its end too: a change
    // reported during a run is handled when the run has ended.
    void RunStarted() { rules_.RunStarted(); }
    void RunEnded();

  private:
    void TakeChange();

    FileWatcher& watcher_;
    WatchNotifySink& sink_;
    IspProgrammer& engine_;
    HexFile& flashFile_;
    HexFile& eepromFile_;
    AutoProgramView& view_;
    AutoProgrammer rules_{std::chrono::milliseconds(0)};
    int watchId_ = 0;
};

}  // namespace velkor
