#include "watch/auto_program.h"

#include <span>
#include <vector>

#include "engine/engine_types.h"
#include "files/elf_image.h"
#include "files/hex_reader.h"
#include "files/safe_file.h"

namespace velkor {
namespace {

bool IsEndRecord(std::string_view line) {
    // Intel HEX ":LLAAAATT...": type 01 ends the file. S7, S8 and S9 end an S-record file.
    if (line.size() >= 9 && line[0] == ':') return line[7] == '0' && line[8] == '1';
    return line.size() >= 2 && line[0] == 'S' &&
           (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

}  // namespace

HexFileCheck CheckHexFile(const std::string& path) {
    std::string text;
    std::string error;
    if (ReadWholeFile(path, text, error, kMaxHexFileBytes) != FileReadStatus::kRead) return {};
    return CheckHexText(text);
}

HexFileCheck CheckHexText(std::string_view text) {
    HexFileCheck check;
    // An ELF file (avr-gcc's output) is whole when it reads whole: a linker that has written
    // only part of it leaves its tables or sections beyond the end.
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    if (LooksLikeElf(bytes)) {
        check.state = ReadElfImage(bytes, kFlashImageSize, kEepromImageSize).Ok()
                          ? HexFileState::kComplete
                          : HexFileState::kUnfinished;
        return check;
    }
    // The whole flash image's worth of addresses, so that a fault anywhere in the file shows.
    std::vector<std::uint8_t> scratch(kFlashImageSize);
    std::uint32_t length = 0;
    const int fault = ReadHexText(text, scratch, length);
    if (fault > 0) {
        check.state = HexFileState::kFaulty;
        check.faultyLine = fault;
        return check;
    }
    bool ended = false;
    for (std::size_t at = 0; !ended && at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        ended = IsEndRecord(text.substr(at, end - at));
        at = end + 1;
    }
    check.state = ended ? HexFileState::kComplete : HexFileState::kUnfinished;
    return check;
}

}  // namespace velkor
