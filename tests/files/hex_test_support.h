// Helpers shared by the HEX reader and loader tests: text as an open stream, scratch folders.
#pragma once

#ifdef _WIN32
#include <io.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "files/utf8_path.h"

namespace velkor::testing {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// An open stream holding exactly `text`, NUL bytes included, positioned at its start.
inline FilePtr StreamOf(const std::string& text) {
    FilePtr file(std::tmpfile());
    if (file && !text.empty()) std::fwrite(text.data(), 1, text.size(), file.get());
    if (file) std::rewind(file.get());
    return file;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            PathToUtf8(std::filesystem::temp_directory_path() / "velkor-files-XXXXXX");
#ifdef _WIN32
        if (_mktemp_s(pattern.data(), pattern.size() + 1) == 0 &&
            std::filesystem::create_directory(PathFromUtf8(pattern))) {
            path_ = PathFromUtf8(pattern);
        }
#else
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool Ok() const {
        return !path_.empty();
    }
    // The program's UTF-8 name of `name` inside the folder.
    std::string operator/(const std::string& name) const {
        return PathToUtf8(path_ / PathFromUtf8(name));
    }

  private:
    std::filesystem::path path_;
};

// A record line: `prefix`, then `head` and `data` in hex, then the checksum that makes the sum
// of all bytes `target` (0 for Intel HEX, 0xFF for S-records).
inline std::string Record(std::string line, std::vector<std::uint8_t> bytes,
                          const std::vector<std::uint8_t>& data, unsigned target) {
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto b : bytes) sum += b;
    bytes.push_back(static_cast<std::uint8_t>(target - sum));
    char digits[3];
    for (auto b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        line += digits;
    }
    return line + "\n";
}

inline std::string IntelRecord(unsigned type, unsigned address,
                               const std::vector<std::uint8_t>& data) {
    return Record(":",
                  {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                   static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(type)},
                  data, 0);
}

// An S1, S2 or S3 record (addressBytes 2, 3 or 4).
inline std::string SRecord(int addressBytes, std::uint32_t address,
                           const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> head = {static_cast<std::uint8_t>(data.size() + addressBytes + 1)};
    for (int i = addressBytes - 1; i >= 0; --i) head.push_back(std::uint8_t(address >> (8 * i)));
    return Record("S" + std::to_string(addressBytes - 1), head, data, 0xFF);
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(PathFromUtf8(path), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace velkor::testing
