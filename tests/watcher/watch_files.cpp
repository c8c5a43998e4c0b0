#include "tests/watcher/watch_files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
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

void ReplaceFile(const std::string& path, const std::string& text, int seconds) {
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::binary | std::ios::trunc) << text;
    SetWriteTime(temporary, seconds);
    std::filesystem::rename(temporary, path);
}

std::string IntelHex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char field[8];
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t count = std::min<std::size_t>(16, bytes.size() - at);
        unsigned sum = static_cast<unsigned>(count + (at >> 8) + (at & 0xFF));
        std::snprintf(field, sizeof field, "%02X", static_cast<unsigned>(count));
        text += ':';
        text += field;
        std::snprintf(field, sizeof field, "%04X00", static_cast<unsigned>(at));
        text += field;
        for (std::size_t i = 0; i < count; ++i) {
            std::snprintf(field, sizeof field, "%02X", bytes[at + i]);
            text += field;
            sum += bytes[at + i];
        }
        std::snprintf(field, sizeof field, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += field;
    }
    return text + ":00000001FF\n";
}

std::vector<std::uint8_t> Firmware(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

}  // namespace velkor::test
