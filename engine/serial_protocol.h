// The serial programming protocol of one target family, chosen once from the selected chip's
// record: the instructions that enter programming mode, read and write memory, write a page
// and erase the chip, and the facts of the record that decide how a run goes. The engine's
// steps ask the protocol instead of asking which family they are talking to.
#pragma once

#include <cstdint>

#include "messages/log_messages.h"

namespace velkor {

class PortBackend;

// What a protocol needs of the engine: the bit transfer, the waits, the driver's accelerated
// commands, the count of bytes sent and the log.
class SerialLink {
  public:
    virtual ~SerialLink() = default;
    virtual void SendByte(std::uint8_t value) = 0;
    virtual std::uint8_t ReceiveByte() = 0;
    virtual void ExtraClock() = 0;
    virtual void ResetTarget() = 0;
    virtual void DelayMs(int ms) = 0;
    virtual void WaitReadTimes(std::uint32_t units) = 0;
    // A sleeping wait, for pauses long enough to give the processor away.
    virtual void Sleep(unsigned ms) = 0;
    virtual void Log(LogLine line) = 0;
    // The driver when it shifts whole instructions (the use-driver flag), else null.
    virtual PortBackend* Driver() = 0;
    // Data bytes sent to the chip's flash or EEPROM.
    virtual void CountWritten(std::uint32_t bytes) = 0;
};

// Steps of a run that a family may lack.
enum class FamilyStep : std::uint8_t {
    kAutoSelect,
    kEepromWrite,
    kEepromVerify,
    kFuseWrite,
    kLockWrite,
};

class SerialProtocol {
  public:
    explicit SerialProtocol(SerialLink& link) : link_(link) {}
    virtual ~SerialProtocol() = default;
    SerialProtocol(const SerialProtocol&) = delete;
    SerialProtocol& operator=(const SerialProtocol&) = delete;

    // ---- what the chip record says ----
    // The delay the port search starts from: the fastest the family takes, or the user's.
    virtual std::uint16_t DelayRequest(bool userSpeed, std::uint16_t userDelay) const = 0;
    virtual std::uint32_t FlashSize() const = 0;
    // 0 when the chip has no EEPROM.
    virtual std::uint32_t EepromSize() const = 0;
    // The page the driver is told of and a page write sends.
    virtual std::uint32_t PageSize() const = 0;
    // The wait after a page write.
    virtual std::uint16_t PageWaitMs() const = 0;
    virtual bool WritesFlashInPages() const = 0;
    virtual bool ReadsFlashInPages() const = 0;
    // Whether the chip answers its signature read with a signature (else with code bytes).
    virtual bool HasSignature() const = 0;
    virtual const std::uint8_t* Signature() const = 0;
    virtual std::uint32_t SignatureAddress(std::uint32_t index) const = 0;
    virtual std::uint8_t CalibrationCount() const = 0;
    // The line a run logs in place of a step the family lacks; Msg::kNone when it has it.
    virtual Msg SkipNote(FamilyStep step) const = 0;

    // ---- instructions ----
    // Resets the target and enters programming mode: 0 = in programming mode, 1 = no
    // connection (logged).
    virtual int EnterProgramming() = 0;
    virtual std::uint8_t ReadByte(std::uint8_t kind, std::uint32_t address) = 0;
    // 0 = written (or nothing to write), 1 = the written value never read back.
    virtual int WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) = 0;
    // Sends one page of PageSize() bytes over the serial lines; the caller waits after it.
    virtual void SendPage(std::uint32_t address, const std::uint8_t* bytes) = 0;
    // Before a flash page write or read at `address`, on the serial lines or through the
    // driver: chooses the address segment where a part's flash outgrows the instructions'
    // address bytes. Nothing for the others.
    virtual void SelectFlashSegment(std::uint32_t /*address*/) {}
    virtual void ReadPage(std::uint32_t address, std::uint8_t* bytes256) = 0;
    // Erases and enters programming mode again: 0 = done, 4 = connection lost.
    virtual int Erase() = 0;

  protected:
    // Reads until the location holds `value`: 0 when it did, 1 after the time-out.
    int PollUntil(std::uint8_t kind, std::uint32_t address, std::uint8_t value);

    static std::uint8_t High(std::uint32_t v) { return static_cast<std::uint8_t>(v >> 8); }
    static std::uint8_t Low(std::uint32_t v) { return static_cast<std::uint8_t>(v); }

    SerialLink& link_;
};

}  // namespace velkor
