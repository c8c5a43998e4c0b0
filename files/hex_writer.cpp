#include "files/hex_writer.h"

#include <algorithm>
#include <cstdio>

namespace velkor {
namespace {

void AppendRecord(std::string& text, std::uint32_t address, std::uint8_t type,
                  std::span<const std::uint8_t> data) {
    char field[16];
    std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(data.size()),
                  static_cast<unsigned>(address & 0xFFFF), static_cast<unsigned>(type));
    text += field;
    unsigned sum =
        static_cast<unsigned>(data.size() + ((address >> 8) & 0xFF) + (address & 0xFF) + type);
    for (const std::uint8_t b : data) {
        std::snprintf(field, sizeof field, "%02X", static_cast<unsigned>(b));
        text += field;
        sum += b;
    }
    std::snprintf(field, sizeof field, "%02X\r\n", (0x100u - (sum & 0xFF)) & 0xFF);
    text += field;
}

}  // namespace

std::string IntelHexText(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kBlankRun = 16;  // this many 0xFF bytes in a row split the data
    std::string text;
    std::uint32_t block = 0;  // the 64 KiB block the records so far address
    auto emit = [&](std::size_t from, std::size_t to) {
        // Records end at 16-byte boundaries, so none crosses a 64 KiB block.
        for (std::size_t a = from; a < to;) {
            const std::size_t next = std::min(to, (a | 15) + 1);
            if (const auto rowBlock = static_cast<std::uint32_t>(a >> 16); rowBlock != block) {
                const std::uint8_t upper[2] = {static_cast<std::uint8_t>(rowBlock >> 8),
                                               static_cast<std::uint8_t>(rowBlock)};
                AppendRecord(text, 0, 4, upper);
                block = rowBlock;
            }
            AppendRecord(text, static_cast<std::uint32_t>(a), 0, bytes.subspan(a, next - a));
            a = next;
        }
    };
    const std::size_t n = bytes.size();
    std::size_t a = 0;
    while (true) {
        while (a < n && bytes[a] == 0xFF) ++a;
        if (a >= n) break;
        std::size_t end = a + 1;  // one past the last byte of this stretch that is not 0xFF
        for (std::size_t p = end; p < n && p - end < kBlankRun; ++p) {
            if (bytes[p] != 0xFF) end = p + 1;
        }
        emit(a, end);
        a = end;
    }
    AppendRecord(text, 0, 1, {});
    return text;
}

std::string SaveIntelHexFile(const std::string& path, std::span<const std::uint8_t> bytes,
                             FileOps& ops) {
    std::string error;
    if (!ReplaceFileContents(path, IntelHexText(bytes), error, ops)) {
        return "cannot write " + path + ": " + error;
    }
    return {};
}

}  // namespace velkor
