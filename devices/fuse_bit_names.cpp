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

// The parts added after the first 43, one set per distinct layout, named after the first
// part that uses it. The names are the data sheets' and avr-libc's.
constexpr FuseBitNames FuseNamesAt90CAN64{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     nullptr, "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "90CAN64"};

constexpr FuseBitNames FuseNamesMega324P{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega48, "mega324P"};

constexpr FuseBitNames FuseNamesMega48P{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega48, "mega48P"};

constexpr FuseBitNames FuseNamesTiny25{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny25, "tiny25"};

constexpr FuseBitNames FuseNamesTiny24{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny24, "tiny24"};

constexpr FuseBitNames FuseNamesTiny87{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "tiny87"};

constexpr FuseBitNames FuseNamesMega128RFA1{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "mega128RFA1"};

constexpr FuseBitNames FuseNamesMega329P{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "RSTDISBL", "BODLEVEL0", "BODLEVEL1", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "mega329P"};

constexpr FuseBitNames FuseNamesMega649P{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "RESERVED", "BODLEVEL0", "BODLEVEL1", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "mega649P"};

constexpr FuseBitNames FuseNamesTiny261{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny261, "tiny261"};

constexpr FuseBitNames FuseNamesMega88P{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega48, "mega88P"};

constexpr FuseBitNames FuseNamesTiny828{
    {"CKSEL0", "CKSEL1", nullptr, nullptr, "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", nullptr, "BODACT0", "BODACT1", "BODPD0", "BODPD1"},
    &ClockWizardNone, "tiny828"};

constexpr FuseBitNames FuseNamesMega328{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega48, "mega328"};

constexpr FuseBitNames FuseNamesMega32M1{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "PSCRVB", "PSCRVA", "PSCRB", nullptr, nullptr},
    &ClockWizardNone, "mega32M1"};

constexpr FuseBitNames FuseNamesTiny4313{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "RSTDISBL", "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "WDTON", "SPIEN", "EESAVE", "DWEN",
     "SELFPRGEN", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardTiny2313, "tiny4313"};

constexpr FuseBitNames FuseNamesAt90PWM2{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", nullptr, "PSCRV", "PSC0RB", "PSC1RB", "PSC2RB"},
    &ClockWizardNone, "90PWM2"};

constexpr FuseBitNames FuseNamesTiny441{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT", nullptr, "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", "BODACT0", "BODACT1", "BODPD0", "BODPD1", "ULPOSCSEL0", "ULPOSCSEL1", "ULPOSCSEL2"},
    &ClockWizardNone, "tiny441"};

constexpr FuseBitNames FuseNamesMega16U4{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "HWBE", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega32U4, "mega16U4"};

constexpr FuseBitNames FuseNamesAt90USB162{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "RSTDSBL", "DWEN",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "HWBE", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega32U4, "90USB162"};

constexpr FuseBitNames FuseNamesMega32U2{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "RSTDISBL", "DWEN",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "HWBE", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardMega32U4, "mega32U2"};

constexpr FuseBitNames FuseNamesMega165A{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8",
     "BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN",
     "RSTDISBL", "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "mega165A"};

constexpr FuseBitNames FuseNamesTiny1634{
    {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT", nullptr, "CKOUT", "CKDIV8",
     "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL",
     "SELFPRGEN", "BODACT0", "BODACT1", "BODPD0", "BODPD1", nullptr, nullptr, nullptr},
    &ClockWizardNone, "tiny1634"};

constexpr FuseBitNames FuseNamesNone{
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    &ClockWizardNone, "none"};
// clang-format on

namespace {

constexpr const FuseBitNames* kAllSets[] = {
    &FuseNamesTiny12,   &FuseNamesTiny13,      &FuseNamesTiny15,   &FuseNamesTiny26,
    &FuseNamesTiny2313, &FuseNamesMega48,      &FuseNamesMega88,   &FuseNamesMega8,
    &FuseNamesMega16,   &FuseNamesMega8515,    &FuseNamesMega8535, &FuseNamesMega162,
    &FuseNamesMega165,  &FuseNamesMega325,     &FuseNamesMega128,  &FuseNamesAt90CAN64,
    &FuseNamesMega324P, &FuseNamesMega48P,     &FuseNamesTiny25,   &FuseNamesTiny24,
    &FuseNamesTiny87,   &FuseNamesMega128RFA1, &FuseNamesMega329P, &FuseNamesMega649P,
    &FuseNamesTiny261,  &FuseNamesMega88P,     &FuseNamesTiny828,  &FuseNamesMega328,
    &FuseNamesMega32M1, &FuseNamesTiny4313,    &FuseNamesAt90PWM2, &FuseNamesTiny441,
    &FuseNamesMega16U4, &FuseNamesAt90USB162,  &FuseNamesMega32U2, &FuseNamesMega165A,
    &FuseNamesTiny1634, &FuseNamesNone,
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
