#include "engine/isp_programmer.h"

#include <algorithm>
#include <cstring>

#include "devices/chip_table.h"

namespace velkor {

class IspProgrammer::Link final : public SerialLink {
  public:
    explicit Link(IspProgrammer& engine) : e_(engine) {}
    void SendByte(std::uint8_t value) override { e_.SendByte(value); }
    std::uint8_t ReceiveByte() override { return e_.ReceiveByte(); }
    void ExtraClock() override { e_.ExtraClock(); }
    void ResetTarget() override { e_.ResetTarget(); }
    void DelayMs(int ms) override { e_.DelayMs(ms); }
    void WaitReadTimes(std::uint32_t units) override { e_.WaitReadTimes(units); }
    void Sleep(unsigned ms) override {
        if (e_.clock_ != nullptr) e_.clock_->Sleep(ms);
    }
    void Log(LogLine line) override { e_.Log(std::move(line)); }
    PortBackend* Driver() override { return e_.useDriver != 0 ? &e_.backend_ : nullptr; }
    void CountWritten(std::uint32_t bytes) override { e_.bytesWritten += bytes; }

  private:
    IspProgrammer& e_;
};

IspProgrammer::IspProgrammer() : link_(std::make_unique<Link>(*this)) {
    flashImage.fill(0xFF);
    eepromImage.fill(0x00);
}

IspProgrammer::~IspProgrammer() = default;

ProgrammerSettings IspProgrammer::Settings() const {
    return settings_;
}

void IspProgrammer::SetSettings(const ProgrammerSettings& settings) {
    settings_ = settings;
}

void IspProgrammer::SetImage(ImageKind kind, std::span<const std::uint8_t> bytes,
                             std::uint32_t length, std::vector<AddressRange> ranges) {
    const std::span<std::uint8_t> image =
        kind == ImageKind::kFlash ? std::span<std::uint8_t>(flashImage) : eepromImage;
    const std::size_t n = std::min(bytes.size(), image.size());
    // The bytes may be this image's own (a caller changing only the length or the ranges).
    if (n > 0 && bytes.data() != image.data()) std::memmove(image.data(), bytes.data(), n);
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(n), image.end(), 0xFF);
    (kind == ImageKind::kFlash ? flashImageLength : eepromImageLength) = length;
    (kind == ImageKind::kFlash ? flashDataRanges : eepromDataRanges) = std::move(ranges);
}

void IspProgrammer::Log(LogLine line) {
    if (line.Empty()) return;
    log_.Append(std::move(line));
    // Posted after every append, so the window shows each line as soon as it exists.
    if (ownerWindow != nullptr) ownerWindow->OnLog();
}

void IspProgrammer::LogQuiet(LogLine line) {
    log_.Append(std::move(line));
}

void IspProgrammer::AppendLog(const char* text) {
    if (text == nullptr) {
        log_.Clear();
        if (ownerWindow != nullptr) ownerWindow->OnLog();
        return;
    }
    Log(LogLine{Msg::kNote, {std::string(text)}});
}

void IspProgrammer::PostProgress(int percent) {
    if (percent == lastProgress_) return;
    lastProgress_ = percent;
    if (ownerWindow != nullptr) {
        ownerWindow->OnProgress(percent);
    }
}

std::uint8_t IspProgrammer::ReadPort(std::uint16_t address) {
    return backend_.ReadPort(useDriver != 0, address);
}

void IspProgrammer::WritePort(std::uint16_t address, std::uint8_t value) {
    backend_.WritePort(useDriver != 0, address, value);
}

}  // namespace velkor
