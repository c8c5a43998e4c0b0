// Test-side changes to an engine's settings and images, each applied at once, as a front end
// would hand them over before a run.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "engine/isp_programmer.h"

namespace velkor::test {

// `Edit(engine)->chipIndex = 5;`: the engine's settings with that change, applied at the end
// of the statement.
class SettingsEdit {
  public:
    explicit SettingsEdit(IspProgrammer& engine) : engine_(engine), settings_(engine.Settings()) {}
    ~SettingsEdit() { engine_.SetSettings(settings_); }
    SettingsEdit(const SettingsEdit&) = delete;
    SettingsEdit& operator=(const SettingsEdit&) = delete;
    ProgrammerSettings* operator->() { return &settings_; }

  private:
    IspProgrammer& engine_;
    ProgrammerSettings settings_;
};

inline SettingsEdit Edit(IspProgrammer& engine) {
    return SettingsEdit(engine);
}

// Writes `bytes` into an image from `address` on; its length and data ranges stay.
inline void PokeImage(IspProgrammer& engine, ImageKind kind, std::uint32_t address,
                      std::span<const std::uint8_t> bytes) {
    const bool flash = kind == ImageKind::kFlash;
    const std::span<const std::uint8_t> now = flash ? engine.FlashImage() : engine.EepromImage();
    std::vector<std::uint8_t> image(now.begin(), now.end());
    std::copy(bytes.begin(), bytes.end(), image.begin() + address);
    engine.SetImage(kind, image, flash ? engine.FlashImageLength() : engine.EepromImageLength(),
                    flash ? engine.FlashDataRanges() : engine.EepromDataRanges());
}

inline void PokeImage(IspProgrammer& engine, ImageKind kind, std::uint32_t address,
                      std::uint8_t value) {
    PokeImage(engine, kind, address, std::span<const std::uint8_t>(&value, 1));
}

// Sets an image's loaded length; its bytes and data ranges stay.
inline void SetImageLength(IspProgrammer& engine, ImageKind kind, std::uint32_t length) {
    const bool flash = kind == ImageKind::kFlash;
    engine.SetImage(kind, flash ? engine.FlashImage() : engine.EepromImage(), length,
                    flash ? engine.FlashDataRanges() : engine.EepromDataRanges());
}

}  // namespace velkor::test
