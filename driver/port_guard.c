#include "driver/port_guard.h"

#include "protocol/port_base_rule.h"

/* The standard parallel-port bases (LPT1, LPT2, LPT3) and one slot for a port card's base
 * that the installation configured (0: none). Every check reads this one table. */
static uint16_t kAllowedBases[] = {0x378, 0x278, 0x3BC, 0};

#define TARNEL_ALLOWED_BASE_COUNT (sizeof kAllowedBases / sizeof kAllowedBases[0])
#define TARNEL_EXTRA_SLOT (TARNEL_ALLOWED_BASE_COUNT - 1u)

int TarnelAdmitExtraBase(uint32_t base) {
    kAllowedBases[TARNEL_EXTRA_SLOT] = 0;
    /* The same rule the program applies when it reads the base (protocol/port_base_rule.h):
     * a registry value written by anyone else gets no further. */
    if (TarnelJudgePortBase(base, 0) != TARNEL_BASE_ADMITTED) return 0;
    for (size_t i = 0; i < TARNEL_EXTRA_SLOT; ++i) {
        if (kAllowedBases[i] == base) return 1; /* already one of the standard blocks */
    }
    kAllowedBases[TARNEL_EXTRA_SLOT] = (uint16_t)base;
    return 1;
}

int TarnelIsAllowedBase(uint16_t base) {
    if (base == 0) return 0; /* the empty slot */
    for (size_t i = 0; i < TARNEL_ALLOWED_BASE_COUNT; ++i) {
        if (kAllowedBases[i] == base) return 1;
    }
    return 0;
}

int TarnelIsAllowedPort(uint16_t port) {
    for (size_t i = 0; i < TARNEL_ALLOWED_BASE_COUNT; ++i) {
        if (kAllowedBases[i] == 0) continue;
        /* Compared as a distance so that a block near 0xFFFF cannot wrap around to port 0. */
        if (port >= kAllowedBases[i] &&
            (uint32_t)(port - kAllowedBases[i]) < TARNEL_PORT_BLOCK_SPAN) {
            return 1;
        }
    }
    return 0;
}
