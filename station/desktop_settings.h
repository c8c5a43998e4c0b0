// The desktop program's own settings in velkor.ini: whether the simulated bench stands in for
// the parallel port, and which chip sits on it; the log's language and the later settings of
// section EXTRA. They live in sections of their own, so files written before them stay valid
// and the keys of the other sections are never touched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "files/extra_settings.h"
#include "hosting/port_path.h"

namespace velkor {

class ProfileDocument;

inline constexpr const char kSimulatorSection[] = "SIMULATOR";

struct DesktopSettings {
    bool simulator = false;         // SIMULATOR/Enabled
    std::string simChip = "mega8";  // SIMULATOR/Chip: a name of either chip list
    // EXTRA/Language: "zh" or "en"; missing or anything else is Chinese, as the log always was.
    Language logLanguage = Language::kZh;
    ExtraSettings extra;  // EXTRA/VerifyScope
    // EXTRA/AvrChip and EXTRA/At89Chip: the row selected last in each family's list, so that
    // switching the family and back, or a restart, finds each family's chip again. DEVICE/ID
    // keeps its meaning (the row of DEVICE/TYPE's family). Missing: nothing kept.
    std::optional<std::uint32_t> familyChip[2];
};

// The sections of velkor.ini as read (an empty document for a file that could not be read).
// Missing sections or keys give the defaults; an empty chip name gives "mega8".
DesktopSettings DesktopSettingsFrom(const ProfileDocument& file);

// Sets the sections' keys in `file`, keeping everything else in it. A key of EXTRA is written
// only when the file has it already or its value is not the default (Chinese, chip), so a file
// that never chose them keeps its sections as they were.
void WriteDesktopSettings(ProfileDocument& file, const DesktopSettings& settings);

// The port path these settings ask for: the simulator with its chip, or the automatic choice
// (a parallel port when the system has one, else the simulator).
PortPathOptions PortPathFor(const DesktopSettings& settings);

}  // namespace velkor
