#include "watch/file_watcher.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace velkor {
namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

bool NamesDirectory(const std::string& path) {
    return !path.empty() && IsSeparator(path.back());
}

// The directory above one as watches name it ("" is the working directory); none above the
// working directory, a root or a drive.
std::optional<std::string> ParentDirectory(const std::string& directory) {
    std::string trimmed = directory;
    while (!trimmed.empty() && IsSeparator(trimmed.back())) trimmed.pop_back();
    if (trimmed.empty()) return std::nullopt;
#ifdef _WIN32
    if (trimmed.back() == ':') return std::nullopt;
#endif
    return FileWatcher::DirectoryOf(trimmed);
}

std::string WatchName(const std::string& directory) {
    return directory.empty() ? std::string(".") : directory;
}

}  // namespace

FileWatcher::FileWatcher(std::unique_ptr<ChangeNotifier> notifier)
    : notifier_(notifier ? std::move(notifier) : MakePlatformChangeNotifier()) {}

FileWatcher::~FileWatcher() {
    std::vector<int> ids;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (const auto& [id, entry] : table_) ids.push_back(id);
    }
    for (int id : ids) RemoveWatch(id);
    std::thread last;
    {
        std::unique_lock<std::mutex> hold(lock_);
        ended_.wait(hold, [&] { return !running_; });
        last = std::move(thread_);
    }
    if (last.joinable()) last.join();
}

std::string FileWatcher::DirectoryOf(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return path.substr(0, i);
    }
    return {};
}

bool FileWatcher::ThreadRunning() const {
    std::lock_guard<std::mutex> hold(lock_);
    return running_;
}

int FileWatcher::AddWatch(const std::string& path, WatchNotifySink* sink) {
    if (notifier_ == nullptr || path.empty()) return 0;
    std::thread finished;
    int id = 0;
    {
        std::unique_lock<std::mutex> hold(lock_);
        // A thread told to stop empties the lists on its way out; a watch added before it has
        // ended would be lost with them, so wait for its end first.
        ended_.wait(hold, [&] { return !(running_ && stop_); });

        const std::string directory = DirectoryOf(path);
        ChangeNotifier::FileStamp stamp;
        if (!NamesDirectory(path) && !notifier_->ReadFileStamp(path, &stamp)) return 0;

        const bool known =
            std::any_of(directories_.begin(), directories_.end(),
                        [&](const WatchedDirectory& d) { return d.directory == directory; });
        if (!known) {
            // The thread keeps waiting on the others; this file is simply not watched.
            std::string problem;
            const int notifierId = notifier_->Watch(WatchName(directory), &problem);
            if (notifierId < 0) {
                if (sink != nullptr) {
                    sink->WatchProblem("cannot watch directory '" + directory + "': " + problem);
                }
                return 0;
            }
            directories_.push_back({directory, notifierId});
            notifier_->Wake();
        }

        id = nextId_++;
        table_[id] = Entry{path, stamp, sink};

        if (!running_) {
            finished = std::move(thread_);  // ended already; joined below, outside the lock
            stop_ = false;
            running_ = true;
            notifier_->Wake();
            ++generation_;
            thread_ = std::thread([this, generation = generation_] { ThreadMain(generation); });
        }
    }
    if (finished.joinable()) finished.join();
    return id;
}

void FileWatcher::RemoveWatch(int id) {
    std::thread finished;
    {
        std::unique_lock<std::mutex> hold(lock_);
        const auto found = table_.find(id);
        if (found == table_.end()) return;
        const std::string directory = DirectoryOf(found->second.path);
        table_.erase(found);

        const bool stillUsed = std::any_of(table_.begin(), table_.end(), [&](const auto& item) {
            return DirectoryOf(item.second.path) == directory;
        });
        if (!stillUsed) {
            const auto dir =
                std::find_if(directories_.begin(), directories_.end(),
                             [&](const WatchedDirectory& d) { return d.directory == directory; });
            if (dir != directories_.end()) {
                notifier_->Wake();
                Unwatch(*dir);
                directories_.erase(dir);
            }
        }
        if (!table_.empty() || !running_) return;

        stop_ = true;
        notifier_->Wake();
        // Waits for this thread's end, not for "no thread": a watch added meanwhile may already
        // have started the next one, which then also joined this one.
        const unsigned stopping = generation_;
        ended_.wait(hold, [&] { return endedGeneration_ == stopping; });
        if (!running_) finished = std::move(thread_);
    }
    if (finished.joinable()) finished.join();
}

