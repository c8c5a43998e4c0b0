// IspProgrammer: the one engine object. It owns the port and cable state, the options and
// command flags, the chip index, both memory images and the log, and carries the operations
// of port access, serial transfer, target connection, memory operations and the sequence.
// What the AVR and the 89S5x families do differently, each one's serial protocol does.
// Its state is private: a front end hands it the settings and images and reads the results.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/engine_log.h"
#include "engine/engine_seams.h"
#include "engine/engine_types.h"
#include "engine/port_backend.h"
#include "engine/serial_protocol.h"

namespace velkor {

class AvrProtocol;

// The port search record: where the search starts and what it found.
struct PortRequest {
    std::uint16_t lptIndex = 0;  // 0 = LPT1, 1 = LPT2, 2 = LPT3
    std::uint16_t delayRequest = 6;
    std::uint16_t portBase = 0;
    std::uint8_t result = 0;     // PortResult
    std::uint8_t cableKind = 0;  // CableKind
};

// A port the search tries: its name in messages and its base address.
struct PortCandidate {
    const char* name;
    std::uint16_t base;
};

// Addresses [begin, end) of one memory.
struct AddressRange {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    bool operator==(const AddressRange&) const = default;
};

// Which image of the two.
enum class ImageKind : std::uint8_t { kFlash, kEeprom };

class IspProgrammer {
  public:
    IspProgrammer();
    virtual ~IspProgrammer();
    IspProgrammer(const IspProgrammer&) = delete;
    IspProgrammer& operator=(const IspProgrammer&) = delete;

    // ---- wiring to the outside world ----
    void SetReports(EngineReports* reports) { ownerWindow = reports; }
    void SetClock(Clock* clock) { clock_ = clock; }
    PortBackend& Backend() { return backend_; }

    // ---- log and progress ----
    // Every line is one of the message table's, shown in the chosen language.
    void Log(LogLine line);
    // Appends without a notification (the Reset MCU line, the wizard's messages).
    void LogQuiet(LogLine line);
    // Text that reads the same in every language (a name, an English note); null empties
    // the log.
    void AppendLog(const char* text);
    void PostProgress(int percent);
    std::string LogText() const { return log_.Text(); }
    std::vector<Msg> LogIds() const { return log_.Ids(); }
    LogDelta LogSince(LogCursor& cursor) const { return log_.Since(cursor); }
    // Chinese unless set; the lines already logged are shown again in the new language.
    void SetLogLanguage(Language language) { log_.SetLanguage(language); }
    Language LogLanguage() const { return log_.GetLanguage(); }

    // ---- port access and cables ----
    std::uint8_t ReadPort(std::uint16_t address);
    void WritePort(std::uint16_t address, std::uint8_t value);
    void DelayMs(int ms);
    // One clock half-period: delayCount units, a unit being the time of one read of the
    // data register on the path in use.
    void PortWait();
    // `units` such units: timed on the counter once a read's time is measured (with the
    // settings' timedPortWaits), else made of that many reads of the data register.
    void WaitReadTimes(std::uint32_t units);
    int CheckPort();
    void DetectCable(PortRequest& request);
    int OpenPort();
    void ReleasePort();
    // The ports the search tries, in order: LPT1, LPT2, LPT3 and, when extraPortBase names
    // another base, that one as a fourth ("LPT4").
    int PortCandidateCount() const;
    PortCandidate PortCandidateAt(int index) const;

    // ---- serial instruction transfer ----
    void SendByte(std::uint8_t value);
    std::uint8_t ReceiveByte();
    void ResetTarget();
    void ExtraClock();

    // ---- target connection ----
    int EnterProgramming();  // 0 = in programming mode, 1 = no connection
    void ReadFuseBytes();
    void ReadCalibrationBytes();
    void ExitProgramming();

    // ---- memory operations ----
    std::uint8_t ReadMemoryByte(std::uint8_t kind, std::uint32_t address);
    int WriteMemoryByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value);
    void WriteFlashPage(std::uint32_t address, const std::uint8_t* bytes);
    int ReadFlashPage(std::uint32_t address, std::uint8_t* bytes256);
    void WriteConfigByte(std::uint8_t selector, std::uint8_t value);
    int EraseChip();         // 0 = erased and back in programming mode, 4 = connection lost
    int WriteEepromImage();  // 0 = done, 1 = failed, 4 = no EEPROM row
    // Compares the chip's EEPROM with the image without writing: 0 = equal, 1 = a
    // difference (logged), 4 = no EEPROM row.
    int VerifyEepromImage();

