// Which data-register bits drive the target's MOSI, SCK and RESET lines, and which status
// bit carries MISO, for every (cable kind, target family) pair that can carry a transfer.
// The serial transfer reads these rows; it never hard-codes a cable.
#pragma once

#include <cstdint>

namespace velkor {

struct CablePins {
    std::uint8_t cableKind;
    std::uint32_t family;
    std::uint8_t mosi;     // data bit driving MOSI
    std::uint8_t sck;      // data bit driving SCK
    std::uint8_t reset;    // data bit driving RESET
    std::uint8_t rest;     // data value with SCK low and MOSI 0 during transfers
    std::uint8_t misoBit;  // status register bit carrying MISO
    bool misoInverted;     // MISO is 1 when that status bit reads 0
};

// The row for a pair, or null when the pair carries no transfer.
const CablePins* FindCablePins(std::uint8_t cableKind, std::uint32_t family);

// The released state of a cable, written after a conversation.
struct ReleaseStep {
    enum Kind : std::uint8_t { kEnd, kData, kControl, kWait } kind;
    std::uint8_t value;
};
// Steps for a pair, ending with a kEnd step; a pair without a released state has only kEnd.
const ReleaseStep* ReleaseSteps(std::uint8_t cableKind, std::uint32_t family);

}  // namespace velkor
