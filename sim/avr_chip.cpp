#include "sim/avr_chip.h"

#include <algorithm>
#include <utility>

namespace velkor::sim {

AvrChip::AvrChip(AvrChipTraits traits, AvrChipFaults faults)
    : traits_(std::move(traits)),
      faults_(faults),
      flash_(traits_.flashSize, 0xFF),
      eeprom_(traits_.eepromSize, 0xFF),
      pageBuffer_(traits_.pageSize, 0xFF),
      written_(traits_.pageSize != 0 ? traits_.flashSize / traits_.pageSize : traits_.flashSize),
      fuseLow_(traits_.fuseLow),
      fuseHigh_(traits_.fuseHigh),
      fuseExtended_(traits_.fuseExtended),
      lock_(traits_.lock) {}

void AvrChip::SetPower(bool on, std::uint64_t /*nowNs*/) {
    powered_ = on;
    if (!on) {
        // Everything volatile is gone; a write in progress leaves what it had done.
        resetLow_ = false;
        enabled_ = false;
        busy_ = Busy::kIdle;
        misoLatch_ = false;
    }
}

Level AvrChip::Miso() const {
    if (!InterfaceOn() || faults_.silent) return Level::kFloating;
    return misoLatch_ ? Level::kHigh : Level::kLow;
}

void AvrChip::SetLines(Level reset, Level sck, Level mosi, std::uint64_t nowNs) {
    if (!powered_ || faults_.silent) return;
    // RESET has an internal pull-up: a floating line lets the part run normally.
    const bool resetLow = reset == Level::kLow;
    const bool sckHigh = sck == Level::kHigh;
    if (resetLow && !resetLow_) {
        // The serial interface starts (or restarts) counting bits at the reset edge; a
        // glitch on SCK at that moment leaves it some bits into a frame.
        bitIndex_ = faults_.outOfStepBits % 32;
        inWord_ = 0;
        outWord_ = 0;
        misoLatch_ = false;
        enabled_ = false;
        extendedAddress_ = 0;
    } else if (!resetLow && resetLow_) {
        if (IsBusy(nowNs)) ++interruptedCount_;
        enabled_ = false;
    }
    resetLow_ = resetLow;
    if (resetLow_) {
        if (sckHigh && !sck_) {
            RisingEdge(mosi == Level::kHigh, nowNs);
        } else if (!sckHigh && sck_) {
            misoLatch_ = bitIndex_ < 32 && ((outWord_ >> (31 - bitIndex_)) & 1) != 0;
            if (faults_.garbage) {
                noise_ ^= noise_ << 13;  // xorshift: noise that is the same on every run
                noise_ ^= noise_ >> 17;
                noise_ ^= noise_ << 5;
                misoLatch_ = (noise_ & 1) != 0;
            }
        }
    }
    sck_ = sckHigh;
}

void AvrChip::RisingEdge(bool mosi, std::uint64_t nowNs) {
    inWord_ = (inWord_ << 1) | (mosi ? 1u : 0u);
    ++bitIndex_;
    if (bitIndex_ == 16 && instructionHook_) instructionHook_(static_cast<std::uint16_t>(inWord_));
    if (bitIndex_ == 16 && !faults_.neverInStep && (inWord_ & 0xFFFF) == 0xAC53) {
        outWord_ |= 0x53u << 8;  // Programming Enable echoes its second byte during the third
    } else if (bitIndex_ == 24) {
        outWord_ |= Answer(inWord_ << 8, nowNs);
    } else if (bitIndex_ == 32) {
        Execute(inWord_, nowNs);
        bitIndex_ = 0;
        inWord_ = 0;
        outWord_ = 0;
    }
}

std::uint8_t AvrChip::ReadFlash(std::uint32_t address, std::uint64_t nowNs) const {
    if (flash_.empty()) return 0xFF;
    address %= static_cast<std::uint32_t>(flash_.size());
    if (IsBusy(nowNs)) {
        const bool inPage = busy_ == Busy::kFlashPage && traits_.pageSize != 0 &&
                            address / traits_.pageSize == busyAddress_ / traits_.pageSize;
        const bool byteBusy = busy_ == Busy::kFlashByte && address == busyAddress_;
        if (byteBusy && !traits_.dataPolling) return flash_[address];
        if (busy_ == Busy::kErase || busy_ == Busy::kHung || inPage || byteBusy) {
            return traits_.flashBusyValue;
        }
    }
    return flash_[address];
}

std::uint8_t AvrChip::ReadEeprom(std::uint32_t address, std::uint64_t nowNs) const {
    if (eeprom_.empty()) return 0xFF;
    address %= static_cast<std::uint32_t>(eeprom_.size());
    if (IsBusy(nowNs) && busy_ == Busy::kEeprom && address == busyAddress_ && traits_.dataPolling) {
        const bool erasing = nowNs < busyStart_ + (busyUntil_ - busyStart_) / 2;
        if (traits_.eepromErasePhase && erasing) {
            return static_cast<std::uint8_t>(~traits_.eepromBusyValue);
        }
        return traits_.eepromBusyValue;
    }
    if (IsBusy(nowNs) && (busy_ == Busy::kErase || busy_ == Busy::kHung)) {
        return traits_.eepromBusyValue;
    }
    return eeprom_[address];
}

bool AvrChip::WriteProtected() const {
    // Lock bit 1 is bit 0 of the lock byte on parts written with "AC E0 00 v", bit 1 on the
    // older parts ("AC 1111 1211"). Once programmed, flash, EEPROM and fuses refuse writes
    // until a chip erase clears it.
    const std::uint8_t lockBit1 = traits_.fuseSet >= AvrFuseSet::kLowNewLock ? 0x01 : 0x02;
    return (lock_ & lockBit1) == 0;
}

std::uint32_t AvrChip::FlashWordAddress(std::uint8_t high, std::uint8_t low) const {
    return static_cast<std::uint32_t>(extendedAddress_) << 16 |
           static_cast<std::uint32_t>(high) << 8 | low;
}

std::uint8_t AvrChip::Answer(std::uint32_t word, std::uint64_t nowNs) const {
    if (!enabled_) return 0x00;
    const std::uint8_t b1 = static_cast<std::uint8_t>(word >> 24);
    const std::uint8_t b2 = static_cast<std::uint8_t>(word >> 16);
    const std::uint8_t b3 = static_cast<std::uint8_t>(word >> 8);
    const std::uint32_t wordAddress = FlashWordAddress(b2, b3);
    const AvrFuseSet set = traits_.fuseSet;
    switch (b1) {
        case 0x20:
        case 0x28:
            return ReadFlash(wordAddress * 2 + (b1 == 0x28 ? 1 : 0), nowNs);
        case 0xA0:
            return ReadEeprom(static_cast<std::uint32_t>(b2) << 8 | b3, nowNs);
        case 0x30: {
            const unsigned index = b3 & 0x03;
            if (index > 2) return 0xFF;
            if (faults_.locked) return static_cast<std::uint8_t>(index);
            return traits_.signature[index];
        }
        case 0x38:
            return (b3 & 0x03) < traits_.calibrationCount ? traits_.calibration[b3 & 0x03] : 0xFF;
        case 0x50:
            if (b2 == 0x00 && set >= AvrFuseSet::kLegacyLow) return fuseLow_;
            if (b2 == 0x08 && set >= AvrFuseSet::kLowHighExt) return fuseExtended_;
            return 0xFF;
        case 0x58:
            if (b2 == 0x08 && set >= AvrFuseSet::kLowHigh) return fuseHigh_;
            if (b2 == 0x00 && set == AvrFuseSet::kCombinedLegacy) {
                // Lock bits 2..1 and the single fuse bit 0 in one byte.
                return static_cast<std::uint8_t>(0xF8 | (lock_ & 0x06) | (fuseLow_ & 0x01));
            }
            if (b2 == 0x00) return lock_;
            return 0xFF;
        default:
            return 0xFF;
    }
}

void AvrChip::StartBusy(Busy what, std::uint32_t address, std::uint64_t nowNs, std::uint64_t ns) {
    busy_ = what;
    busyAddress_ = address;
    busyStart_ = nowNs;
    busyUntil_ = nowNs + ns;
}

void AvrChip::Execute(std::uint32_t word, std::uint64_t nowNs) {
    ++instructionCount_;
    if (executed_.size() == 2 * kExecutedKept) {
        executed_.erase(executed_.begin(), executed_.begin() + kExecutedKept);
    }
    executed_.push_back(word);
    const std::uint8_t b1 = static_cast<std::uint8_t>(word >> 24);
    const std::uint8_t b2 = static_cast<std::uint8_t>(word >> 16);
    const std::uint8_t b3 = static_cast<std::uint8_t>(word >> 8);
    const std::uint8_t b4 = static_cast<std::uint8_t>(word);
    if (b1 == 0xAC && b2 == 0x53) {
        if (!faults_.neverInStep) {
            enabled_ = true;
            ++enableCount_;
        }
        return;
    }
    if (!enabled_) return;  // nothing but Programming Enable is heard before it

    const bool writes = b1 == 0xAC || b1 == 0x40 || b1 == 0x48 || b1 == 0x4C || b1 == 0xC0;
    if (writes && IsBusy(nowNs)) {
        ++lostInstructions_;  // the part ignores instructions while it programs
        return;
    }
    const bool selfTimed = b1 == 0xAC || b1 == 0x4C || b1 == 0xC0 ||
                           ((b1 == 0x40 || b1 == 0x48) && traits_.pageSize == 0);
    if (selfTimed && faults_.writesHang) {
        StartBusy(Busy::kHung, 0, nowNs, 0);
        return;
    }
    const std::uint32_t wordAddress = FlashWordAddress(b2, b3);
    switch (b1) {
        case 0xAC:
            ExecuteFuseOrLock(b2, b4, nowNs);
            break;
        case 0x4D:
            // Only the parts whose flash has more than 64 K words know this instruction.
            if (flash_.size() > 0x20000) extendedAddress_ = b3;
            break;
        case 0x40:
        case 0x48: {
            const std::uint32_t odd = b1 == 0x48 ? 1 : 0;
            if (traits_.pageSize != 0) {
                const std::uint32_t wordsPerPage = traits_.pageSize / 2;
                pageBuffer_[(wordAddress % wordsPerPage) * 2 + odd] = b4;
            } else if (!flash_.empty() && !WriteProtected()) {
                const std::uint32_t address =
                    (wordAddress * 2 + odd) % static_cast<std::uint32_t>(flash_.size());
                flash_[address] &= b4;  // programming only clears bits; erase sets them
                NoteWrite(address);
                StartBusy(Busy::kFlashByte, address, nowNs, traits_.flashWriteNs);
            }
            break;
        }
        case 0x4C:
            if (traits_.pageSize != 0 && !flash_.empty() && !WriteProtected()) {
                const std::uint32_t start = (wordAddress * 2) %
                                            static_cast<std::uint32_t>(flash_.size()) /
                                            traits_.pageSize * traits_.pageSize;
                for (std::uint32_t i = 0; i < traits_.pageSize; ++i) {
                    flash_[start + i] &= pageBuffer_[i];
                }
                std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFF);
                ++pageWriteCount_;
                NoteWrite(start / traits_.pageSize);
                StartBusy(Busy::kFlashPage, start, nowNs, traits_.flashWriteNs);
            }
            break;
        case 0xC0:
            if (!eeprom_.empty() && !WriteProtected()) {
                const std::uint32_t address = (static_cast<std::uint32_t>(b2) << 8 | b3) %
                                              static_cast<std::uint32_t>(eeprom_.size());
                eeprom_[address] = b4;  // EEPROM cells erase themselves before writing
                StartBusy(Busy::kEeprom, address, nowNs, traits_.eepromWriteNs);
            }
            break;
        default:
            break;
    }
}

