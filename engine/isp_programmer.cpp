#include "engine/isp_programmer.h"

#include <cstdio>
#include <vector>

namespace velkor {

IspProgrammer::IspProgrammer() {
    flashImage.fill(0xFF);
    eepromImage.fill(0x00);
}

IspProgrammer::~IspProgrammer() = default;

void IspProgrammer::AppendLog(const char* text) {
    log_.Append(text);
    // Posted after every append, so the window shows each line as soon as it exists.
    if (ownerWindow != nullptr) ownerWindow->PostMessage(WM_ISP_LOG, 0, 0);
}

void IspProgrammer::AppendLogF(const char* format, ...) {
    // Log lines are short; a longer one (a long file path) is formatted a second time.
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) return;
    if (static_cast<std::size_t>(length) < sizeof line) {
        AppendLog(line);
        return;
    }
    std::vector<char> longLine(static_cast<std::size_t>(length) + 1, '\0');
    va_start(args, format);
    vsnprintf(longLine.data(), longLine.size(), format, args);
    va_end(args);
    AppendLog(longLine.data());
}

void IspProgrammer::AppendLogQuiet(const char* text) {
    log_.Append(text);
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
