#include "app/auto_program.h"

#include <cstring>
#include <vector>

#include "engine/engine_types.h"
#include "files/hex_reader.h"
#include "files/utf8_path.h"

namespace velkor {
namespace {

bool IsEndRecord(const char* line) {
    // Intel HEX ":LLAAAATT...": type 01 ends the file. S7, S8 and S9 end an S-record file.
    if (line[0] == ':') return std::strlen(line) >= 9 && line[7] == '0' && line[8] == '1';
    return line[0] == 'S' && (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

}  // namespace

HexFileCheck CheckHexFile(const std::string& path) {
    HexFileCheck check;
    std::FILE* file = OpenFileUtf8(path, "r");
    if (file == nullptr) return check;
    // The whole flash image's worth of addresses, so that a fault anywhere in the file shows.
    std::vector<std::uint8_t> scratch(kFlashImageSize);
    std::uint32_t length = 0;
    const int fault = ReadHexImage(file, scratch, length);
    bool ended = false;
    if (fault == 0) {
        std::rewind(file);
        char line[kHexLineBufferSize];
        while (!ended && std::fgets(line, sizeof line, file) != nullptr) ended = IsEndRecord(line);
    }
    std::fclose(file);
    if (fault > 0) {
        check.state = HexFileState::kFaulty;
        check.faultyLine = fault;
    } else {
        check.state = ended ? HexFileState::kComplete : HexFileState::kUnfinished;
    }
    return check;
}

}  // namespace velkor