void AvrChip::NoteWrite(std::uint32_t unit) {
    if (unit >= written_.size()) return;
    if (written_[unit]) ++rewriteCount_;
    written_[unit] = true;
}

void AvrChip::ExecuteFuseOrLock(std::uint8_t b2, std::uint8_t b4, std::uint64_t nowNs) {
    const AvrFuseSet set = traits_.fuseSet;
    if (b2 == 0x80) {
        std::fill(flash_.begin(), flash_.end(), 0xFF);
        std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
        lock_ = 0xFF;
        std::fill(written_.begin(), written_.end(), false);
        ++eraseCount_;
        StartBusy(Busy::kErase, 0, nowNs, traits_.eraseNs);
        return;
    }
    const bool modernFuses = set >= AvrFuseSet::kLow;
    const bool frozen = WriteProtected();
    auto writeFuse = [&](std::uint8_t& fuse, std::uint8_t mask) {
        if (!frozen) fuse = static_cast<std::uint8_t>((fuse & ~mask) | (b4 & mask));
    };
    if (modernFuses && b2 == 0xA0) {
        writeFuse(fuseLow_, traits_.fuseMask[0]);
    } else if (set >= AvrFuseSet::kLowHigh && b2 == 0xA8) {
        writeFuse(fuseHigh_, traits_.fuseMask[1]);
    } else if (set >= AvrFuseSet::kLowHighExt && b2 == 0xA4) {
        writeFuse(fuseExtended_, traits_.fuseMask[2]);
    } else if (set >= AvrFuseSet::kLowNewLock && b2 == 0xE0) {
        lock_ &= b4;  // lock bits can only be programmed; chip erase clears them
    } else if (set <= AvrFuseSet::kLow && (b2 & 0xE0) == 0xE0) {
        lock_ &= static_cast<std::uint8_t>(0xF9 | (b2 & 0x06));
    } else if ((set == AvrFuseSet::kLegacyLow || set == AvrFuseSet::kCombinedLegacy) &&
               (b2 & 0xE0) == 0xA0) {
        // The second byte carries the fuse bits the part has (five at most, or just bit 0).
        const std::uint8_t mask = static_cast<std::uint8_t>(
            traits_.fuseMask[0] & (set == AvrFuseSet::kLegacyLow ? 0x1F : 0x01));
        if (!frozen) fuseLow_ = static_cast<std::uint8_t>((fuseLow_ & ~mask) | (b2 & mask));
    } else {
        return;
    }
    StartBusy(Busy::kFuse, 0, nowNs, traits_.fuseWriteNs);
}

}  // namespace velkor::sim
