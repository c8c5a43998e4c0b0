// An AVR part in serial programming mode, modelled from how the chips behave: RESET low
// enables the serial interface, SCK's rising edge samples MOSI, MISO changes on the falling
// edge (most significant bit first), every instruction is a 32-bit frame, and writes take
// time during which the written location reads a fixed polling value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_types.h"

namespace velkor::sim {

// Which fuse and lock instructions a part understands.
enum class AvrFuseSet : std::uint8_t {
    kNone,            // no fuses; lock bits in byte 2 of "AC 111x x21x"
    kCombinedLegacy,  // one fuse bit, read together with the lock bits by "58 00"
    kLegacyLow,       // fuse bits written by "AC 101x xxxx", read by "50 00"
    kLow,             // fuse low "AC A0 00 v" / "50 00"; lock bits legacy style
    kLowNewLock,      // as kLow, lock byte "AC E0 00 v"
    kLowHigh,         // plus fuse high "AC A8 00 v" / "58 08"
    kLowHighExt,      // plus fuse extended "AC A4 00 v" / "50 08"
};

struct AvrChipTraits {
    std::string name;
    std::uint8_t signature[3] = {0, 0, 0};
    std::uint32_t flashSize = 0;
    std::uint32_t pageSize = 0;  // 0: flash is programmed byte by byte
    std::uint32_t eepromSize = 0;
    std::uint8_t flashBusyValue = 0xFF;   // what a flash location reads while being written
    std::uint8_t eepromBusyValue = 0xFF;  // same for EEPROM
    // AT90S parts erase an EEPROM cell before writing it and read the complement of
    // eepromBusyValue during that first half of the write.
    bool eepromErasePhase = false;
    // AT90S1200 has no data polling: a location shows its new value while it is still
    // being written, so only waiting tells when the write is done.
    bool dataPolling = true;
    AvrFuseSet fuseSet = AvrFuseSet::kNone;
    std::uint8_t fuseLow = 0xFF, fuseHigh = 0xFF, fuseExtended = 0xFF, lock = 0xFF;
    // Bits the serial interface can change in each fuse byte; the others (bits the part
    // does not have, SPIEN) keep their value whatever is written.
    std::uint8_t fuseMask[3] = {0xFF, 0xFF, 0xFF};
    std::uint8_t calibrationCount = 0;
    std::uint8_t calibration[4] = {0, 0, 0, 0};
    std::uint64_t flashWriteNs = 4'500'000;  // page write, or one byte on byte-mode parts
    std::uint64_t eepromWriteNs = 4'000'000;
    std::uint64_t eraseNs = 9'000'000;
    std::uint64_t fuseWriteNs = 4'500'000;
};

// Faults a chip can be given.
struct AvrChipFaults {
    unsigned outOfStepBits = 0;  // the interface starts this many bits into a frame
    bool neverInStep = false;    // never accepts Programming Enable
    bool locked = false;         // answers 00 01 02 as its signature, as locked parts do
    // Faults that can also strike part-way through a session (through Faults()):
    bool silent = false;      // the interface has stopped: hears nothing, MISO floats
    bool garbage = false;     // MISO carries noise instead of the answer
    bool writesHang = false;  // a self-timed write starts, stores nothing and never ends
};

class AvrChip : public SimTarget {
  public:
    explicit AvrChip(AvrChipTraits traits, AvrChipFaults faults = {});

    void SetLines(Level reset, Level sck, Level mosi, std::uint64_t nowNs) override;
    Level Miso() const override;
    void SetPower(bool on, std::uint64_t nowNs) override;
    bool Powered() const override { return powered_; }
    std::uint64_t LostInstructions() const override { return lostInstructions_; }

