// Real files in a fresh directory, and a sink that counts the watcher's notifications.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "watch/file_watcher.h"

namespace velkor::test {

class CountingSink : public WatchNotifySink {
  public:
    void PostFileWatchNotify() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++count_;
        changed_.notify_all();
    }
    void WatchProblem(const std::string& line) override {
        std::lock_guard<std::mutex> hold(lock_);
        problems_.push_back(line);
        changed_.notify_all();
    }
    void PostFileClosed() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++closed_;
        changed_.notify_all();
    }
    // Waits up to five seconds for at least `count` reports of the writer's close.
    int WaitForClosed(int count) {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait_for(hold, std::chrono::seconds(5), [&] { return closed_ >= count; });
        return closed_;
    }
    // Waits up to five seconds for at least `count` notifications; gives the count then.
    int WaitFor(int count) {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait_for(hold, std::chrono::seconds(5), [&] { return count_ >= count; });
        return count_;
    }
    bool WaitForProblem() {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(5), [&] { return !problems_.empty(); });
    }
    int Count() {
        std::lock_guard<std::mutex> hold(lock_);
        return count_;
    }
    std::vector<std::string> Problems() {
        std::lock_guard<std::mutex> hold(lock_);
        return problems_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int count_ = 0;
    int closed_ = 0;
    std::vector<std::string> problems_;
};

// A directory of its own under the system's temporary folder, removed afterwards.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The directory with a trailing separator, and a file's path in it.
    std::string Path() const;
    std::string File(const std::string& name) const { return Path() + name; }

  private:
    std::filesystem::path path_;
};

// Writes `text` over the start of the file in one write, without truncating it first, so the
// file gets exactly one new last-write time (creates the file when it is missing).
void WriteInPlace(const std::string& path, const std::string& text);
// Replaces the file at once, as editors and linkers save: `text` goes into a file beside it,
// which gets the last-write time `seconds` (see SetWriteTime) and is renamed over it. The watched
// file changes exactly once.
void ReplaceFileAtOnce(const std::string& path, const std::string& text, int seconds);
// The bytes as Intel HEX text, 16 to a record from address 0, ended by the end record.
std::string IntelHex(const std::vector<std::uint8_t>& bytes);
// `count` bytes that differ from run to run of the same `seed`.
std::vector<std::uint8_t> Firmware(std::size_t count, unsigned seed);
// Sets the file's last-write time to `seconds` after an arbitrary fixed point.
void SetWriteTime(const std::string& path, int seconds);

}  // namespace velkor::test
