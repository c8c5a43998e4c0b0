#include "station/desktop_settings.h"

#include "files/profile_file.h"

namespace velkor {
namespace {

const char* const kFamilyChipKeys[2] = {"AvrChip", "At89Chip"};

}  // namespace

DesktopSettings DesktopSettingsFrom(const ProfileDocument& file) {
    DesktopSettings settings;
    settings.simulator = file.GetInt(kSimulatorSection, "Enabled") != 0;
    const std::string chip = file.GetString(kSimulatorSection, "Chip", "");
    if (!chip.empty()) settings.simChip = chip;
    settings.logLanguage =
        ParseLanguage(file.GetString(kExtraSection, "Language", "")).value_or(Language::kZh);
    settings.extra = ReadExtraSettings(file);
    for (std::uint32_t family : {kFamilyAvr, kFamily89S5x}) {
        const std::optional<std::string> row = file.Find(kExtraSection, kFamilyChipKeys[family]);
        const int value = row ? ProfileAtoi(*row) : -1;
        if (value >= 0) settings.familyChip[family] = static_cast<std::uint32_t>(value);
    }
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
        for (std::uint32_t family : {kFamilyAvr, kFamily89S5x}) {
            if (!settings.familyChip[family]) continue;
            file.SetInt(kExtraSection, kFamilyChipKeys[family],
                        static_cast<int>(*settings.familyChip[family]));
        }
    }
}

PortPathOptions PortPathFor(const DesktopSettings& settings) {
    PortPathOptions options;
    options.kind = settings.simulator ? PortPathKind::kSim : PortPathKind::kAuto;
    options.bench.chip = settings.simChip;
    return options;
}

}  // namespace velkor
