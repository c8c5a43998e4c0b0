#include "dude/dude_app.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <streambuf>
#include <string>

#include "cli/log_printer.h"
#include "devices/chip_table.h"
#include "dude/dude_options.h"
#include "dude/dude_targets.h"
#include "dude/memory_files.h"
#include "files/image_fit.h"
#include "station/station.h"

namespace velkor::dude {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr const char* kName = "velkorisp-dude: ";

// Where the log goes with -qq.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
};

std::string Hex(unsigned value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

// One invocation: the options, the chip and the station it drives.
class DudeSession {
  public:
    DudeSession(const DudeOptions& options, const DudePart& part, std::ostream& out,
                std::ostream& err, std::ostream* progress, Language language)
        : o_(options), part_(part), out_(out), err_(err), logSink_(&nullBuffer_) {
        station_.SetLanguage(o_.language.value_or(language));
        printer_ = std::make_unique<cli::LogPrinter>(station_, o_.quiet >= 2 ? logSink_ : err,
                                                     o_.quiet >= 1 ? nullptr : progress);
        station_.SetObserver(printer_.get());
    }
    ~DudeSession() { station_.SetObserver(nullptr); }

    int Run();

  private:
    bool Avr() const { return part_.family == kFamilyAvr; }
    const ChipRecord& Chip() const { return ChipTable[part_.row]; }
    std::uint32_t FlashSize() const {
        return Avr() ? Chip().flashSize : At89ChipTable[part_.row].flashSize;
    }
    std::uint32_t EepromSize() const { return Avr() ? Chip().eepromSize : 0; }

    bool Fail(const std::string& line) {
        printer_->Flush();
        err_ << kName << line << "\n";
        return false;
    }
    void Note(const std::string& line) { err_ << kName << "note: " << line << "\n"; }
    void SelectPart() {
        station_.SetFamily(part_.family);
        station_.SelectChip(part_.row, false);
    }

    bool BindPort();
    bool RunChecked(RunRequest request, RunReport& report);
    bool ExplainResult(const RunReport& report);
    bool CheckSignature();
    bool ReadFuses();
    bool Erase();
    bool Operate(const MemoryOperation& op);
    bool WriteImage(const MemoryOperation& op, bool flash);
    bool ReadImage(const MemoryOperation& op, bool flash, bool verify);
    bool FuseOperation(const MemoryOperation& op, int index);
    bool LockOperation(const MemoryOperation& op);
    bool ReadOnlyOperation(const MemoryOperation& op, std::vector<std::uint8_t> bytes);
    bool Compare(const MemoryOperation& op, std::span<const std::uint8_t> chip,
                 const MemoryInput& file);
    int FuseIndex(Memory memory, std::string& error) const;

    const DudeOptions& o_;
    DudePart part_;
    std::ostream& out_;
    std::ostream& err_;
    NullBuffer nullBuffer_;
    std::ostream logSink_;
    Station station_;
    std::unique_ptr<cli::LogPrinter> printer_;
    std::array<std::uint8_t, 3> signature_{};
    bool cableNoted_ = false;
};

bool DudeSession::BindPort() {
    PortPathOptions path;
    const std::string& port = o_.port;
    if (port == "sim") {
        path.kind = PortPathKind::kSim;
    } else if (port.rfind("/dev/parport", 0) == 0) {
        path.kind = PortPathKind::kPpdev;
        path.ppdevDevice = port;
    } else if (!port.empty() &&
               !(port.size() == 4 && (port.rfind("lpt", 0) == 0 || port.rfind("LPT", 0) == 0) &&
                 port[3] >= '1' && port[3] <= '3')) {
        // A port base: the three standard ones are searched anyway; another is a fourth.
        char* end = nullptr;
        const unsigned long base = std::strtoul(port.c_str(), &end, 16);
        if (*end != '\0' || base == 0 || base > 0xFFFF) {
            return Fail("unknown port '" + port +
                        "' (/dev/parportN, lpt1..lpt3, a port base such as 0x378, or sim)");
        }
        if (base != 0x378 && base != 0x278 && base != 0x3BC) {
            station_.SetExtraPortBase(static_cast<std::uint16_t>(base));
        }
    }
    const DudeProgrammer* programmer = FindDudeProgrammer(o_.programmer);
    path.bench.chip = part_.name;
    path.bench.cable = programmer != nullptr ? programmer->simCable : "stk200";
    std::string problem;
    if (!station_.BindPort(path, &problem)) return Fail(problem);
    // A port named on the command line that is not there must not pass for a programmed chip.
    if (!port.empty() && port != "sim" && station_.Port()->Kind() == PortPathKind::kSim) {
        return Fail("no parallel port for -P " + port + " (-P sim programs the simulated chip)");
    }
    // Said always: without a port the simulated chip is programmed, not a real one.
    if (!station_.Port()->ChoiceNote().empty()) Note(station_.Port()->ChoiceNote());
    return true;
}

// The station's rules first: a refused run touches no port, and says why in English.
bool DudeSession::RunChecked(RunRequest request, RunReport& report) {
    request.chipNamed = true;
    request.verifyFileOnly = true;
    for (const Refusal& refusal : station_.Check(request)) {
        for (const LogLine& line : refusal.lines) station_.Log(line);
        printer_->Flush();
        std::string error = refusal.error;
        if (refusal.kind == RefusalKind::kFuseHazard) {
            // The station names velkorisp-cli's override; this command has its own.
            error = error.substr(0, error.rfind('\n') + 1) +
                    "refusing to write these fuse bytes to " + Chip().name +
                    "; give --unsafe-fuses to write them anyway (-F does not)";
        }
        std::size_t begin = 0;
        while (begin < error.size()) {
            std::size_t end = error.find('\n', begin);
            if (end == std::string::npos) end = error.size();
            err_ << kName << error.substr(begin, end - begin) << "\n";
            begin = end + 1;
        }
        return false;
    }
    report = station_.Run(request);
    printer_->Flush();
    return ExplainResult(report);
}

bool DudeSession::ExplainResult(const RunReport& report) {
    const DudeProgrammer* programmer = FindDudeProgrammer(o_.programmer);
    if (programmer != nullptr && !cableNoted_ && report.cableKind != 0 &&
        report.cableKind != programmer->cable) {
        cableNoted_ = true;
        Note("-c " + o_.programmer +
             " names another wiring than the cable found; using the "
             "cable found");
    }
    switch (report.result) {
        case RunResult::kDone:
            return true;
        case RunResult::kPortNotReady:
            return Fail("no cable with a powered target found on the parallel ports");
        case RunResult::kNoConnection:
            return Fail("the chip did not answer (wiring, supply, or a clock too fast: try -B)");
        case RunResult::kSignatureMismatch:
            return Fail("the signature is not the " + part_.name + "'s" +
                        (o_.force ? " (-F lets only the first check pass; reads and 89S5x runs "
                                    "need the part's own signature)"
                                  : "; give -F to go on"));
        case RunResult::kFlashFailed:
            return Fail("writing or verifying failed (see the log above)");
        case RunResult::kEepromFailed:
            return Fail("writing or verifying the EEPROM failed (see the log above)");
        case RunResult::kConfigWriteFailed:
            return Fail("a fuse or lock byte did not read back as written");
        case RunResult::kTargetLost:
            return Fail("the chip stopped answering during the read");
        default:
            return Fail("the run failed (see the log above)");
    }
}

// As avrdude does before anything else: the signature must be the part's, unless -F.
bool DudeSession::CheckSignature() {
    if (!Avr()) return true;  // 89S5x runs check the signature themselves (see Erase, Operate)
    RunReport report;
    const RunRequest request = station_.Request(RunKind::kFuseRead);
    report = station_.Run(request);
    printer_->Flush();
    signature_ = station_.Engine().Signature();
    const bool unknown = report.result == RunResult::kChipUnknown;
    if (!unknown && !ExplainResult(report)) return false;
    SelectPart();
    const std::uint8_t* expected = Chip().signature;
    if (std::equal(expected, expected + 3, signature_.begin())) return true;
    const std::string line = "device signature " + Hex(signature_[0]) + " " + Hex(signature_[1]) +
                             " " + Hex(signature_[2]) + " is not the " + part_.name + "'s (" +
                             Hex(expected[0]) + " " + Hex(expected[1]) + " " + Hex(expected[2]) +
                             ")";
    if (!o_.force) return Fail(line + "; give -F to go on");
    Note(line + "; going on (-F)");
    return true;
}

// The chip's fuse bytes as they are now (a fuse-read run selects the chip by its signature;
// the part named stays the one used).
bool DudeSession::ReadFuses() {
    RunReport report;
    report = station_.Run(station_.Request(RunKind::kFuseRead));
    printer_->Flush();
    if (report.result != RunResult::kChipUnknown && !ExplainResult(report)) return false;
    SelectPart();
    return true;
}

bool DudeSession::Erase() {
    bool flashWrite = false;
    for (const MemoryOperation& op : o_.operations) {
        flashWrite = flashWrite || (op.memory == Memory::kFlash && op.op == Operation::kWrite);
    }
    if (!o_.erase && !(flashWrite && !o_.noAutoErase)) return true;
    if (o_.noWrite) {
        Note("chip not erased (-n)");
        return true;
    }
    RunRequest request = station_.Request(RunKind::kProgram);
    request.steps = {};
    request.steps.erase = 1;
    request.steps.checkId = !Avr() && !o_.force;
    RunReport report;
    if (!RunChecked(request, report)) return false;
    err_ << kName << "chip erased\n";
    return true;
}

int DudeSession::FuseIndex(Memory memory, std::string& error) const {
    if (!Avr()) {
        error = std::string(MemoryName(memory)) + ": " + part_.name +
                " (89S5x family) has no fuse, lock, signature or calibration memory here";
        return -1;
    }
    const std::uint8_t* mask = Chip().fuseMask;
    int index = -1;
    switch (memory) {
        case Memory::kLowFuse:
            index = 0;
            break;
        case Memory::kHighFuse:
            index = 1;
            break;
        case Memory::kExtendedFuse:
            index = 2;
            break;
        case Memory::kFuse:
            // The memory of parts with a single fuse byte.
            if (mask[1] == 0 && mask[2] == 0) index = 0;
            break;
        default:
            return -1;
    }
    if (index < 0 || mask[index] == 0) {
        error = std::string(MemoryName(memory)) + ": " + part_.name + " has no such fuse byte";
        return -1;
    }
    return index;
}

bool DudeSession::Operate(const MemoryOperation& op) {
    switch (op.memory) {
        case Memory::kFlash:
        case Memory::kEeprom: {
            const bool flash = op.memory == Memory::kFlash;
            if (!flash && EepromSize() == 0) return Fail(part_.name + " has no EEPROM");
            if (op.op == Operation::kWrite) return WriteImage(op, flash);
            return ReadImage(op, flash, op.op == Operation::kVerify);
        }
        case Memory::kLock:
            return LockOperation(op);
        case Memory::kSignature: {
            if (!Avr())
                return Fail("signature: " + part_.name + " (89S5x family) is not read here");
            return ReadOnlyOperation(op, {signature_.begin(), signature_.end()});
        }
        case Memory::kCalibration: {
            if (!Avr() || Chip().calibrationCount == 0) {
                return Fail("calibration: " + part_.name + " has no calibration bytes");
            }
            if (op.op == Operation::kWrite) return Fail("calibration is read-only");
            RunReport report;
            if (!RunChecked(station_.Request(RunKind::kCalibrationRead), report)) return false;
            const std::array<std::uint8_t, 4> bytes = station_.Engine().CalibrationBytes();
            return ReadOnlyOperation(op, {bytes.begin(), bytes.begin() + Chip().calibrationCount});
        }
        default: {
            std::string error;
            const int index = FuseIndex(op.memory, error);
            if (index < 0) return Fail(error);
            return FuseOperation(op, index);
        }
    }
}

bool DudeSession::WriteImage(const MemoryOperation& op, bool flash) {
    const MemoryInput in = ReadMemoryInput(op, flash ? kFlashImageSize : kEepromImageSize, -1);
    if (!in.error.empty()) return Fail(in.error);
    const std::uint32_t size = flash ? FlashSize() : EepromSize();
    if (const ImageFit fit = CheckImageFits(in.image.extent, size); !fit.Fits()) {
        return Fail(op.file + ": " + std::to_string(fit.beyond) + " bytes beyond the " +
                    std::to_string(size) + "-byte " + MemoryName(op.memory) + " of " + part_.name +
                    ", the first at " + Hex(static_cast<unsigned>(fit.firstAddress), 4));
    }
    if (o_.noWrite) {
        Note(std::string(MemoryName(op.memory)) + " not written (-n)");
        return true;
    }
    const int loaded = flash ? station_.SetFlashImage(op.file, in.image)
                             : station_.SetEepromImage(op.file, in.image);
    if (loaded != 0) return Fail(op.file + ": no data for " + MemoryName(op.memory));
    RunRequest request = station_.Request(RunKind::kProgram);
    request.steps = {};
    (flash ? request.steps.writeFlash : request.steps.writeEeprom) = 1;
    request.steps.verify = !o_.noVerify;
    request.steps.checkId = !Avr() && !o_.force;
    RunReport report;
    if (!RunChecked(request, report)) return false;
    err_ << kName << in.image.extent.dataBytes << " bytes of " << MemoryName(op.memory)
         << " written" << (o_.noVerify ? "" : " and verified") << "\n";
    return true;
}

bool DudeSession::ReadImage(const MemoryOperation& op, bool flash, bool verify) {
    MemoryInput in;
    if (verify) {
        in = ReadMemoryInput(op, flash ? kFlashImageSize : kEepromImageSize, -1);
        if (!in.error.empty()) return Fail(in.error);
    }
    RunRequest request = station_.Request(RunKind::kReadChip);
    request.readFlash = flash;
    request.readEeprom = !flash;
    RunReport report;
    if (!RunChecked(request, report)) return false;
    std::vector<std::uint8_t> bytes = flash ? report.readFlash : report.readEeprom;
    if (verify) return Compare(op, bytes, in);
    // Erased flash at the end is left out of the file, as avrdude does unless -A.
    if (flash && !o_.keepTrailingFF) {
        while (!bytes.empty() && bytes.back() == 0xFF) bytes.pop_back();
    }
    if (const std::string error = WriteMemoryOutput(op.file, op.format, bytes, out_);
        !error.empty()) {
        return Fail(error);
    }
    err_ << kName << bytes.size() << " bytes of " << MemoryName(op.memory) << " read into "
         << op.file << "\n";
    return true;
}

// Compares the chip's bytes with the addresses the file gave.
bool DudeSession::Compare(const MemoryOperation& op, std::span<const std::uint8_t> chip,
                          const MemoryInput& file) {
    const HexDataExtent& extent = file.image.extent;
    if (const ImageFit fit = CheckImageFits(extent, chip.size()); !fit.Fits()) {
        return Fail(op.file + ": " + std::to_string(fit.beyond) + " bytes beyond the " +
                    std::to_string(chip.size()) + "-byte " + MemoryName(op.memory) + " of " +
                    part_.name);
    }
    std::uint64_t compared = 0;
    for (std::size_t a = 0; a < chip.size() && a < extent.stored.size(); ++a) {
        if (!extent.stored[a]) continue;
        if (chip[a] != file.image.bytes[a]) {
            return Fail(std::string(MemoryName(op.memory)) +
                        " verification error, first mismatch at " +
                        Hex(static_cast<unsigned>(a), 4) + ": chip " + Hex(chip[a]) + ", file " +
                        Hex(file.image.bytes[a]));
        }
        ++compared;
    }
    err_ << kName << compared << " bytes of " << MemoryName(op.memory) << " verified\n";
    return true;
}

bool DudeSession::ReadOnlyOperation(const MemoryOperation& op, std::vector<std::uint8_t> bytes) {
    if (op.op == Operation::kWrite)
        return Fail(std::string(MemoryName(op.memory)) + " is read-only");
    if (op.op == Operation::kVerify) {
        const MemoryInput in = ReadMemoryInput(op, 0, -1);
        if (!in.error.empty()) return Fail(in.error);
        if (in.bytes != bytes) {
            return Fail(std::string(MemoryName(op.memory)) + " verification error: chip and " +
                        op.file + " differ");
        }
        err_ << kName << bytes.size() << " bytes of " << MemoryName(op.memory) << " verified\n";
        return true;
    }
    if (const std::string error = WriteMemoryOutput(op.file, op.format, bytes, out_);
        !error.empty()) {
        return Fail(error);
    }
    return true;
}

bool DudeSession::FuseOperation(const MemoryOperation& op, int index) {
    if (!ReadFuses()) return false;
    const StationFuses now = station_.Fuses();
    const std::uint8_t current[3] = {now.low, now.high, now.extended};
    if (op.op == Operation::kRead) return ReadOnlyOperation(op, {current[index]});
    const MemoryInput in = ReadMemoryInput(op, 0, index);
    if (!in.error.empty()) return Fail(in.error);
    if (in.bytes.size() != 1) {
        return Fail(std::string(MemoryName(op.memory)) + " is one byte; " + op.file + " gives " +
                    std::to_string(in.bytes.size()));
    }
    const std::uint8_t value = in.bytes[0];
    const std::uint8_t mask = Chip().fuseMask[index];
    if (op.op == Operation::kVerify) {
        if ((current[index] & mask) != (value & mask)) {
            return Fail(std::string(MemoryName(op.memory)) + " verification error: chip " +
                        Hex(current[index]) + ", file " + Hex(value));
        }
        err_ << kName << "1 byte of " << MemoryName(op.memory) << " verified\n";
        return true;
    }
    if (o_.noWrite) {
        Note(std::string(MemoryName(op.memory)) + " not written (-n)");
        return true;
    }
    // The other bytes are written back as the chip holds them.
    StationFuses fuses = now;
    (index == 0 ? fuses.low : index == 1 ? fuses.high : fuses.extended) = value;
    station_.SetFuses(fuses);
    RunRequest request = station_.Request(RunKind::kFuseWrite);
    request.fuseHazardConfirmed = o_.unsafeFuses;
    RunReport report;
    const bool written = RunChecked(request, report);
    station_.SetFuses(now);  // a refused byte does not stand for the next operation
    if (!written) return false;
    station_.SetFuses(fuses);
    err_ << kName << MemoryName(op.memory) << " written: " << Hex(value) << "\n";
    return true;
}

bool DudeSession::LockOperation(const MemoryOperation& op) {
    if (!Avr()) return Fail("lock: " + part_.name + " (89S5x family) has no lock byte step here");
    if (op.op != Operation::kWrite) {
        return Fail("lock: this programmer writes the lock byte but cannot read it back");
    }
    const MemoryInput in = ReadMemoryInput(op, 0, -1);
    if (!in.error.empty()) return Fail(in.error);
    if (in.bytes.size() != 1)
        return Fail("lock is one byte; " + op.file + " gives " + std::to_string(in.bytes.size()));
    if (o_.noWrite) {
        Note("lock not written (-n)");
        return true;
    }
    station_.SetLockByte(in.bytes[0]);
    RunRequest request = station_.Request(RunKind::kProgram);
    request.steps = {};
    request.steps.lock = 1;
    RunReport report;
    if (!RunChecked(request, report)) return false;
    err_ << kName << "lock written: " << Hex(in.bytes[0]) << "\n";
    return true;
}

int DudeSession::Run() {
    SelectPart();
    if (o_.delay) station_.SetSpeed(true, *o_.delay);
    if (!BindPort() || !CheckSignature() || !Erase()) return kExitFailed;
    for (const MemoryOperation& op : o_.operations) {
        if (!Operate(op)) return kExitFailed;
    }
    printer_->Flush();
    err_ << kName << "done\n";
    return kExitOk;
}

}  // namespace

