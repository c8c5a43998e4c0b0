// The AVR serial programming protocol: four-byte instructions, re-synchronisation while
// entering programming mode, word-addressed flash, pages loaded byte by byte, EEPROM, and the
// fuse, lock and calibration bytes that only this family has.
#pragma once

#include <array>

#include "engine/serial_protocol.h"

namespace velkor {

struct ChipRecord;

class AvrProtocol final : public SerialProtocol {
  public:
    AvrProtocol(SerialLink& link, const ChipRecord& chip) : SerialProtocol(link), chip_(chip) {}

    std::uint16_t DelayRequest(bool userSpeed, std::uint16_t userDelay) const override;
    std::uint32_t FlashSize() const override;
    std::uint32_t EepromSize() const override;
    std::uint32_t PageSize() const override;
    std::uint16_t PageWaitMs() const override;
    bool WritesFlashInPages() const override;
    bool ReadsFlashInPages() const override { return false; }
    void SelectFlashSegment(std::uint32_t address) override;
    bool HasSignature() const override { return true; }
    const std::uint8_t* Signature() const override;
    std::uint32_t SignatureAddress(std::uint32_t index) const override { return index; }
    std::uint8_t CalibrationCount() const override;
    Msg SkipNote(FamilyStep) const override { return Msg::kNone; }

    int EnterProgramming() override;
    std::uint8_t ReadByte(std::uint8_t kind, std::uint32_t address) override;
    int WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) override;
    void SendPage(std::uint32_t address, const std::uint8_t* bytes) override;
    // The AVR parts have no page read: the buffer is left as it is.
    void ReadPage(std::uint32_t, std::uint8_t*) override {}
    int Erase() override;

    // ---- the fuse, lock and calibration bytes ----
    // Reads the fuse bytes the record's fuse kind has, logging each; the others keep their
    // values.
    void ReadFuses(std::uint8_t& low, std::uint8_t& high, std::uint8_t& extended);
    void ReadCalibration(std::array<std::uint8_t, 4>& bytes);
    void WriteConfigByte(std::uint8_t selector, std::uint8_t value);
    // Reads a fuse or lock byte back after its write: 0 when every bit the value programs
    // reads programmed (or the part has no read form for it), else 1 with a log line.
    int CheckConfigByte(std::uint8_t selector, std::uint8_t value);

  private:
    std::uint8_t ReadInstruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
    void WriteInstruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4);

    const ChipRecord& chip_;
};

}  // namespace velkor