    // ---- programming sequence and the commands that run it ----
    int RunSequence();
    // Each command returns kEngineBusy, without touching anything, while another runs.
    static constexpr int kEngineBusy = -1;
    int ProgramCommand();    // RunSequence, ExitProgramming; the caller posts the end
    int FuseReadCommand();   // reads signature and fuses, selecting the chip by signature
    int FuseWriteCommand();  // writes the masked fuse bytes to the selected chip
    int OscCalCommand(bool* openCalibrationDialog = nullptr);
    int ResetMcuCommand();
    bool Running() const { return running_.load(); }
    // Reads the chip's memories that readBackFlash / readBackEeprom choose into readFlash /
    // readEeprom (never into the images, which keep the user's files), after checking the
    // signature against the selected chip. A SequenceResult, or kEngineBusy.
    int ReadChipCommand();

    // The record of the selected chip. Out-of-range indices give the terminating row; a run
    // refuses such an index before it starts.
    const ChipRecord& AvrRecord() const;
    const At89ChipRecord& At89Record() const;
    bool ChipIndexValid() const;
    // The selected chip's name in its family's table; null when no valid chip is selected.
    const char* SelectedChipName() const;

    // ---- what the user chose: copied in before a run, read back after it ----
    ProgrammerSettings Settings() const;
    void SetSettings(const ProgrammerSettings& settings);

    // ---- what the last run produced ----
    // The port search: where it starts (LPT1 unless set) and what it found.
    PortRequest PortSearch() const { return portRequest; }
    void SetPortSearchStart(std::uint16_t lptIndex) { portRequest.lptIndex = lptIndex; }
    std::uint8_t Cable() const { return cableKind; }
    std::uint16_t PortBase() const { return portBase; }
    // Clock half-period units; a port search sets them, a bench may set them directly.
    std::uint16_t DelayCount() const { return delayCount; }
    void SetDelayCount(std::uint16_t units) { delayCount = units; }
    std::uint32_t BytesWritten() const { return bytesWritten; }
    std::uint32_t BytesVerified() const { return bytesVerified; }
    int LastEepromResult() const { return lastEepromResult; }
    const std::vector<std::uint8_t>& FlashReadBack() const { return readFlash; }
    const std::vector<std::uint8_t>& EepromReadBack() const { return readEeprom; }
    std::array<std::uint8_t, 3> Signature() const { return signature; }
    std::array<std::uint8_t, 4> CalibrationBytes() const { return calibrationBytes; }
    // Driver calls of the last command that failed; nonzero makes the command fail.
    std::uint32_t FailedDriverCalls() const { return backend_.FailedDriverCalls(); }

    // ---- the port path: the driver, or direct port access ----
    void SetUseDriver(bool viaDriver) { useDriver = viaDriver ? 1 : 0; }
    bool UsesDriver() const { return useDriver != 0; }

    // ---- the images a run programs and verifies ----
    std::span<const std::uint8_t> FlashImage() const { return flashImage; }
    std::span<const std::uint8_t> EepromImage() const { return eepromImage; }
    std::uint32_t FlashImageLength() const { return flashImageLength; }
    std::uint32_t EepromImageLength() const { return eepromImageLength; }
    const std::vector<AddressRange>& FlashDataRanges() const { return flashDataRanges; }
    const std::vector<AddressRange>& EepromDataRanges() const { return eepromDataRanges; }
    // Replaces one image: `bytes` from address 0 (the rest of the image erased: 0xFF), the
    // loaded length and the addresses the file gave data for (sorted, disjoint).
    void SetImage(ImageKind kind, std::span<const std::uint8_t> bytes, std::uint32_t length,
                  std::vector<AddressRange> ranges);

