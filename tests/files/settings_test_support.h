// Scratch folders, file helpers and failing file operations for the settings tests.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/safe_file.h"
#include "files/utf8_path.h"

namespace velkor::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class SettingsScratch {
  public:
    SettingsScratch() {
        std::string pattern =
            PathToUtf8(std::filesystem::temp_directory_path() / "velkor-settings-XXXXXX");
#ifdef _WIN32
        if (::_mktemp_s(pattern.data(), pattern.size() + 1) == 0 &&
            std::filesystem::create_directory(PathFromUtf8(pattern))) {
            path_ = PathFromUtf8(pattern);
        }
#else
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
    }
    ~SettingsScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    SettingsScratch(const SettingsScratch&) = delete;
    SettingsScratch& operator=(const SettingsScratch&) = delete;

    // The program's UTF-8 name of `name` inside the folder.
    std::string operator/(const std::string& name) const {
        return PathToUtf8(path_ / PathFromUtf8(name));
    }

    // Names of the folder's entries, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(PathToUtf8(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path path_;
};

// Fails one of the steps: writes `budget` bytes and then reports a full disk, or fails the
// flush or the rename.
class FailingOps : public FileOps {
  public:
    enum class Step { kWrite, kFsync, kRename };
    explicit FailingOps(Step step, std::size_t budget = 0) : step_(step), budget_(budget) {}

    ssize_t Write(int fd, const void* data, std::size_t size) override {
        if (step_ != Step::kWrite) return FileOps::Write(fd, data, size);
        if (budget_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const ssize_t written = FileOps::Write(fd, data, std::min(size, budget_));
        if (written > 0) budget_ -= static_cast<std::size_t>(written);
        return written;
    }
    int Fsync(int fd) override {
        if (step_ != Step::kFsync) return FileOps::Fsync(fd);
        errno = EIO;
        return -1;
    }
    int Rename(const char* from, const char* to) override {
        if (step_ != Step::kRename) return FileOps::Rename(from, to);
        errno = EXDEV;
        return -1;
    }

  private:
    Step step_;
    std::size_t budget_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(PathFromUtf8(path), std::ios::binary) << bytes;
}

}  // namespace velkor::testing
