#include "devices/fuse_bit_names.h"

#include "devices/clock_wizard.h"

namespace velkor {

// Each set is written out in full, one line per fuse byte (bits 0..7), so that a set can be
// read against a data sheet without following references to other sets.

// clang-format off
constexpr FuseBitNames FuseNamesTiny12{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "RSTDISBL", "SPIEN", "BODEN", "BODLEVEL",
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "tiny12"};

constexpr FuseBitNames FuseNamesTiny13{
    {"CKSEL0", "CKSEL1", "SUT0", "SUT1", "CKDIV8", "WDTON", "EESAVE", "SPIEN",
     "RSTDISBL", "BODLEVEL0", "BODLEVEL1", "DWEN", "SELFPRGEN", nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny13, "tiny13"};

constexpr FuseBitNames FuseNamesTiny15{
    {"CKSEL0", "CKSEL1", nullptr, nullptr, "RSTDISBL", "SPIEN", "BODEN", "BODLEVEL",
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny15, "tiny15"};

constexpr FuseBitNames FuseNamesTiny26{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "PLLCK",
     "BODEN", "BODLEVEL", "EESAVE", "SPIEN", "RSTDISBL", nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny26, "tiny26"};

constexpr FuseBitNames FuseNamesTiny2313{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "RSTDISBL", "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "WDTON", "SPIEN", "EESAVE", "DWEN",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny2313, "tiny2313"};

constexpr FuseBitNames FuseNamesMega48{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SPMEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega48, "mega48"};

constexpr FuseBitNames FuseNamesMega88{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega48, "mega88"};

constexpr FuseBitNames FuseNamesMega8{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "RSTDISBL",
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega8, "mega8"};

constexpr FuseBitNames FuseNamesMega16{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "JTAGEN", "OCDEN",
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega8, "mega16"};

constexpr FuseBitNames FuseNamesMega8515{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "S8515C",
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega8, "mega8515"};

constexpr FuseBitNames FuseNamesMega8535{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "S8535C",
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega8, "mega8535"};

// The extended names sit on bits 0..3 although the writable bits are 1..4 (mask 1E): the
// panel shows BODLEVEL0 on a disabled box and offers the unnamed bit 4 nowhere.
constexpr FuseBitNames FuseNamesMega162{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "M161c", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega162, "mega162"};

// Extended bit 0 is writable on the mega169 (mask 0F) but has no name, so its box is hidden.
constexpr FuseBitNames FuseNamesMega165{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "", "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega165, "mega165"};

constexpr FuseBitNames FuseNamesMega325{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "RSTDISBL", "BODLEVEL0", "BODLEVEL1", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega165, "mega325"};

constexpr FuseBitNames FuseNamesMega128{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "JTAGEN", "OCDEN",
     "WDTON", "M103C", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega8, "mega128"};

constexpr FuseBitNames FuseNamesNone{
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "none"};
// clang-format on

namespace {

constexpr const FuseBitNames* kAllSets[] = {
    &FuseNamesTiny12,   &FuseNamesTiny13,   &FuseNamesTiny15,   &FuseNamesTiny26,
    &FuseNamesTiny2313, &FuseNamesMega48,   &FuseNamesMega88,   &FuseNamesMega8,
    &FuseNamesMega16,   &FuseNamesMega8515, &FuseNamesMega8535, &FuseNamesMega162,
    &FuseNamesMega165,  &FuseNamesMega325,  &FuseNamesMega128,  &FuseNamesNone,
};

}  // namespace

const char* FuseBitName(const FuseBitNames& names, std::size_t byte, std::size_t bit) {
    if (byte >= 3 || bit >= 8) return nullptr;
    const char* name = names.bits[8 * byte + bit];
    return (name != nullptr && name[0] != '\0') ? name : nullptr;
}

std::span<const FuseBitNames* const> AllFuseBitNames() {
    return kAllSets;
}

const FuseBitNames* FindFuseBitNames(std::string_view name) {
    for (const FuseBitNames* set : kAllSets) {
        if (name == set->name) return set;
    }
    return nullptr;
}

}  // namespace velkor