void FileWatcher::ThreadMain(unsigned generation) {
    LowerCurrentThreadPriority();
    std::unique_lock<std::mutex> hold(lock_, std::defer_lock);
    for (;;) {
        ChangeNotifier::WaitResult result = notifier_->Wait();
        hold.lock();
        if (stop_) break;
        for (int notifierId : result.lost) DirectoryLost(notifierId);
        for (int notifierId : result.changed) DirectoryChanged(notifierId, result);
        hold.unlock();
    }
    // Still holding the lock: the lists go with the thread, so a later watch starts afresh.
    for (WatchedDirectory& d : directories_) Unwatch(d);
    directories_.clear();
    table_.clear();
    running_ = false;
    endedGeneration_ = generation;
    ended_.notify_all();
}

void FileWatcher::Unwatch(WatchedDirectory& d) {
    if (d.notifierId >= 0) notifier_->Unwatch(d.notifierId);
    if (d.ancestorId >= 0) notifier_->Unwatch(d.ancestorId);
    d.notifierId = d.ancestorId = -1;
}

void FileWatcher::DirectoryChanged(int notifierId, const ChangeNotifier::WaitResult& result) {
    // One directory's notification may serve as another's, and as a gone directory's ancestor.
    for (WatchedDirectory& d : directories_) {
        if (d.notifierId == notifierId) CheckFiles(d, &result);
        if (d.ancestorId == notifierId) Rewatch(d, false);
    }
}

void FileWatcher::CheckFiles(const WatchedDirectory& d, const ChangeNotifier::WaitResult* result) {
    for (auto& [id, entry] : table_) {
        if (DirectoryOf(entry.path) != d.directory) continue;
        ChangeNotifier::FileStamp stamp;
        bool closed = false;
        if (!NamesDirectory(entry.path)) {
            if (!notifier_->ReadFileStamp(entry.path, &stamp)) continue;
            const std::string name = entry.path.substr(d.directory.size());
            closed = result != nullptr &&
                     std::any_of(result->closed.begin(), result->closed.end(), [&](const auto& c) {
                         return c.first == d.notifierId && c.second == name;
                     });
            if (stamp == entry.stamp && !closed) continue;
        }
        if (entry.sink != nullptr) {
            if (stamp != entry.stamp || NamesDirectory(entry.path))
                entry.sink->PostFileWatchNotify();
            if (closed) entry.sink->PostFileClosed();
        }
        entry.stamp = stamp;
    }
}

void FileWatcher::DirectoryLost(int notifierId) {
    for (WatchedDirectory& d : directories_) {
        if (d.notifierId == notifierId) {
            d.notifierId = -1;  // nothing to unwatch any more
            Rewatch(d, true);
        } else if (d.ancestorId == notifierId) {
            d.ancestorId = -1;
            Rewatch(d, false);
        }
    }
}

void FileWatcher::Rewatch(WatchedDirectory& d, bool justLost) {
    std::string problem;
    // From the directory itself up: it may be back already, or a part of its path may be.
    for (std::optional<std::string> at = d.directory; at; at = ParentDirectory(*at)) {
        if (d.ancestorId >= 0 && *at == d.ancestor) return;  // still the nearest one there is
        const int id = notifier_->Watch(WatchName(*at), &problem);
        if (id < 0) continue;
        if (d.ancestorId >= 0) notifier_->Unwatch(d.ancestorId);
        d.ancestorId = -1;
        d.ancestor.clear();
        if (*at == d.directory) {
            d.notifierId = id;
            // Its file may have come with it, before the directory could be watched.
            CheckFiles(d, nullptr);
            return;
        }
        d.ancestor = *at;
        d.ancestorId = id;
        if (!justLost) return;
        for (const auto& [entryId, entry] : table_) {
            if (DirectoryOf(entry.path) == d.directory && entry.sink != nullptr) {
                entry.sink->WatchWaiting(d.directory, d.ancestor);
            }
        }
        return;
    }
    if (!justLost) return;
    for (const auto& [entryId, entry] : table_) {
        if (DirectoryOf(entry.path) == d.directory && entry.sink != nullptr) {
            entry.sink->WatchProblem("directory '" + d.directory +
                                     "' can no longer be watched (removed or unmounted)");
        }
    }
}

}  // namespace velkor
