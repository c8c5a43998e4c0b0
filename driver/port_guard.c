#include "driver/port_guard.h"

/* The standard parallel-port bases (LPT1, LPT2, LPT3), the only ones the program drives.
 * Every check and the permission map read this one table: admitting another block, say a
 * PCI card's base configured at load, means one more entry here and nothing else. */
static const uint16_t kAllowedBases[] = {0x378, 0x278, 0x3BC};

#define TARNEL_ALLOWED_BASE_COUNT (sizeof kAllowedBases / sizeof kAllowedBases[0])

int TarnelIsAllowedBase(uint16_t base) {
    for (size_t i = 0; i < TARNEL_ALLOWED_BASE_COUNT; ++i) {
        if (kAllowedBases[i] == base) return 1;
    }
    return 0;
}

int TarnelIsAllowedPort(uint16_t port) {
    for (size_t i = 0; i < TARNEL_ALLOWED_BASE_COUNT; ++i) {
        /* Compared as a distance so that a block near 0xFFFF cannot wrap around to port 0. */
        if (port >= kAllowedBases[i] &&
            (uint32_t)(port - kAllowedBases[i]) < TARNEL_PORT_BLOCK_SPAN) {
            return 1;
        }
    }
    return 0;
}

void TarnelFillIoMap(uint8_t* map) {
    for (size_t i = 0; i < TARNEL_IO_MAP_BYTES; ++i) map[i] = 0xFF;
    for (size_t i = 0; i < TARNEL_ALLOWED_BASE_COUNT; ++i) {
        for (uint32_t offset = 0; offset < TARNEL_PORT_BLOCK_SPAN; ++offset) {
            const uint32_t port = (uint32_t)kAllowedBases[i] + offset;
            if (port < TARNEL_IO_MAP_BYTES * 8u) map[port / 8u] &= (uint8_t) ~(1u << (port % 8u));
        }
    }
}
