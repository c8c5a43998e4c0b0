#include "tests/watcher/watch_files.h"

#include <atomic>
#include <fstream>
#include <random>

namespace velkor::test {

ScratchDir::ScratchDir() {
    static std::atomic<int> serial{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("velkor-watch-" + std::to_string(random()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::Path() const {
    return (path_ / "").string();
}

void WriteInPlace(const std::string& path, const std::string& text) {
    if (!std::filesystem::exists(path)) std::ofstream(path, std::ios::binary).close();
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void SetWriteTime(const std::string& path, int seconds) {
    static const auto base =
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(path, base + std::chrono::seconds(seconds));
}

}  // namespace velkor::test
