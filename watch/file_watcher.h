// Watches files for a new last-write time and tells the window that asked, asynchronously.
//
// One change notification per directory that holds a watched file, and one thread at the lowest
// priority that waits on all of them, without time-out, while at least one watch exists. When a
// directory signals, every watched file in it has its stamp read (last-write time, size, which
// file); a file whose stamp differs from the one last seen is reported once, so several signals
// for one save give one report, a signal from another file of the directory gives none, and a
// file that cannot be read at that moment (deleted, locked by its writer) keeps its old stamp
// and is reported when it comes back with a new one. Size and identity count because a coarse
// clock gives two saves close together the same time: a build that renames a second file into
// place within one clock tick must still be reported. A directory that goes away (`make clean`)
// is waited for on the nearest directory above it, and watched again when it is back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "watch/change_notifier.h"

namespace velkor {

// Where the "FileWatchNotify" notification goes. Called on the watcher's thread with its lock
// held: an implementation only queues the notification for its own thread (Qt: a queued
// invocation; Win32: PostMessage of the registered message) and returns.
class WatchNotifySink {
  public:
    virtual ~WatchNotifySink() = default;
    virtual void PostFileWatchNotify() = 0;
    // A line for the log: a directory that cannot be watched, or stopped being watchable.
    virtual void WatchProblem(const std::string& line) = 0;
    // The watched file's directory went away (a clean build removed it): its watches wait on
    // `watching`, the nearest directory above it that can be watched, take it up again when it
    // comes back, and report a file found there then as a change. A line for the log.
    virtual void WatchWaiting(const std::string& directory, const std::string& watching) {
        WatchProblem("directory '" + directory + "' was removed; watching '" + watching +
                     "' until it comes back");
    }
    // The watched file's writer has closed it (or renamed it into place) and has not written it
    // since: it will not grow any further. Follows the PostFileWatchNotify of its last change.
    virtual void PostFileClosed() {}
};

class FileWatcher {
  public:
    // `notifier` null: the platform's own.
    explicit FileWatcher(std::unique_ptr<ChangeNotifier> notifier = nullptr);
    // Removes every watch and waits for the thread's end.
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // Starts watching `path` (a path ending in a separator names a directory: every change in
    // it is reported) for `sink` (null: watched, never reported). Returns the watch's id, 1 for
    // the first and one more for each later one, never reused; 0 when the file cannot be read
    // or its directory cannot be watched, and nothing is watched then.
    int AddWatch(const std::string& path, WatchNotifySink* sink);
    // Stops the watch `id`; an unknown id (0 included) removes nothing. When no watch remains,
    // the thread is stopped and this returns after its end. Must not be called from a sink.
    void RemoveWatch(int id);

    bool ThreadRunning() const;
    // The directory of a path as watches are grouped by it: everything up to and including the
    // last separator, compared byte for byte.
    static std::string DirectoryOf(const std::string& path);

  private:
    struct Entry {
        std::string path;
        ChangeNotifier::FileStamp stamp;  // as last seen; all 0 for a directory entry
        WatchNotifySink* sink = nullptr;
    };
    struct WatchedDirectory {
        std::string directory;
        int notifierId = -1;  // -1: gone, and waited for on `ancestor`
        std::string ancestor;
        int ancestorId = -1;
    };

    void ThreadMain(unsigned generation);
    void DirectoryChanged(int notifierId, const ChangeNotifier::WaitResult& result);
    void DirectoryLost(int notifierId);
    // Reads the stamps of the directory's files and reports the changed and the closed ones.
    void CheckFiles(const WatchedDirectory& d, const ChangeNotifier::WaitResult* result);
    // Watches a directory that went away again when it is back, else the nearest directory
    // above it that can be watched. `justLost`: its watchers hear of it.
    void Rewatch(WatchedDirectory& d, bool justLost);
    void Unwatch(WatchedDirectory& d);

    std::unique_ptr<ChangeNotifier> notifier_;
    mutable std::mutex lock_;
    std::condition_variable ended_;
    std::unordered_map<int, Entry> table_;
    int nextId_ = 1;
    std::vector<WatchedDirectory> directories_;
    bool stop_ = false;
    bool running_ = false;
    unsigned generation_ = 0;       // of the thread started last
    unsigned endedGeneration_ = 0;  // of the thread that ended last
    std::thread thread_;
};

}  // namespace velkor