  private:
    // ---- state: the settings a run uses, what it produced, the images ----
    EngineReports* ownerWindow = nullptr;
    // What the user chose, copied in before a run (SetSettings) and read back after it.
    ProgrammerSettings settings_;
    PortRequest portRequest;
    std::uint32_t eepromImageLength = 0;
    std::uint32_t flashImageLength = 0;
    std::uint32_t useDriver = 0;
    std::uint16_t portBase = 0;
    std::uint16_t delayCount = 0;
    std::uint8_t cableKind = 0;
    std::array<std::uint8_t, kFlashImageSize> flashImage;
    std::array<std::uint8_t, kEepromImageSize> eepromImage;
    std::array<std::uint8_t, 4> calibrationBytes{};
    std::array<std::uint8_t, 3> signature{};
    // Result of the last run's EEPROM step (the run goes on after an EEPROM failure, but a
    // front end still wants to tell the user); -1 when the step did not run.
    int lastEepromResult = -1;
    // What the last run moved: data bytes sent to the chip's flash and EEPROM (blank flash
    // bytes and pages are not sent, so not counted) and bytes read back equal to the image.
    // Both are reset when a run starts; front ends read them after it has ended.
    std::uint32_t bytesWritten = 0;
    std::uint32_t bytesVerified = 0;
    // What the last ReadChipCommand read: the whole memory of the chip, or empty when that
    // memory was not read (not asked for, no EEPROM, or the run failed before it).
    std::vector<std::uint8_t> readFlash;
    std::vector<std::uint8_t> readEeprom;
    // The addresses the loaded files gave data for, sorted and disjoint: what a file-only
    // verify compares (settings_.verifyFileOnly).
    std::vector<AddressRange> flashDataRanges;
    std::vector<AddressRange> eepromDataRanges;

    friend class RunGuard;
    friend struct SavedCommandBlock;
    // The engine as its serial protocols see it (isp_programmer.cpp).
    class Link;

    int RunCommand(int (IspProgrammer::*body)());
    int FuseReadBody();
    int FuseWriteBody();
    int OscCalBody();
    int ResetMcuBody();
    int ProgramBody();
    int ReadBackBody();
    int StartRun();  // a run's common start: log, chip index, speed, port, programming mode

    // The protocol of the selected family and chip: chosen when a run starts, and again when
    // the family or the chip index has changed since (the signature search selects a chip).
    SerialProtocol& Protocol();
    SerialProtocol& SelectProtocol();
    // The fuse, lock and calibration instructions, which only the AVR protocol has, for the
    // AVR row at chipIndex.
    AvrProtocol AvrInstructions();
    // True when the family has the step; else false, with the family's note in the log.
    bool FamilyHas(FamilyStep step);

    // ---- the steps of RunSequence, in their order ----
    int IdentifyChip();
    void TakeCalibration();
    int FlashStep(bool verifyOnly);
    int WriteFlash();  // 0 = written, 1 = a byte timed out (logged)
    void EepromStep(bool verifyOnly);
    int WriteFuses();  // 0 = written and read back, 1 = a byte read back wrong (logged)
    int WriteLock();   // the same for the lock byte

    // Reads the chip's signature into `signature`; false, with a log line, when it is not the
    // selected chip's.
    bool SignatureMatchesSelection();
    int ReadBackMemory(bool flash);
    int VerifyFileBytes(bool flash, std::uint32_t size);
    int VerifyFlash();  // 0 = equal, 1 = a difference (logged)
    int VerifyFlashPages(std::uint32_t size);
    int CompareEeprom(std::uint32_t n);
    // Reads a fuse or lock byte back after its write: 0 when every bit the value programs
    // reads programmed (or the part has no read form for it), else 1 with a log line.
    int CheckConfigByte(std::uint8_t selector, std::uint8_t value);
    void DriverSetParams(std::uint32_t pageSize);
    void WriteData(std::uint8_t value) { WritePort(portBase, value); }

    // The two halves of DetectCable: the first port that passes CheckPort, from
    // request.lptIndex on (false when none does), and the cable its loopback wiring names.
    bool FindPort(PortRequest& request);
    void IdentifyCable(PortRequest& request);
    // Measures the time of kWaitSampleReads data-register reads for the timed waits.
    void MeasureReadTime();

    static constexpr std::int64_t kWaitSampleReads = 16;
    // Counter ticks that kWaitSampleReads reads take at most (0: wait by reads, as where the
    // counter cannot resolve one read); measured over a few samples at the first wait after
    // each port search, since the port or the path may have changed.
    std::int64_t sampleReadTicks_ = 0;
    bool readTimeMeasured_ = false;
    Clock* clock_ = nullptr;
    PortBackend backend_;
    EngineLog log_;
    int lastProgress_ = 0;
    std::atomic<bool> running_{false};
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<SerialProtocol> protocol_;
    std::uint32_t protocolFamily_ = 0;  // the family and chip index protocol_ was chosen for
    std::uint32_t protocolChip_ = 0;
};

}  // namespace velkor