    const AvrChipTraits& Traits() const { return traits_; }
    // The faults in force; changing them takes effect from the next bit on.
    AvrChipFaults& Faults() { return faults_; }
    // Called when the first two bytes of an instruction have arrived, before it executes:
    // the point where a test makes a fault strike at a chosen kind of instruction.
    void SetInstructionHook(std::function<void(std::uint16_t head)> hook) {
        instructionHook_ = std::move(hook);
    }
    std::vector<std::uint8_t>& Flash() { return flash_; }
    std::vector<std::uint8_t>& Eeprom() { return eeprom_; }
    const std::vector<std::uint8_t>& Flash() const { return flash_; }
    const std::vector<std::uint8_t>& Eeprom() const { return eeprom_; }
    std::uint8_t FuseLow() const { return fuseLow_; }
    std::uint8_t FuseHigh() const { return fuseHigh_; }
    std::uint8_t FuseExtended() const { return fuseExtended_; }
    std::uint8_t Lock() const { return lock_; }
    // Puts back configuration bytes a chip held before (a bench restored from a dump).
    void RestoreConfig(std::uint8_t low, std::uint8_t high, std::uint8_t extended,
                       std::uint8_t lock) {
        fuseLow_ = low;
        fuseHigh_ = high;
        fuseExtended_ = extended;
        lock_ = lock;
    }
    bool ProgrammingEnabled() const { return enabled_; }
    std::uint64_t EnableCount() const { return enableCount_; }
    std::uint64_t EraseCount() const { return eraseCount_; }
    std::uint64_t PageWriteCount() const { return pageWriteCount_; }
    std::uint64_t InstructionCount() const { return instructionCount_; }
    // Flash pages (or bytes, on byte-programmed parts) programmed a second time without a
    // chip erase between: outside what the parts allow, and the sign of a programmer that
    // takes the part's page for smaller than it is.
    std::uint64_t RewriteCount() const { return rewriteCount_; }
    // Times RESET left programming mode while a self-timed write or erase was still running,
    // which the parts do not allow: the operation may be left unfinished.
    std::uint64_t InterruptedCount() const { return interruptedCount_; }
    // The instructions the part executed, as their four bytes, oldest first: the last
    // kExecutedKept at least, so that a bench left running for days keeps its memory flat.
    static constexpr std::size_t kExecutedKept = std::size_t{1} << 16;
    const std::vector<std::uint32_t>& Executed() const { return executed_; }

  private:
    enum class Busy : std::uint8_t { kIdle, kFlashByte, kFlashPage, kEeprom, kErase, kFuse, kHung };

    bool InterfaceOn() const { return powered_ && resetLow_; }
    bool IsBusy(std::uint64_t nowNs) const {
        return busy_ != Busy::kIdle &&
               (nowNs < busyUntil_ || (busy_ == Busy::kHung && faults_.writesHang));
    }
    bool WriteProtected() const;
    void StartBusy(Busy what, std::uint32_t address, std::uint64_t nowNs, std::uint64_t ns);
    void RisingEdge(bool mosi, std::uint64_t nowNs);
    std::uint8_t Answer(std::uint32_t word, std::uint64_t nowNs) const;
    // The flash word address of an instruction's address bytes, above the extended byte.
    std::uint32_t FlashWordAddress(std::uint8_t high, std::uint8_t low) const;
    void Execute(std::uint32_t word, std::uint64_t nowNs);
    void NoteWrite(std::uint32_t unit);
    void ExecuteFuseOrLock(std::uint8_t b2, std::uint8_t b4, std::uint64_t nowNs);
    std::uint8_t ReadFlash(std::uint32_t address, std::uint64_t nowNs) const;
    std::uint8_t ReadEeprom(std::uint32_t address, std::uint64_t nowNs) const;

    AvrChipTraits traits_;
    AvrChipFaults faults_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> eeprom_;
    std::vector<std::uint8_t> pageBuffer_;
    std::vector<bool> written_;  // per page (or byte) since the last erase
    std::uint8_t fuseLow_, fuseHigh_, fuseExtended_, lock_;
    // Bits 23..16 of the flash word address on parts above 128 KiB, set by Load Extended
    // Address Byte (4D 00 a 00); zero again whenever programming mode is entered anew.
    std::uint8_t extendedAddress_ = 0;

    bool powered_ = true;
    bool resetLow_ = false;
    bool sck_ = false;
    bool enabled_ = false;
    unsigned bitIndex_ = 0;
    std::uint32_t inWord_ = 0;
    std::uint32_t outWord_ = 0;
    bool misoLatch_ = false;

    Busy busy_ = Busy::kIdle;
    std::uint64_t busyStart_ = 0;
    std::uint64_t busyUntil_ = 0;
    std::uint32_t busyAddress_ = 0;

    std::uint64_t lostInstructions_ = 0;
    std::uint64_t enableCount_ = 0;
    std::uint64_t eraseCount_ = 0;
    std::uint64_t pageWriteCount_ = 0;
    std::uint64_t instructionCount_ = 0;
    std::uint64_t rewriteCount_ = 0;
    std::uint64_t interruptedCount_ = 0;
    std::vector<std::uint32_t> executed_;
    std::function<void(std::uint16_t)> instructionHook_;
    std::uint32_t noise_ = 0x2545F491;  // state of the noise on MISO
};

}  // namespace velkor::sim
