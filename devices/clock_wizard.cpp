#include "devices/clock_wizard.h"

namespace velkor {

namespace {

// The texts are shown as they stand: the tabs and the trailing blanks of some entries are part
// of what the user sees in the drop-down lists.

// clang-format off
constexpr StartupOption kStartupS1[] = {
    {0x00, "陶瓷谐振器，电源快速上升", "Ceramic resonator, fast rising power"},
    {0x10, "陶瓷谐振器，电源缓慢上升", "Ceramic resonator, slowly rising power"},
    {0x20, "陶瓷谐振器， BOD 使能", "Ceramic resonator, brown-out detection enabled"},
    {0x30, "陶瓷谐振器，电源快速上升", "Ceramic resonator, fast rising power"},
    {0x01, "陶瓷谐振器，电源缓慢上升", "Ceramic resonator, slowly rising power"},
    {0x11, "石英振荡器， BOD 使能", "Crystal oscillator, brown-out detection enabled"},
    {0x21, "石英振荡器，电源快速上升", "Crystal oscillator, fast rising power"},
    {0x31, "石英振荡器，电源慢速上升", "Crystal oscillator, slowly rising power"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS2[] = {
    {0x00, "电源快速上升或BOD 使能", "Fast rising power or brown-out detection enabled"},
    {0x10, "电源缓慢上升", "Slowly rising power"},
    {0x20, "启动时频率已经稳定", "Frequency already stable at start-up"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS3[] = {
    {0x00, "BOD 使能 1k CK", "Brown-out detection enabled, 1K clocks"},
    {0x10, "电源快速上升 1k CK", "Fast rising power, 1K clocks"},
    {0x20, "电源缓慢上升 1k CK", "Slowly rising power, 1K clocks"},
    {0x01, "BOD 使能 32k CK", "Brown-out detection enabled, 32K clocks"},
    {0x11, "电源快速上升 32k CK", "Fast rising power, 32K clocks"},
    {0x21, "电源缓慢上升 32k CK", "Slowly rising power, 32K clocks"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS4[] = {
    {0x00, "BOD 使能", "Brown-out detection enabled"},
    {0x10, "电源快速上升", "Fast rising power"},
    {0x20, "电源缓慢上升", "Slowly rising power"},
    {0x30, "电源快速上升或BOD 使能", "Fast rising power or brown-out detection enabled"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS5[] = {
    {0x00, "BOD 使能", "Brown-out detection enabled"},
    {0x10, "电源快速上升", "Fast rising power"},
    {0x20, "电源缓慢上升", "Slowly rising power"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS6[] = {
    {0x00, "BOD 使能", "Brown-out detection enabled"},
    {0x04, "电源快速上升", "Fast rising power"},
    {0x08, "电源缓慢上升", "Slowly rising power"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS7[] = {
    {0x00, "BOD 使能", "Brown-out detection enabled"},
    {0x10, "电源快速上升", "Fast rising power"},
    {0x20, "电源缓慢上升 1k CK ", "Slowly rising power, 1K clocks"},
    {0x30, "电源缓慢上升 16k CK ", "Slowly rising power, 16K clocks"},
    {0x00, nullptr},
};

constexpr StartupOption kStartupS8[] = {
    {0x00, "BOD禁止，慢速上升电源", "Brown-out detection disabled, slowly rising power"},
    {0x01, "BOD禁止，慢速上升电源", "Brown-out detection disabled, slowly rising power"},
    {0x02, "BOD禁止，快速上升电源", "Brown-out detection disabled, fast rising power"},
    {0x03, "BOD", "Brown-out detection"},
    {0x00, nullptr},
};
// The low-frequency crystal of the tiny24/25 families: start-up time after power-on.
constexpr StartupOption kStartupS9[] = {
    {0x00, "1k CK, 电源快速上升或BOD 使能", "1K clocks, fast rising power or brown-out detection enabled"},
    {0x10, "32k CK, 电源快速上升", "32K clocks, fast rising power"},
    {0x20, "32k CK, 电源缓慢上升", "32K clocks, slowly rising power"},
    {0x00, nullptr},
};
// clang-format on

}  // namespace

constexpr StartupGroup StartupGroupS1{0x31, kStartupS1, "S1"};
constexpr StartupGroup StartupGroupS2{0x30, kStartupS2, "S2"};
constexpr StartupGroup StartupGroupS3{0x31, kStartupS3, "S3"};
constexpr StartupGroup StartupGroupS4{0x30, kStartupS4, "S4"};
constexpr StartupGroup StartupGroupS5{0x30, kStartupS5, "S5"};
constexpr StartupGroup StartupGroupS6{0x0C, kStartupS6, "S6"};
constexpr StartupGroup StartupGroupS7{0x30, kStartupS7, "S7"};
constexpr StartupGroup StartupGroupS8{0x03, kStartupS8, "S8"};
constexpr StartupGroup StartupGroupS9{0x30, kStartupS9, "S9"};

namespace {

// clang-format off
constexpr ClockOption kClockMega8[] = {
    {0x01, "内部RC振荡1MHZ", &StartupGroupS5},
    {0x02, "内部RC振荡2MHZ", &StartupGroupS5},
    {0x03, "内部RC振荡4MHZ", &StartupGroupS5},
    {0x04, "内部RC振荡8MHZ", &StartupGroupS5, "Internal RC oscillator, 8 MHz"},
    {0x0A, "石英/陶瓷振荡器(0.4-0.9MHZ)", &StartupGroupS1},
    {0x0C, "石英/陶瓷振荡器(0.9-3.0MHZ)", &StartupGroupS1},
    {0x0E, "石英/陶瓷振荡器(3.0-8.0MHZ)", &StartupGroupS1},
    {0x09, "低频晶振(32.768KHZ)", &StartupGroupS2},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x05, "外部RC振荡≤0.9MHZ\t", &StartupGroupS4},
    {0x06, "\t外部RC振荡0.9-3.0MHZ", &StartupGroupS4},
    {0x07, "外部RC振荡3.0-8.0MHZ", &StartupGroupS4},
    {0x08, "\t外部RC振荡8.0-12.0MHZ", &StartupGroupS4},
    {0x00, nullptr, nullptr},
};

// Two sources share the value 0E; synchronising from the fuse bits always finds the first.
constexpr ClockOption kClockMega48[] = {
    {0x08, "低功耗晶振0.4-0.9MHZ(仅陶瓷)", &StartupGroupS1, "Low-power crystal, 0.4-0.9 MHz (ceramic only)"},
    {0x0A, "低功耗晶振0.9-3.0MHZ", &StartupGroupS1, "Low-power crystal, 0.9-3.0 MHz"},
    {0x0C, "低功耗晶振3.0-8.0MHZ", &StartupGroupS1, "Low-power crystal, 3.0-8.0 MHz"},
    {0x0E, "低功耗晶振8.0-16.0MHZ", &StartupGroupS1, "Low-power crystal, 8.0-16.0 MHz"},
    {0x0E, "满振幅晶振\t振荡器(0.4-25MHZ)", &StartupGroupS1, "Full-swing crystal oscillator, 0.4-25 MHz"},
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x03, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x04, "低频晶振(32.768KHZ)", &StartupGroupS3, "Low-frequency crystal, 32.768 kHz"},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

constexpr ClockOption kClockTiny13[] = {
    {0x02, "内部可调RC振荡9.6MHZ", &StartupGroupS6},
    {0x01, "内部可调RC振荡4.8MHZ", &StartupGroupS6},
    {0x03, "内部RC振荡128KHZ", &StartupGroupS6},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS6},
    {0x00, nullptr, nullptr},
};

constexpr ClockOption kClockTiny2313[] = {
    {0x02, "内部RC振荡4MHZ", &StartupGroupS5, "Internal RC oscillator, 4 MHz"},
    {0x04, "内部RC振荡8MHZ", &StartupGroupS5, "Internal RC oscillator, 8 MHz"},
    {0x08, "晶振0.4-0.9MHZ(仅陶瓷)", &StartupGroupS1, "Crystal, 0.4-0.9 MHz (ceramic only)"},
    {0x0A, "晶振0.9-3.0MHZ", &StartupGroupS1, "Crystal, 0.9-3.0 MHz"},
    {0x0C, "晶振3.0-8.0MHZ", &StartupGroupS1, "Crystal, 3.0-8.0 MHz"},
    {0x0E, "晶振8.0-16.0MHZ", &StartupGroupS1, "Crystal, 8.0-16.0 MHz"},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x06, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x00, nullptr, nullptr},
};

// Bit 7 is PLLCK: every source but the PLL clock leaves it unprogrammed.
constexpr ClockOption kClockTiny26[] = {
    {0x81, "内部RC振荡1MHZ", &StartupGroupS5},
    {0x82, "内部RC振荡2MHZ", &StartupGroupS5},
    {0x83, "内部RC振荡4MHZ", &StartupGroupS5},
    {0x84, "内部RC振荡8MHZ", &StartupGroupS5},
    {0x8A, "陶瓷振荡器(0.4-0.9MHZ)", &StartupGroupS1},
    {0x8C, "石英/陶瓷振荡器(0.9-3.0MHZ)", &StartupGroupS1},
    {0x8E, "石英/陶瓷振荡器(3.0-16.0MHZ)", &StartupGroupS1},
    {0x89, "低频晶振(32.768KHZ)", &StartupGroupS2},
    {0x01, "PLL时钟", &StartupGroupS7},
    {0x80, "外部时钟(有源晶振)", &StartupGroupS5},
    {0x85, "外部RC振荡≤0.9MHZ\t", &StartupGroupS4},
    {0x86, "\t外部RC振荡0.9-3.0MHZ", &StartupGroupS4},
    {0x87, "外部RC振荡3.0-8.0MHZ", &StartupGroupS4},
    {0x88, "\t外部RC振荡8.0-12.0MHZ", &StartupGroupS4},
    {0x00, nullptr, nullptr},
};

constexpr ClockOption kClockMega165[] = {
    {0x08, "陶瓷振荡器(0.4-0.9MHZ)", &StartupGroupS1},
    {0x0A, "石英/陶瓷振荡器(0.9-3.0MHZ)", &StartupGroupS1},
    {0x0C, "石英/陶瓷振荡器(3.0-8.0MHZ)", &StartupGroupS1},
    {0x0E, "石英/陶瓷振荡器(8-16MHZ)", &StartupGroupS1},
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x03, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x06, "低频晶振(32.768KHZ)", &StartupGroupS2},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

constexpr ClockOption kClockMega162[] = {
    {0x08, "陶瓷振荡器(0.4-0.9MHZ)", &StartupGroupS1},
    {0x0A, "石英/陶瓷振荡器(0.9-3.0MHZ)", &StartupGroupS1},
    {0x0C, "石英/陶瓷振荡器(3.0-8.0MHZ)", &StartupGroupS1},
    {0x0E, "石英/陶瓷振荡器(8-16MHZ)", &StartupGroupS1},
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x03, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x04, "低频晶振(32.768KHZ)", &StartupGroupS2},
    {0x06, "低频晶振(32.768KHZ),使用内部电容", &StartupGroupS2},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

// The tiny15 runs only from its internal oscillator: a single source, and only the start-up
// bits to choose.
constexpr ClockOption kClockTiny15[] = {
    {0x00, "内部RC振荡1.6MHz", &StartupGroupS8},
    {0x00, nullptr, nullptr},
};

// tiny25/45/85: CKSEL 0001 is the 64 MHz PLL divided to 16 MHz, 0011 the 6.4 MHz tiny15
// compatibility clock, 0110 the only low-frequency crystal setting; 1000..1111 are crystals by
// frequency range, with CKSEL0 belonging to the start-up choice.
constexpr ClockOption kClockTiny25[] = {
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x01, "高频PLL时钟16MHZ", &StartupGroupS7, "High-frequency PLL clock, 16 MHz"},
    {0x03, "内部RC振荡6.4MHZ(tiny15兼容)", &StartupGroupS5, "Internal RC oscillator, 6.4 MHz (tiny15 compatible)"},
    {0x04, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x06, "低频晶振(32.768KHZ)", &StartupGroupS9, "Low-frequency crystal, 32.768 kHz"},
    {0x08, "陶瓷谐振器0.4-0.9MHZ", &StartupGroupS1, "Ceramic resonator, 0.4-0.9 MHz"},
    {0x0A, "晶振0.9-3.0MHZ", &StartupGroupS1, "Crystal, 0.9-3.0 MHz"},
    {0x0C, "晶振3.0-8.0MHZ", &StartupGroupS1, "Crystal, 3.0-8.0 MHz"},
    {0x0E, "晶振8.0MHZ以上", &StartupGroupS1, "Crystal, 8.0 MHz and above"},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

// tiny24/44/84(A): as the tiny25 family without the PLL and the compatibility clock.
constexpr ClockOption kClockTiny24[] = {
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x04, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x06, "低频晶振(32.768KHZ)", &StartupGroupS9, "Low-frequency crystal, 32.768 kHz"},
    {0x08, "陶瓷谐振器0.4-0.9MHZ", &StartupGroupS1, "Ceramic resonator, 0.4-0.9 MHz"},
    {0x0A, "晶振0.9-3.0MHZ", &StartupGroupS1, "Crystal, 0.9-3.0 MHz"},
    {0x0C, "晶振3.0-8.0MHZ", &StartupGroupS1, "Crystal, 3.0-8.0 MHz"},
    {0x0E, "晶振8.0MHZ以上", &StartupGroupS1, "Crystal, 8.0 MHz and above"},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

// tiny261/461/861(A): CKSEL 0001 PLL, 0010 calibrated RC, 0011 128 kHz.
constexpr ClockOption kClockTiny261[] = {
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x01, "高频PLL时钟16MHZ", &StartupGroupS7, "High-frequency PLL clock, 16 MHz"},
    {0x03, "内部RC振荡128KHZ", &StartupGroupS5, "Internal RC oscillator, 128 kHz"},
    {0x08, "陶瓷谐振器0.4-0.9MHZ", &StartupGroupS1, "Ceramic resonator, 0.4-0.9 MHz"},
    {0x0A, "晶振0.9-3.0MHZ", &StartupGroupS1, "Crystal, 0.9-3.0 MHz"},
    {0x0C, "晶振3.0-8.0MHZ", &StartupGroupS1, "Crystal, 3.0-8.0 MHz"},
    {0x0E, "晶振8.0MHZ以上", &StartupGroupS1, "Crystal, 8.0 MHz and above"},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

// mega16U4/32U4, mega8U2/16U2/32U2, AT90USB82/162/646/647/1286/1287: the USB parts run from a
// low-power crystal (1000..1111), the calibrated RC oscillator (0010) or an external clock.
constexpr ClockOption kClockMega32U4[] = {
    {0x08, "低功耗晶振0.4-0.9MHZ(仅陶瓷)", &StartupGroupS1, "Low-power crystal, 0.4-0.9 MHz (ceramic only)"},
    {0x0A, "低功耗晶振0.9-3.0MHZ", &StartupGroupS1, "Low-power crystal, 0.9-3.0 MHz"},
    {0x0C, "低功耗晶振3.0-8.0MHZ", &StartupGroupS1, "Low-power crystal, 3.0-8.0 MHz"},
    {0x0E, "低功耗晶振8.0-16.0MHZ", &StartupGroupS1, "Low-power crystal, 8.0-16.0 MHz"},
    {0x02, "内部可调RC振荡8MHZ", &StartupGroupS5, "Internal calibrated RC oscillator, 8 MHz"},
    {0x00, "外部时钟(有源晶振)", &StartupGroupS5, "External clock"},
    {0x00, nullptr, nullptr},
};

constexpr ClockOption kClockNone[] = {
    {0x00, nullptr, nullptr},
};
// clang-format on

}  // namespace

constexpr ClockWizard ClockWizardMega8{0x0F, kClockMega8, "mega8"};
constexpr ClockWizard ClockWizardMega48{0x0F, kClockMega48, "mega48"};
constexpr ClockWizard ClockWizardTiny13{0x03, kClockTiny13, "tiny13"};
constexpr ClockWizard ClockWizardTiny2313{0x0F, kClockTiny2313, "tiny2313"};
constexpr ClockWizard ClockWizardTiny26{0x8F, kClockTiny26, "tiny26"};
constexpr ClockWizard ClockWizardMega165{0x0F, kClockMega165, "mega165"};
constexpr ClockWizard ClockWizardMega162{0x0F, kClockMega162, "mega162"};
constexpr ClockWizard ClockWizardTiny15{0x00, kClockTiny15, "tiny15"};
constexpr ClockWizard ClockWizardTiny25{0x0F, kClockTiny25, "tiny25"};
constexpr ClockWizard ClockWizardTiny24{0x0F, kClockTiny24, "tiny24"};
constexpr ClockWizard ClockWizardTiny261{0x0F, kClockTiny261, "tiny261"};
constexpr ClockWizard ClockWizardMega32U4{0x0F, kClockMega32U4, "mega32U4"};
constexpr ClockWizard ClockWizardNone{0x00, kClockNone, "none"};

namespace {

constexpr const ClockWizard* kAllWizards[] = {
    &ClockWizardMega8,  &ClockWizardMega48,  &ClockWizardTiny13,  &ClockWizardTiny2313,
    &ClockWizardTiny26, &ClockWizardMega165, &ClockWizardMega162, &ClockWizardTiny15,
    &ClockWizardTiny25, &ClockWizardTiny24,  &ClockWizardTiny261, &ClockWizardMega32U4,
    &ClockWizardNone,
};

constexpr const StartupGroup* kAllGroups[] = {
    &StartupGroupS1, &StartupGroupS2, &StartupGroupS3, &StartupGroupS4, &StartupGroupS5,
    &StartupGroupS6, &StartupGroupS7, &StartupGroupS8, &StartupGroupS9,
};

}  // namespace

std::size_t ClockOptionCount(const ClockWizard& wizard) {
    std::size_t count = 0;
    while (wizard.options[count].description != nullptr) ++count;
    return count;
}

std::size_t StartupOptionCount(const StartupGroup& group) {
    std::size_t count = 0;
    while (group.options[count].description != nullptr) ++count;
    return count;
}

std::span<const ClockWizard* const> AllClockWizards() {
    return kAllWizards;
}

std::span<const StartupGroup* const> AllStartupGroups() {
    return kAllGroups;
}

const ClockWizard* FindClockWizard(std::string_view name) {
    for (const ClockWizard* wizard : kAllWizards) {
        if (name == wizard->name) return wizard;
    }
    return nullptr;
}

}  // namespace velkor
