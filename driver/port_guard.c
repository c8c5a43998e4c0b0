#include "driver/port_guard.h"

/* The standard parallel-port bases (LPT1, LPT2, LPT3) and one slot for a port card's base
 * that the installation configured (0: none). Every check and the permission map read this
 * one table. */
static uint16_t kAllowedBases[] = {0x378, 0x278, 0x3BC, 0};

#define TARNEL_ALLOWED_BASE_COUNT (sizeof kAllowedBases / sizeof kAllowedBases[0])
#define TARNEL_EXTRA_SLOT (TARNEL_ALLOWED_BASE_COUNT - 1u)

/* The PCI configuration mechanism's address and data ports: a block that reaches them would
 * hand user mode the configuration space of every device in the machine. */
#define TARNEL_PCI_CONFIG_FIRST 0xCF8u
#define TARNEL_PCI_CONFIG_LAST 0xCFFu

int TarnelAdmitExtraBase(uint32_t base) {
    kAllowedBases[TARNEL_EXTRA_SLOT] = 0;
    /* Below 0x100 sit the system board's controllers (DMA, interrupts, timer, keyboard); the
     * block's three registers must end below 0x10000. */
    if (base < 0x100u || base > 0x10000u - TARNEL_PORT_BLOCK_SPAN) return 0;
    if (base <= TARNEL_PCI_CONFIG_LAST && base + TARNEL_PORT_BLOCK_SPAN > TARNEL_PCI_CONFIG_FIRST)
        return 0;
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

void TarnelFillIoMap(uint8_t* map) {
    for (size_t i = 0; i < TARNEL_IO_MAP_BYTES; ++i) map[i] = 0xFF;
    for (size_t i = 0; i < TARNEL_ALLOWED_BASE_COUNT; ++i) {
        if (kAllowedBases[i] == 0) continue;
        for (uint32_t offset = 0; offset < TARNEL_PORT_BLOCK_SPAN; ++offset) {
            const uint32_t port = (uint32_t)kAllowedBases[i] + offset;
            if (port < TARNEL_IO_MAP_BYTES * 8u) map[port / 8u] &= (uint8_t) ~(1u << (port % 8u));
        }
    }
}
