// The watcher's platform layer on Linux: one inotify instance with one watch per directory,
// and an eventfd as the wake-up, waited on together with poll(2) and no time-out.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "watch/change_notifier.h"

namespace velkor {
namespace {

// What the directory's change notification reacts to: a file created, deleted or renamed in or
// out, its contents written, and its times set (IN_ATTRIB: setting both times at once, as
// cp -p does, raises no modification event); and the directory itself renamed away, after
// which its path names another directory or none.
constexpr std::uint32_t kDirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                           IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVE_SELF |
                                           IN_ONLYDIR;
// A file's writer is done with it after these; not after these.
constexpr std::uint32_t kFileDone = IN_CLOSE_WRITE | IN_MOVED_TO;
constexpr std::uint32_t kFileWritten = IN_CREATE | IN_MODIFY | IN_DELETE | IN_MOVED_FROM;

class LinuxChangeNotifier final : public ChangeNotifier {
  public:
    LinuxChangeNotifier(int inotifyFd, int wakeFd) : inotify_(inotifyFd), wake_(wakeFd) {}
    ~LinuxChangeNotifier() override {
        close(inotify_);
        close(wake_);
    }

    int Watch(const std::string& directory, std::string* problem) override {
        std::lock_guard<std::mutex> hold(lock_);
        const int wd = inotify_add_watch(inotify_, directory.c_str(), kDirectoryEvents);
        if (wd < 0) {
            if (problem != nullptr) *problem = std::strerror(errno);
            return -1;
        }
        // inotify gives one descriptor per directory however it is named; count its users so
        // that the last Unwatch, not the first, removes it.
        ++users_[wd];
        return wd;
    }

    void Unwatch(int id) override {
        std::lock_guard<std::mutex> hold(lock_);
        const auto found = users_.find(id);
        if (found == users_.end()) return;
        if (--found->second > 0) return;
        users_.erase(found);
        inotify_rm_watch(inotify_, id);
    }

    void Wake() override {
        const std::uint64_t one = 1;
        // Fails only when the counter is saturated, which is a wake-up already pending.
        [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
    }

    WaitResult Wait() override {
        WaitResult result;
        for (;;) {
            pollfd fds[2] = {{wake_, POLLIN, 0}, {inotify_, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                result.woken = true;  // cannot wait any more: let the owner look at its state
                return result;
            }
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t got = read(wake_, &count, sizeof count);
                result.woken = true;
            }
            if (fds[1].revents & POLLIN) ReadEvents(result);
            if (result.woken || !result.changed.empty() || !result.lost.empty()) return result;
        }
    }

    bool ReadFileStamp(const std::string& path, FileStamp* stamp) override {
        // Non-blocking, so that a FIFO put in the file's place cannot hang the watcher.
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) return false;
        struct stat info {};
        const bool ok = fstat(fd, &info) == 0;
        close(fd);
        if (!ok) return false;
        stamp->lastWrite = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                           static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
        stamp->size = static_cast<std::uint64_t>(info.st_size);
        stamp->identity = static_cast<std::uint64_t>(info.st_ino);
        return true;
    }

  private:
    void ReadEvents(WaitResult& result) {
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t got = read(inotify_, buffer, sizeof buffer);
            if (got <= 0) break;  // EAGAIN: all read
            std::lock_guard<std::mutex> hold(lock_);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_Q_OVERFLOW) {
                    // Events were dropped: any directory may have changed.
                    for (const auto& [wd, users] : users_) Add(result.changed, wd);
                } else if (event->mask & IN_IGNORED) {
                    // Our own Unwatch has already forgotten the descriptor; anything else means
                    // the directory went away and cannot signal again.
                    if (users_.erase(event->wd) > 0) Add(result.lost, event->wd);
                } else if (event->mask & IN_MOVE_SELF) {
                    // Renamed away: its path no longer leads to it, so it is as good as gone.
                    if (users_.erase(event->wd) > 0) {
                        inotify_rm_watch(inotify_, event->wd);
                        Add(result.lost, event->wd);
                    }
                } else if (users_.count(event->wd) > 0) {
                    Add(result.changed, event->wd);
                    if (event->len > 0)
                        NoteFile(result.closed, event->wd, event->name, event->mask);
                }
            }
        }
    }

    // Keeps the files whose last event so far was their writer's close or a rename into place.
    static void NoteFile(std::vector<std::pair<int, std::string>>& closed, int wd, const char* name,
                         std::uint32_t mask) {
        if ((mask & (kFileDone | kFileWritten)) == 0) return;  // times set: no news of its writer
        std::pair<int, std::string> file{wd, name};
        closed.erase(std::remove(closed.begin(), closed.end(), file), closed.end());
        if (mask & kFileDone) closed.push_back(std::move(file));
    }

    static void Add(std::vector<int>& ids, int id) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }

    const int inotify_;
    const int wake_;
    std::mutex lock_;
    std::map<int, int> users_;  // inotify watch descriptor -> number of Watch calls
};

}  // namespace

void LowerCurrentThreadPriority() {
    // On Linux the nice value belongs to the thread named by its id.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

std::unique_ptr<ChangeNotifier> MakePlatformChangeNotifier() {
    const int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0) return nullptr;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        close(inotifyFd);
        return nullptr;
    }
    return std::make_unique<LinuxChangeNotifier>(inotifyFd, wakeFd);
}

}  // namespace velkor
