#include "protocol/cable_pins.h"

/* clang-format off */
static const CablePins kCablePins[] = {
    /* kind                  family                 MOSI  SCK   RESET rest  MISO  inverted */
    {CABLE_KIND_UNNAMED,     TARNEL_FAMILY_AVR,     0x02, 0x01, 0x04, 0x08, 0x80, 1},
    {CABLE_KIND_STK200,      TARNEL_FAMILY_AVR,     0x20, 0x10, 0x80, 0x00, 0x40, 0},
    {CABLE_KIND_XILINX,      TARNEL_FAMILY_AVR,     0x01, 0x02, 0x04, 0x10, 0x10, 0},
    {CABLE_KIND_LATTICE,     TARNEL_FAMILY_AVR,     0x01, 0x02, 0x04, 0x00, 0x40, 0},
    {CABLE_KIND_BYTEBLASTER, TARNEL_FAMILY_AVR,     0x40, 0x01, 0x02, 0x00, 0x80, 1},
    /* 89S5x parts hold RESET high while programming, so it is part of the rest value. */
    {CABLE_KIND_STK200,      TARNEL_FAMILY_AT89S5X, 0x20, 0x10, 0x80, 0x80, 0x40, 0},
    {CABLE_KIND_BYTEBLASTER, TARNEL_FAMILY_AT89S5X, 0x40, 0x01, 0x02, 0x02, 0x80, 1},
};
/* clang-format on */

static const CableStep kEndOnly[] = {{CABLE_STEP_END, 0}};
static const CableStep kReleaseUnnamed[] = {{CABLE_STEP_DATA, 0x00}, {CABLE_STEP_END, 0}};
static const CableStep kReleaseStk200Avr[] = {{CABLE_STEP_DATA, 0x0C}, {CABLE_STEP_WAIT, 0},
                                              {CABLE_STEP_WAIT, 0},    {CABLE_STEP_WAIT, 0},
                                              {CABLE_STEP_DATA, 0x8C}, {CABLE_STEP_END, 0}};
static const CableStep kReleaseStk200At89[] = {
    {CABLE_STEP_DATA, 0x0C}, {CABLE_STEP_WAIT, 0}, {CABLE_STEP_WAIT, 0}, {CABLE_STEP_END, 0}};
static const CableStep kReleaseXilinx[] = {{CABLE_STEP_DATA, 0x18}, {CABLE_STEP_END, 0}};
static const CableStep kReleaseLattice[] = {{CABLE_STEP_DATA, 0x08}, {CABLE_STEP_END, 0}};
static const CableStep kReleaseByteBlaster[] = {{CABLE_STEP_CONTROL, 0x00}, {CABLE_STEP_END, 0}};

const CablePins* CableFindPins(uint8_t cable_kind, uint32_t family) {
    for (uint32_t i = 0; i < sizeof kCablePins / sizeof kCablePins[0]; ++i) {
        if (kCablePins[i].cable_kind == cable_kind && kCablePins[i].family == family) {
            return &kCablePins[i];
        }
    }
    return 0;
}

const CableStep* CableReleaseSteps(uint8_t cable_kind, uint32_t family) {
    switch (cable_kind) {
        case CABLE_KIND_UNNAMED:
            return kReleaseUnnamed;
        case CABLE_KIND_STK200:
            return family == TARNEL_FAMILY_AVR ? kReleaseStk200Avr : kReleaseStk200At89;
        case CABLE_KIND_XILINX:
            return kReleaseXilinx;
        case CABLE_KIND_LATTICE:
            return kReleaseLattice;
        case CABLE_KIND_BYTEBLASTER:
            return kReleaseByteBlaster;
        default:
            return kEndOnly;
    }
}
