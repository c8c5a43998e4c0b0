#include "tests/watch/watch_files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

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

namespace {

void SetTimeOnly(const std::string& path, int seconds) {
    static const auto base =
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(path, base + std::chrono::seconds(seconds));
}

void RenameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // std::filesystem::rename will not replace an existing file here.
    MoveFileExW(std::filesystem::path(from).wstring().c_str(),
                std::filesystem::path(to).wstring().c_str(), MOVEFILE_REPLACE_EXISTING);
#else
    std::filesystem::rename(from, to);
#endif
}

}  // namespace

void SetWriteTime(const std::string& path, int seconds) {
#ifdef _WIN32
    // Wine's directory notifications miss a change of the times alone; a copy with the new time
    // renamed over the file is seen on every Windows.
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    file.close();
    ReplaceFileAtOnce(path, text, seconds);
#else
    SetTimeOnly(path, seconds);
#endif
}

void ReplaceFileAtOnce(const std::string& path, const std::string& text, int seconds) {
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::binary | std::ios::trunc) << text;
    SetTimeOnly(temporary, seconds);
    RenameOver(temporary, path);
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
