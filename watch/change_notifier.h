// The file watcher's platform layer: one change notification per watched directory, a wake-up
// that interrupts the wait, and the last-write time of a file. inotify on Linux
// (linux_change_notifier.cpp), directory change notifications on Windows
// (win32_change_notifier.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velkor {

class ChangeNotifier {
  public:
    virtual ~ChangeNotifier() = default;

    // Starts watching one directory (not its subdirectories) for files created, deleted,
    // renamed or written. Returns the directory's notification id (>= 0), or -1 with `problem`
    // saying why the notification could not be created. Two paths naming one directory may
    // share an id; each Watch still needs its own Unwatch.
    virtual int Watch(const std::string& directory, std::string* problem) = 0;
    // Stops one Watch of the notification `id`. Safe while another thread waits in Wait.
    virtual void Unwatch(int id) = 0;
    // Makes the current or the next Wait return with `woken` set. Wakes are not counted: several
    // before one Wait return it once.
    virtual void Wake() = 0;

    struct WaitResult {
        bool woken = false;
        std::vector<int> changed;  // ids of directories that changed, each once, re-armed
        std::vector<int> lost;     // ids that can no longer signal (directory gone, moved); dropped
        // Files (directory id, name) whose writer closed them or that were renamed into the
        // directory, and not written again since, in this wait: a build tool is done with
        // them. Only where the platform tells (inotify's close events); empty elsewhere, and
        // then a file's writer is never known to be done.
        std::vector<std::pair<int, std::string>> closed;
    };
    // Blocks, without time-out, until Wake is called or a watched directory changes. Only one
    // thread waits at a time.
    virtual WaitResult Wait() = 0;

    // What tells one save of a file from the next: its last-write time, in the platform's own
    // units, and, because a file system that keeps times coarsely (Linux's clock tick, FAT's two
    // seconds) gives two saves close together the same time, its size and which file it is (a
    // new file renamed over it is another file).
    struct FileStamp {
        std::uint64_t lastWrite = 0;
        std::uint64_t size = 0;
        std::uint64_t identity = 0;  // the inode number, the file index
        bool operator==(const FileStamp&) const = default;
    };
    // The file's stamp, read through an open of the file for reading that shares it with every
    // writer. False when the file is missing or cannot be opened (locked by its writer, no
    // access).
    virtual bool ReadFileStamp(const std::string& path, FileStamp* stamp) = 0;
};

// Lowers the calling thread to the platform's lowest priority that still gets time on a busy
// machine (Windows: THREAD_PRIORITY_LOWEST; Linux: nice 19).
void LowerCurrentThreadPriority();

// The notifier of the platform this program was built for; null when its wake-up cannot be
// created (no file watching at all then).
std::unique_ptr<ChangeNotifier> MakePlatformChangeNotifier();

}  // namespace velkor
