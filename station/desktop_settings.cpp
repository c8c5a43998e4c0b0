#include "station/desktop_settings.h"

#include "files/profile_file.h"

namespace velkor {

DesktopSettings DesktopSettingsFrom(const ProfileDocument& file) {
    DesktopSettings settings;
    settings.simulator = file.GetInt(kSimulatorSection, "Enabled") != 0;
    const std::string chip = file.GetString(kSimulatorSection, "Chip", "");
    if (!chip.empty()) settings.simChip = chip;
    settings.logLanguage =
        ParseLanguage(file.GetString(kExtraSection, "Language", "")).value_or(Language::kZh);
    settings.extra = ReadExtraSettings(file);
    return settings;
}

void WriteDesktopSettings(ProfileDocument& file, const DesktopSettings& settings) {
    {
        file.SetInt(kSimulatorSection, "Enabled", settings.simulator ? 1 : 0);
        file.SetString(kSimulatorSection, "Chip", settings.simChip);
        if (settings.logLanguage != Language::kZh ||
            !file.GetString(kExtraSection, "Language", "").empty()) {
            file.SetString(kExtraSection, "Language", LanguageCode(settings.logLanguage));
        }
        WriteExtraSettings(file, settings.extra);
    }
}

PortPathOptions PortPathFor(const DesktopSettings& settings) {
    PortPathOptions options;
    options.kind = settings.simulator ? PortPathKind::kSim : PortPathKind::kAuto;
    options.bench.chip = settings.simChip;
    return options;
}

}  // namespace velkor
