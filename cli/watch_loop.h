// velkorisp-cli program --watch: programs again after each change of the flash file until Ctrl+C,
// SIGTERM or a number of runs.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "messages/log_messages.h"

namespace velkor {
class FileWatcher;
}

namespace velkor::cli {

// How long the flash file must stay unchanged before it is taken while its writer may still be
// at it: a build tool writes the file in several writes and a linker may rename it into place;
// those steps come within milliseconds of each other, so a quarter of a second of quiet means
// the tool has finished, and is still short enough not to be noticed after a build. A complete
// file whose writer is seen to close it (Linux) is taken at once.
inline constexpr std::chrono::milliseconds kWatchStabilityWait{250};

// Ctrl+C and SIGTERM (Ctrl+Break and a console's close on Windows) turned into requests taken
// on a thread of their own, instead of ending the process inside a run with the cable held.
// Set up before anything starts a thread, so that every later thread leaves the signals to it.
class StopSignal {
  public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    bool Requested() const;
    // `wake` is called, on another thread, at each request (at once if one came).
    void OnRequest(std::function<void()> wake);
    // `abort` is called once, on another thread, at the `nth` request (at once if that many
    // came): a one-shot run stops at the first, a watch only at the second.
    void OnAbort(unsigned nth, std::function<void()> abort);
    // Whether `abort` was called, and the signal of the first request (SIGINT or SIGTERM).
    bool Aborted() const;
    int FirstSignal() const;
    void Request(int signal);

  private:
    void AbortWhenDue(std::unique_lock<std::mutex>& hold);

    struct Platform;
    mutable std::mutex lock_;
    unsigned requests_ = 0;
    int firstSignal_ = 0;
    std::function<void()> wake_;
    unsigned abortAt_ = 0;
    bool aborted_ = false;
    std::function<void()> abort_;
    std::unique_ptr<Platform> platform_;
};

// Watches the flash file from its construction on, so that a change during the first run is not
// missed, and programs again after each change in Run.
class WatchLoop {
  public:
    // Reports on `err` when the file cannot be watched (Watching() is false then). `log` takes
    // the log's lines about the watch (its folder removed); null: in English on `err`.
    WatchLoop(const std::string& flashPath, StopSignal& stop, std::ostream& err,
              std::function<void(const LogLine&)> log = nullptr);
    ~WatchLoop();
    WatchLoop(const WatchLoop&) = delete;
    WatchLoop& operator=(const WatchLoop&) = delete;

    bool Watching() const { return watchId_ != 0; }
    // Calls `reloadAndRun` once per change that has settled (see kWatchStabilityWait) into a
    // complete HEX file, with the bytes of the flash file it judged complete; a damaged or
    // unfinished file is reported and waited out. Lines about the watch go to `log` between
    // runs. Ends when a stop is requested or after `maxRuns` runs (0: no limit), a run that is
    // going being finished first. Returns the status of the last run, `lastStatus` when none
    // ran.
    int Run(unsigned maxRuns, const std::function<int(std::string_view)>& reloadAndRun,
            int lastStatus);

  private:
    class Events;
    void Log(const LogLine& line);

    std::string flashPath_;
    StopSignal& stop_;
    std::ostream& err_;
    std::function<void(const LogLine&)> log_;
    std::unique_ptr<Events> events_;
    std::unique_ptr<FileWatcher> watcher_;
    int watchId_ = 0;
};

}  // namespace velkor::cli
