#include "sim/at89_chip.h"

#include <algorithm>
#include <utility>

namespace velkor::sim {

At89Chip::At89Chip(At89ChipTraits traits)
    : traits_(std::move(traits)), flash_(traits_.flashSize, 0xFF), pageBuffer_(256, 0xFF) {}

void At89Chip::SetPower(bool on, std::uint64_t /*nowNs*/) {
    powered_ = on;
    if (!on) {
        resetHigh_ = false;
        enabled_ = false;
        busyUntil_ = 0;
    }
}

Level At89Chip::Miso() const {
    if (!InterfaceOn()) return Level::kFloating;
    return misoLatch_ ? Level::kHigh : Level::kLow;
}

void At89Chip::SetLines(Level reset, Level sck, Level mosi, std::uint64_t nowNs) {
    if (!powered_) return;
    // RST has an internal pull-down: a floating line lets the part run.
    const bool resetHigh = reset == Level::kHigh;
    const bool sckHigh = sck == Level::kHigh;
    if (resetHigh != resetHigh_) {
        resetHigh_ = resetHigh;
        enabled_ = false;
        EndFrame();
    }
    if (resetHigh_) {
        if (sckHigh && !sck_) {
            inByte_ = static_cast<std::uint8_t>((inByte_ << 1) | (mosi == Level::kHigh ? 1 : 0));
            if (++bitInByte_ == 8) {
                bitInByte_ = 0;
                const std::uint8_t value = inByte_;
                inByte_ = 0;
                outByte_ = 0;
                ByteReceived(value, nowNs);
            }
        } else if (!sckHigh && sck_) {
            misoLatch_ = ((outByte_ >> (7 - bitInByte_)) & 1) != 0;
        }
    }
    sck_ = sckHigh;
}

void At89Chip::EndFrame() {
    frame_.clear();
    bitInByte_ = 0;
    inByte_ = 0;
    outByte_ = 0;
    misoLatch_ = false;
}

std::uint8_t At89Chip::ReadCode(std::uint32_t address, std::uint64_t nowNs) const {
    if (flash_.empty()) return 0xFF;
    address = Wrap(address);
    // While a location is programmed it reads back its data bit 7 complemented, so the
    // polling host sees a value different from the one written.
    if (IsBusy(nowNs) && (busyPage_ == 0xFFFFFFFE || address / 256 == busyPage_)) {
        return static_cast<std::uint8_t>(~flash_[address]);
    }
    return flash_[address];
}

void At89Chip::WriteCode(std::uint32_t address, std::uint8_t value, std::uint64_t nowNs) {
    if (flash_.empty()) return;
    if (IsBusy(nowNs)) {
        ++lostInstructions_;
        return;
    }
    address = Wrap(address);
    flash_[address] &= value;
    busyPage_ = address / 256;
    busyUntil_ = nowNs + traits_.byteWriteNs;
}

void At89Chip::ByteReceived(std::uint8_t value, std::uint64_t nowNs) {
    frame_.push_back(value);
    const std::size_t n = frame_.size();
    const std::uint8_t op = frame_[0];

    if (traits_.threeByteFormat) {
        if (n < 2) return;
        if (op == 0xAC) {
            if (n == 3) {
                if (frame_[1] == 0x53) enabled_ = true;
                if (frame_[1] == 0x04 && enabled_ && !IsBusy(nowNs)) {
                    std::fill(flash_.begin(), flash_.end(), 0xFF);
                    ++eraseCount_;
                    busyPage_ = 0xFFFFFFFE;
                    busyUntil_ = nowNs + traits_.eraseNs;
                }
                EndFrame();
            }
            return;
        }
        const std::uint32_t address =
            (static_cast<std::uint32_t>(op >> 3) << 8) | ((op & 0x04) ? 0x2000u : 0u) | frame_[1];
        if (n == 2) {
            if ((op & 0x03) == 0x01 && enabled_) outByte_ = ReadCode(address, nowNs);
            return;
        }
        if ((op & 0x03) == 0x02 && enabled_) WriteCode(address, value, nowNs);
        EndFrame();
        return;
    }

    // Four-byte format.
    if (op == 0x30 || op == 0x50) {
        // Page modes: opcode, address high byte, then 256 data bytes.
        const std::uint32_t page = n >= 2 ? static_cast<std::uint32_t>(frame_[1]) << 8 : 0;
        if (op == 0x30) {
            if (n >= 2 && n < 258 && enabled_) outByte_ = ReadCode(page + (n - 2), nowNs);
            if (n == 258) EndFrame();
            return;
        }
        if (n >= 3) pageBuffer_[n - 3] = value;
        if (n == 258) {
            if (enabled_ && !flash_.empty()) {
                if (IsBusy(nowNs)) {
                    ++lostInstructions_;
                } else {
                    for (std::uint32_t i = 0; i < 256; ++i) {
                        flash_[Wrap(page + i)] &= pageBuffer_[i];
                    }
                    busyPage_ = Wrap(page) / 256;
                    busyUntil_ = nowNs + traits_.pageWriteNs;
                }
            }
            std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFF);
            EndFrame();
        }
        return;
    }
    if (n == 3) {
        const std::uint32_t address = (static_cast<std::uint32_t>(frame_[1]) << 8) | frame_[2];
        if (op == 0xAC && frame_[1] == 0x53) {
            outByte_ = 0x69;  // the enable answer
        } else if (op == 0x20 && enabled_) {
            outByte_ = ReadCode(address, nowNs);
        } else if (op == 0x28 && enabled_) {
            outByte_ = frame_[1] < 3 ? traits_.signature[frame_[1]] : 0xFF;
        }
        return;
    }
    if (n == 4) {
        if (op == 0xAC && frame_[1] == 0x53) {
            enabled_ = true;
        } else if (op == 0xAC && frame_[1] == 0x80 && enabled_ && !IsBusy(nowNs)) {
            std::fill(flash_.begin(), flash_.end(), 0xFF);
            ++eraseCount_;
            busyPage_ = 0xFFFFFFFE;
            busyUntil_ = nowNs + traits_.eraseNs;
        } else if (op == 0x40 && enabled_) {
            WriteCode((static_cast<std::uint32_t>(frame_[1]) << 8) | frame_[2], value, nowNs);
        }
        EndFrame();
    }
}

}  // namespace velkor::sim
