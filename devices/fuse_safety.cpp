#include "devices/fuse_safety.h"

#include <cstdio>
#include <string_view>

#include "devices/chip_table.h"
#include "devices/fuse_bit_names.h"

namespace velkor {
namespace {

const char* const kByteNamesEnglish[3] = {"low", "high", "extended"};

// The name of a bit for the safety check. The mega165 set leaves extended bit 0 unnamed so
// that its box stays hidden, yet that bit is RSTDISBL and is written with the byte.
const char* HazardName(const FuseBitNames& names, int byte, int bit) {
    if (&names == &FuseNamesMega165 && byte == 2 && bit == 0) return "RSTDISBL";
    return FuseBitName(names, static_cast<std::size_t>(byte), static_cast<std::size_t>(bit));
}

}  // namespace

std::vector<FuseHazard> FindFuseHazards(const FuseBytes& fuses, const ChipRecord& chip) {
    std::vector<FuseHazard> hazards;
    if (chip.fuseNames == nullptr) return hazards;
    for (int k = 0; k < 3; ++k) {
        const std::uint8_t mask = chip.fuseMask[k];
        if (mask == 0) continue;  // the byte is not written at all
        const auto written = static_cast<std::uint8_t>(fuses[static_cast<std::size_t>(k)] & mask);
        for (int i = 0; i < 8; ++i) {
            if ((mask >> i & 1) == 0) continue;
            const char* name = HazardName(*chip.fuseNames, k, i);
            if (name == nullptr) continue;
            const std::string_view n = name;
            const bool programmed = (written >> i & 1) == 0;
            FuseHazardKind kind;
            // The AT90USB82/162 data sheets spell the reset-disable fuse RSTDSBL.
            if ((n == "RSTDISBL" || n == "RSTDSBL") && programmed) {
                kind = FuseHazardKind::kResetDisabled;
            } else if (n == "DWEN" && programmed) {
                kind = FuseHazardKind::kDebugWireOn;
            } else if (n == "SPIEN" && !programmed) {
                kind = FuseHazardKind::kSerialDisabled;
            } else {
                continue;
            }
            hazards.push_back(FuseHazard{kind, k, i, std::string(n), written});
        }
    }
    return hazards;
}

LogLine FuseHazardMessage(const FuseHazard& h) {
    Msg effect = Msg::kTermHazardResetDisabled;
    switch (h.kind) {
        case FuseHazardKind::kResetDisabled:
            break;
        case FuseHazardKind::kDebugWireOn:
            effect = Msg::kTermHazardDebugWire;
            break;
        case FuseHazardKind::kSerialDisabled:
            effect = Msg::kTermHazardSerialOff;
            break;
    }
    constexpr Msg kByteNames[3] = {Msg::kTermByteLow, Msg::kTermByteHigh, Msg::kTermByteExtended};
    return {Msg::kFuseHazard, {kByteNames[h.byte], Num(h.written), h.name, Num(h.bit), effect}};
}

std::string FuseHazardLine(const FuseHazard& h) {
    return Render(FuseHazardMessage(h), Language::kZh);
}

std::string FuseHazardLineEnglish(const FuseHazard& h) {
    const char* effect = "";
    switch (h.kind) {
        case FuseHazardKind::kResetDisabled:
            effect =
                "would be programmed: the RESET pin becomes an I/O pin and serial "
                "programming can never be entered again";
            break;
        case FuseHazardKind::kDebugWireOn:
            effect =
                "would be programmed: the RESET pin becomes the debugWIRE line and serial "
                "programming can no longer be entered";
            break;
        case FuseHazardKind::kSerialDisabled:
            effect = "would be unprogrammed: the serial programming interface is switched off";
            break;
    }
    char text[320];
    std::snprintf(text, sizeof text, "fuse %s byte %02X: %s (bit %d) %s", kByteNamesEnglish[h.byte],
                  h.written, h.name.c_str(), h.bit, effect);
    return text;
}

}  // namespace velkor
