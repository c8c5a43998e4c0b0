// The data-sheet names of each chip's fuse bits, as the fuse panel labels its 24 boxes, and
// the clock wizard that belongs to the same chips.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace velkor {

struct ClockWizard;  // clock_wizard.h

constexpr std::size_t kFuseBitCount = 24;  // three fuse bytes of eight bits

struct FuseBitNames {
    // Entry 8*k + i names bit i of fuse byte k (0 low, 1 high, 2 extended). A null or empty
    // name means the chip has no such bit, and its box is hidden.
    const char* bits[kFuseBitCount];
    const ClockWizard* wizard;
    const char* name;  // "tiny13", "mega48", ... "none", for listings
};

extern const FuseBitNames FuseNamesTiny12;
extern const FuseBitNames FuseNamesTiny13;
extern const FuseBitNames FuseNamesTiny15;
extern const FuseBitNames FuseNamesTiny26;
extern const FuseBitNames FuseNamesTiny2313;
extern const FuseBitNames FuseNamesMega48;
extern const FuseBitNames FuseNamesMega88;
extern const FuseBitNames FuseNamesMega8;
extern const FuseBitNames FuseNamesMega16;
extern const FuseBitNames FuseNamesMega8515;
extern const FuseBitNames FuseNamesMega8535;
extern const FuseBitNames FuseNamesMega162;
extern const FuseBitNames FuseNamesMega165;
extern const FuseBitNames FuseNamesMega325;
extern const FuseBitNames FuseNamesMega128;
extern const FuseBitNames FuseNamesAt90CAN64;
extern const FuseBitNames FuseNamesMega324P;
extern const FuseBitNames FuseNamesMega48P;
extern const FuseBitNames FuseNamesTiny25;
extern const FuseBitNames FuseNamesTiny24;
extern const FuseBitNames FuseNamesTiny87;
extern const FuseBitNames FuseNamesMega128RFA1;
extern const FuseBitNames FuseNamesMega329P;
extern const FuseBitNames FuseNamesMega649P;
extern const FuseBitNames FuseNamesTiny261;
extern const FuseBitNames FuseNamesMega88P;
extern const FuseBitNames FuseNamesTiny828;
extern const FuseBitNames FuseNamesMega328;
extern const FuseBitNames FuseNamesMega32M1;
extern const FuseBitNames FuseNamesTiny4313;
extern const FuseBitNames FuseNamesAt90PWM2;
extern const FuseBitNames FuseNamesTiny441;
extern const FuseBitNames FuseNamesMega16U4;
extern const FuseBitNames FuseNamesAt90USB162;
extern const FuseBitNames FuseNamesMega32U2;
extern const FuseBitNames FuseNamesMega165A;
extern const FuseBitNames FuseNamesTiny1634;
extern const FuseBitNames FuseNamesNone;  // all 24 names null

// Name of bit `bit` of fuse byte `byte`, or null when the chip has no such bit.
const char* FuseBitName(const FuseBitNames& names, std::size_t byte, std::size_t bit);

// Every set, in the order declared above.
std::span<const FuseBitNames* const> AllFuseBitNames();

// The set with this name, or null.
const FuseBitNames* FindFuseBitNames(std::string_view name);

}  // namespace velkor
