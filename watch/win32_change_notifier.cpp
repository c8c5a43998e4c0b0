// The watcher's platform layer on Windows: one directory change notification per directory and
// an auto-reset event as the wake-up, waited on together with WaitForMultipleObjects and no
// time-out.
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "files/utf8_path.h"
#include "watch/change_notifier.h"

namespace velkor {
namespace {

std::string ErrorText(DWORD code) {
    return "error " + std::to_string(code);
}

class Win32ChangeNotifier final : public ChangeNotifier {
  public:
    explicit Win32ChangeNotifier(HANDLE wake) : wake_(wake) {}
    ~Win32ChangeNotifier() override {
        for (const auto& [id, handle] : handles_) FindCloseChangeNotification(handle);
        for (HANDLE handle : closeLater_) FindCloseChangeNotification(handle);
        CloseHandle(wake_);
    }

    int Watch(const std::string& directory, std::string* problem) override {
        std::lock_guard<std::mutex> hold(lock_);
        // The wait takes at most MAXIMUM_WAIT_OBJECTS handles, the wake-up among them.
        if (handles_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) {
            if (problem != nullptr) *problem = "too many watched directories";
            return -1;
        }
        // Creations, deletions and renames of files, and writes to them (0x11).
        const HANDLE handle = FindFirstChangeNotificationW(
            WideFromUtf8(directory).c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
        if (handle == INVALID_HANDLE_VALUE) {
            if (problem != nullptr) *problem = ErrorText(GetLastError());
            return -1;
        }
        const int id = nextId_++;
        handles_[id] = handle;
        directories_[id] = directory;
        return id;
    }

    void Unwatch(int id) override {
        std::lock_guard<std::mutex> hold(lock_);
        const auto found = handles_.find(id);
        if (found == handles_.end()) return;
        if (waiting_) {
            // The waiting thread holds the handle in its wait: closing it there could hand the
            // value to another object mid-wait. It closes it itself once woken.
            closeLater_.push_back(found->second);
            SetEvent(wake_);
        } else {
            FindCloseChangeNotification(found->second);
        }
        handles_.erase(found);
        directories_.erase(id);
    }

    void Wake() override { SetEvent(wake_); }

    WaitResult Wait() override {
        WaitResult result;
        std::vector<HANDLE> objects;
        std::vector<int> ids;
        {
            std::lock_guard<std::mutex> hold(lock_);
            CloseDeferred();
            objects.push_back(wake_);
            for (const auto& [id, handle] : handles_) {
                objects.push_back(handle);
                ids.push_back(id);
            }
            waiting_ = true;
        }
        const DWORD signalled = WaitForMultipleObjects(static_cast<DWORD>(objects.size()),
                                                       objects.data(), FALSE, INFINITE);
        std::lock_guard<std::mutex> hold(lock_);
        waiting_ = false;
        CloseDeferred();
        if (signalled == WAIT_OBJECT_0 || signalled < WAIT_OBJECT_0 ||
            signalled >= WAIT_OBJECT_0 + objects.size()) {
            // The wake-up, or a failed wait: the owner looks at its state and waits again.
            result.woken = true;
            return result;
        }
        const int id = ids[signalled - WAIT_OBJECT_0 - 1];
        const auto found = handles_.find(id);
        if (found == handles_.end()) return result;  // unwatched meanwhile
        // A directory being removed stays, pending deletion, for as long as this handle is
        // open, and a new one of its name cannot be made: let go of it as soon as it signals
        // gone. One that cannot be re-armed would signal for ever.
        const DWORD attributes = GetFileAttributesW(WideFromUtf8(directories_[id]).c_str());
        const bool present =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (present && FindNextChangeNotification(found->second)) {
            result.changed.push_back(id);
        } else {
            FindCloseChangeNotification(found->second);
            handles_.erase(found);
            directories_.erase(id);
            result.lost.push_back(id);
        }
        return result;
    }

    bool ReadFileStamp(const std::string& path, FileStamp* stamp) override {
        const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool ok = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        if (!ok) return false;
        stamp->lastWrite = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime;
        stamp->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        stamp->identity =
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        return true;
    }

  private:
    void CloseDeferred() {
        for (HANDLE handle : closeLater_) FindCloseChangeNotification(handle);
        closeLater_.clear();
    }

    const HANDLE wake_;
    std::mutex lock_;
    std::map<int, HANDLE> handles_;
    std::map<int, std::string> directories_;  // as watched, for the check that it is still there
    std::vector<HANDLE> closeLater_;
    bool waiting_ = false;
    int nextId_ = 0;
};

}  // namespace

void LowerCurrentThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

std::unique_ptr<ChangeNotifier> MakePlatformChangeNotifier() {
    const HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wake == nullptr) return nullptr;
    return std::make_unique<Win32ChangeNotifier>(wake);
}

}  // namespace velkor
