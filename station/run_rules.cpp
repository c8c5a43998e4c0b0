// The rules a run must pass before the port is touched, for every front end alike.
#include <string>
#include <vector>

#include "devices/chip_table.h"
#include "devices/fuse_safety.h"
#include "files/image_fit.h"
#include "station/station.h"

namespace velkor {
namespace {

bool At89(const ProgrammerSettings& settings) {
    return settings.targetFamily == kFamily89S5x;
}

std::string ChipNameOr(const ProgrammerSettings& settings, const char* none) {
    const char* name = settings.SelectedChipName();
    return name != nullptr ? name : none;
}

const char* CommandName(RunKind kind) {
    switch (kind) {
        case RunKind::kFuseRead:
            return "fuse-read";
        case RunKind::kFuseWrite:
            return "fuse-write";
        case RunKind::kCalibrationRead:
            return "cal-read";
        default:
            return nullptr;
    }
}

// A row of the family's chip list: not the "locked" and "no chip" rows behind the list, whose
// sizes and fuse layout are nobody's.
bool ListedChip(const ProgrammerSettings& settings) {
    if (!settings.ChipIndexValid()) return false;
    return settings.chipIndex < ChipList(settings.targetFamily).size();
}

// Runs that act on the selected chip's row (its sizes, fuse layout, signature) need one.
bool NeedsChip(const RunRequest& r, const ProgrammerSettings& settings) {
    switch (r.kind) {
        case RunKind::kProgram:
            // Chosen by its signature during the run: any row may stand until then.
            return !(r.steps.autoSelchip != 0 && !At89(settings));
        case RunKind::kFuseWrite:
        case RunKind::kReadChip:
        case RunKind::kCalibrationRead:
            return true;
        default:
            return false;
    }
}

void CheckFamily(const RunRequest& r, const ProgrammerSettings& settings,
                 std::vector<Refusal>& out) {
    if (!At89(settings)) return;
    const std::string chip = ChipNameOr(settings, "(no chip)");
    if (const char* command = CommandName(r.kind); command != nullptr) {
        // The one-off commands would switch the engine to the AVR family and use the AVR row
        // that happens to have this 89S5x chip's row number.
        const Msg line =
            r.kind == RunKind::kCalibrationRead ? Msg::kCalibrationNot89 : Msg::kRefusedFuses89;
        out.push_back({RefusalKind::kStepNotInFamily,
                       {},
                       std::string(command) + " is for AVR chips; " + chip +
                           " (89S5x family) has no fuse or calibration bytes",
                       line});
        return;
    }
    if (r.kind == RunKind::kReadChip && r.readEeprom) {
        out.push_back({RefusalKind::kStepNotInFamily,
                       {},
                       chip + " (89S5x family) has no EEPROM to read",
                       Msg::kSaveNoEeprom89});
        return;
    }
    if (r.kind != RunKind::kProgram) return;
    const ProgramCommandSet& c = r.steps;
    struct Step {
        bool chosen;
        const char* box;
        const char* option;
    };
    for (const Step& step : {Step{c.writeEeprom != 0, "EEPROM", "EEPROM (--write-eeprom)"},
                             Step{c.writeFuse != 0, "FUSE", "fuse bytes (--write-fuses)"},
                             Step{c.lock != 0, "LOCK", "lock byte (--lock)"},
                             Step{c.copyCal != 0, "CAL.", "calibration bytes (--copy-cal)"}}) {
        if (!step.chosen) continue;
        out.push_back({RefusalKind::kStepNotInFamily,
                       {},
                       chip + " (89S5x family) has no " + step.option + " step",
                       {Msg::kRefusedStep89, {chip, std::string(step.box)}}});
        return;  // one line says it; the user unchecks the boxes and tries again
    }
}

// A loaded file is what gets programmed: one that failed to load, or stopped at a faulty line,
// would program an old or a partial image.
void CheckImage(bool flash, const HexFile& file, int load, std::vector<Refusal>& out) {
    const std::string memory = flash ? "Flash" : "EEPROM";
    if (load == kHexLoadOpenFailed || load == kHexLoadNoData) {
        out.push_back({RefusalKind::kImageNotLoaded,
                       {},
                       "cannot use " + std::string(flash ? "flash" : "EEPROM") + " file '" +
                           file.Path() + "' (see the line above); refusing the run",
                       {Msg::kRefusedImageNotLoaded, {memory, file.Path()}}});
    } else if (load > 0) {
        out.push_back({RefusalKind::kImageIncomplete,
                       {},
                       file.Path() + ": faulty record at line " + std::to_string(load),
                       {Msg::kRefusedImageIncomplete, {memory, file.Path(), Num(load)}}});
    }
}

void CheckFuses(const RunRequest& r, const ProgrammerSettings& settings,
                std::vector<Refusal>& out) {
    const bool writes =
        r.kind == RunKind::kFuseWrite || (r.kind == RunKind::kProgram && r.steps.writeFuse != 0);
    if (!writes || At89(settings)) return;
    if (r.kind == RunKind::kProgram && r.steps.autoSelchip != 0) {
        out.push_back({RefusalKind::kFuseAutoSelected,
                       {},
                       {"--write-fuses needs the chip named (-p NAME), not chosen by its "
                        "signature: the bytes are judged by that chip's fuse layout"}});
        return;
    }
    if (!ListedChip(settings)) return;  // refused as no chip already
    const ChipRecord& chip = settings.AvrRecord();
    static const char* const kOptionNames[3] = {"--fuse-low", "--fuse-high", "--fuse-ext"};
    static const char* const kByteNames[3] = {"low", "high", "extended"};
    for (int k = 0; k < 3; ++k) {
        if (chip.fuseMask[k] != 0 && !r.fuseChosen[k]) {
            out.push_back({RefusalKind::kFuseByteNotChosen,
                           {},
                           std::string("writing fuses to ") + chip.name + " needs the " +
                               kByteNames[k] + " fuse byte: give --fuses or " + kOptionNames[k] +
                               ", or a settings file with DEVICE/FUSE" + std::to_string(k),
                           Msg::kFuseWriteCancelled});
            return;
        }
    }
    if (r.fuseHazardConfirmed) return;
    const std::vector<FuseHazard> hazards = FindFuseHazards(
        FuseBytes{settings.fuseLow, settings.fuseHigh, settings.fuseExtended}, chip);
    if (hazards.empty()) return;
    Refusal refusal{RefusalKind::kFuseHazard, {}, {}, Msg::kFuseWriteCancelled};
    for (const FuseHazard& h : hazards) refusal.lines.push_back(FuseHazardMessage(h));
    for (const FuseHazard& h : hazards) refusal.error += FuseHazardLineEnglish(h) + "\n";
    refusal.error += std::string("refusing to write these fuse bytes to ") + chip.name +
                     "; give --force to write them anyway";
    out.push_back(std::move(refusal));
}

bool AnyStep(const ProgramCommandSet& c) {
    return c.erase || c.writeFlash || c.writeEeprom || c.verify || c.writeFuse || c.lock ||
           c.copyCal || c.checkId;
}

}  // namespace

bool Station::ChipSelected() const {
    return ListedChip(settings_);
}

std::vector<Refusal> Station::Check(const RunRequest& r) const {
    std::vector<Refusal> out;
    const ProgrammerSettings& settings = settings_;
    if (r.kind == RunKind::kProgram && !AnyStep(r.steps)) {
        out.push_back({RefusalKind::kNothingToDo,
                       {},
                       "no step chosen; nothing to do",
                       Msg::kRefusedNothingToDo});
        return out;
    }
    CheckFamily(r, settings, out);
    if (!out.empty()) return out;
    if (NeedsChip(r, settings) && !ListedChip(settings)) {
        out.push_back({RefusalKind::kNoChip,
                       {},
                       "no chip selected (the chip index is not a row of the chip list); "
                       "refusing the run",
                       Msg::kRefusedNoChip});
        return out;
    }
    if (r.kind == RunKind::kProgram) {
        const ProgramCommandSet& c = r.steps;
        if (r.automatic && !r.flashFileWhole) {
            out.push_back({RefusalKind::kNoEndRecord,
                           {},
                           "no end record; not programmed",
                           {Msg::kRefusedNoEndRecord, {flashFile_.Path()}}});
        }
        if (c.writeFlash || c.verify) CheckImage(true, flashFile_, flashLoad_, out);
        if (c.writeEeprom) CheckImage(false, eepromFile_, eepromLoad_, out);
        if (!out.empty()) return out;
        // With the chip chosen by its signature during the run the sizes are not known yet.
        const bool chipKnown = r.chipNamed && !(c.autoSelchip && !At89(settings));
        if ((c.writeFlash || c.writeEeprom || c.verify) && chipKnown) {
            HexFile none;
            std::vector<LogLine> lines =
                ImageFitMessages(settings, c.writeFlash || c.verify ? flashFile_ : none,
                                 c.writeEeprom ? eepromFile_ : none);
            if (!lines.empty()) {
                out.push_back({RefusalKind::kBeyondChip, std::move(lines),
                               "the image holds data beyond " + ChipNameOr(settings, "(no chip)") +
                                   "'s memory (see the line above); refusing the run",
                               Msg::kRefusedBeyondChip});
                return out;
            }
        }
    }
    CheckFuses(r, settings, out);
    return out;
}

}  // namespace velkor
