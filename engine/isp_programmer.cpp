#include "engine/isp_programmer.h"

namespace velkor {

IspProgrammer::IspProgrammer() {
    flashImage.fill(0xFF);
    eepromImage.fill(0x00);
}

IspProgrammer::~IspProgrammer() = default;

void IspProgrammer::Log(LogLine line) {
    if (line.Empty()) return;
    log_.Append(std::move(line));
    // Posted after every append, so the window shows each line as soon as it exists.
    if (ownerWindow != nullptr) ownerWindow->PostMessage(WM_ISP_LOG, 0, 0);
}

void IspProgrammer::LogQuiet(LogLine line) {
    log_.Append(std::move(line));
}

void IspProgrammer::AppendLog(const char* text) {
    if (text == nullptr) {
        log_.Clear();
        if (ownerWindow != nullptr) ownerWindow->PostMessage(WM_ISP_LOG, 0, 0);
        return;
    }
    Log(LogLine{Msg::kNote, {std::string(text)}});
}

void IspProgrammer::PostProgress(int percent) {
    if (percent == lastProgress_) return;
    lastProgress_ = percent;
    if (ownerWindow != nullptr) {
        ownerWindow->PostMessage(WM_ISP_PROGRESS, 0, static_cast<std::intptr_t>(percent));
    }
}

std::uint8_t IspProgrammer::ReadPort(std::uint16_t address) {
    return backend_.ReadPort(useDriver != 0, address);
}

void IspProgrammer::WritePort(std::uint16_t address, std::uint8_t value) {
    backend_.WritePort(useDriver != 0, address, value);
}

}  // namespace velkor
