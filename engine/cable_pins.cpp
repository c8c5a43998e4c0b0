#include "engine/cable_pins.h"

#include "engine/engine_types.h"

namespace velkor {
namespace {

// clang-format off
constexpr CablePins kPinTable[] = {
    // kind               family        MOSI  SCK   RESET rest  MISO bit, inverted
    {kCableUnnamed, kFamilyAvr, 0x02, 0x01, 0x04, 0x08, 0x80, true},
    {kCableStk200, kFamilyAvr, 0x20, 0x10, 0x80, 0x00, 0x40, false},
    {kCableXilinx, kFamilyAvr, 0x01, 0x02, 0x04, 0x10, 0x10, false},
    {kCableLattice, kFamilyAvr, 0x01, 0x02, 0x04, 0x00, 0x40, false},
    {kCableByteBlaster, kFamilyAvr, 0x40, 0x01, 0x02, 0x00, 0x80, true},
    // 89S5x parts hold RESET high while programming, so it is part of the rest value.
    {kCableStk200, kFamily89S5x, 0x20, 0x10, 0x80, 0x80, 0x40, false},
    {kCableByteBlaster, kFamily89S5x, 0x40, 0x01, 0x02, 0x02, 0x80, true},
};
// clang-format on

constexpr ReleaseStep kEndOnly[] = {{ReleaseStep::kEnd, 0}};
constexpr ReleaseStep kRelease7[] = {{ReleaseStep::kData, 0x00}, {ReleaseStep::kEnd, 0}};
constexpr ReleaseStep kRelease8Avr[] = {{ReleaseStep::kData, 0x0C}, {ReleaseStep::kWait, 0},
                                        {ReleaseStep::kWait, 0},    {ReleaseStep::kWait, 0},
                                        {ReleaseStep::kData, 0x8C}, {ReleaseStep::kEnd, 0}};
constexpr ReleaseStep kRelease8At89[] = {{ReleaseStep::kData, 0x0C},
                                         {ReleaseStep::kWait, 0},
                                         {ReleaseStep::kWait, 0},
                                         {ReleaseStep::kEnd, 0}};
constexpr ReleaseStep kRelease9[] = {{ReleaseStep::kData, 0x18}, {ReleaseStep::kEnd, 0}};
constexpr ReleaseStep kRelease10[] = {{ReleaseStep::kData, 0x08}, {ReleaseStep::kEnd, 0}};
constexpr ReleaseStep kRelease11[] = {{ReleaseStep::kControl, 0x00}, {ReleaseStep::kEnd, 0}};

}  // namespace

const CablePins* FindCablePins(std::uint8_t cableKind, std::uint32_t family) {
    for (const CablePins& row : kPinTable) {
        if (row.cableKind == cableKind && row.family == family) return &row;
    }
    return nullptr;
}

const ReleaseStep* ReleaseSteps(std::uint8_t cableKind, std::uint32_t family) {
    switch (cableKind) {
        case kCableUnnamed:
            return kRelease7;
        case kCableStk200:
            return family == kFamilyAvr ? kRelease8Avr : kRelease8At89;
        case kCableXilinx:
            return kRelease9;
        case kCableLattice:
            return kRelease10;
        case kCableByteBlaster:
            return kRelease11;
        default:
            return kEndOnly;
    }
}

}  // namespace velkor
