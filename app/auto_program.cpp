#include "app/auto_program.h"

#include <cstring>
#include <vector>

#include "engine/isp_programmer.h"
#include "files/hex_reader.h"
#include "files/image_loader.h"
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

void FlashFileWatch::StartWatching() {
    if (watchId_ != 0) watcher_.RemoveWatch(watchId_);
    watchId_ = flashFile_.Path().empty() ? 0 : watcher_.AddWatch(flashFile_.Path(), &sink_);
}

void FlashFileWatch::StopWatching() {
    watcher_.RemoveWatch(watchId_);
    watchId_ = 0;
}

void FlashFileWatch::OnFileWatchNotify() {
    rules_.FileChanged(AutoProgrammer::Clock::now());
    TakeChange();
}

void FlashFileWatch::RunEnded() {
    rules_.RunEnded();
    TakeChange();
}

void FlashFileWatch::TakeChange() {
    // Reloading while a run goes would change the image under the worker: the change waits.
    if (!rules_.TakeChange(AutoProgrammer::Clock::now())) return;
    view_.SetStatusText(kHexUpdatedText);
    LoadFlashImage(engine_, flashFile_, flashFile_.Path());
    LoadEepromImage(engine_, eepromFile_, eepromFile_.Path());
    // A file its builder has not finished is loaded (the log names a faulty line) but not
    // programmed; the finished file's own change brings the run.
    const HexFileState state = CheckHexFile(flashFile_.Path()).state;
    if (AutoProgrammer::ShouldProgram(state, view_.AutoProgramChecked())) {
        rules_.RunStarted();
        view_.StartProgram();
    } else {
        view_.SetSmallIcon(kIconNotProgrammed);
    }
}

}  // namespace velkor