int RunDude(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            std::ostream* progress, Language defaultLanguage) {
    const DudeParseResult parsed = ParseDudeCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        err << kName << parsed.error << "\nTry 'velkorisp-dude --help'.\n";
        return kExitFailed;
    }
    const DudeOptions& o = parsed.options;
    if (o.help) {
        out << DudeHelpText();
        return kExitOk;
    }
    if (o.part == "?") {
        PrintDudeParts(out);
        return kExitOk;
    }
    if (o.programmer == "?") {
        PrintDudeProgrammers(out);
        return kExitOk;
    }
    if (o.part.empty()) {
        err << kName << "no part given: -p PART (-p ? lists them)\n";
        return kExitFailed;
    }
    const std::optional<DudePart> part = FindDudePart(o.part);
    if (!part) {
        err << kName << "unknown part '" << o.part << "' (-p ? lists them)\n";
        return kExitFailed;
    }
    if (!o.programmer.empty() && FindDudeProgrammer(o.programmer) == nullptr) {
        err << kName << "programmer '" << o.programmer
            << "' is none of the parallel-port cables this program drives; use one of: "
            << DudeProgrammerNames() << "\n";
        return kExitFailed;
    }
    for (const std::string& note : o.notes) err << kName << "note: " << note << "\n";
    DudeSession session(o, *part, out, err, progress, defaultLanguage);
    return session.Run();
}

}  // namespace velkor::dude
