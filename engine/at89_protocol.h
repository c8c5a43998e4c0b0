// The 89S5x serial programming protocol: RESET held high, byte-addressed code memory, and two
// instruction forms chosen by the record. The 89S51/52 take four-byte instructions and write
// and read whole 256-byte pages; the 89S53/8252 take three-byte instructions with address bits
// in the opcode, byte by byte, and answer neither the enable instruction nor a signature read.
// None of them has EEPROM, fuse bytes or the AVR lock instructions.
#pragma once

#include "engine/serial_protocol.h"

namespace velkor {

struct At89ChipRecord;

class At89Protocol final : public SerialProtocol {
  public:
    At89Protocol(SerialLink& link, const At89ChipRecord& chip)
        : SerialProtocol(link), chip_(chip) {}

    std::uint16_t DelayRequest(bool userSpeed, std::uint16_t userDelay) const override;
    std::uint32_t FlashSize() const override;
    std::uint32_t EepromSize() const override { return 0; }
    std::uint32_t PageSize() const override { return kPage; }
    std::uint16_t PageWaitMs() const override { return 1; }
    bool WritesFlashInPages() const override { return PageForm(); }
    bool ReadsFlashInPages() const override { return PageForm(); }
    bool HasSignature() const override { return !ThreeByteForm(); }
    const std::uint8_t* Signature() const override;
    // The three signature bytes sit 256 addresses apart.
    std::uint32_t SignatureAddress(std::uint32_t index) const override { return index * kPage; }
    std::uint8_t CalibrationCount() const override { return 0; }
    Msg SkipNote(FamilyStep step) const override;

    int EnterProgramming() override;
    std::uint8_t ReadByte(std::uint8_t kind, std::uint32_t address) override;
    int WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) override;
    void SendPage(std::uint32_t address, const std::uint8_t* bytes) override;
    void ReadPage(std::uint32_t address, std::uint8_t* bytes256) override;
    int Erase() override;

  private:
    static constexpr std::uint32_t kPage = 256;
    bool PageForm() const;
    bool ThreeByteForm() const;

    const At89ChipRecord& chip_;
};

}  // namespace velkor
