/*
 * The ports the driver may touch. A kernel driver that reads and writes whatever port a
 * caller names hands every program that can open it the disk controllers, the interrupt
 * controller and the rest of the machine, so the driver reaches only the register blocks of
 * the parallel ports the program drives: data, status and control register (base, base + 1,
 * base + 2) of each allowed base. Every request is checked here before a port is touched.
 */
#ifndef VELKOR_DRIVER_PORT_GUARD_H
#define VELKOR_DRIVER_PORT_GUARD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Registers per block: data, status, control. */
#define TARNEL_PORT_BLOCK_SPAN 3u

/* One bit per port for all 65536 ports, as the x86 I/O permission map lays them out (the
 * kernel glue keeps a closed one to install at unload). */
#define TARNEL_IO_MAP_BYTES 8192u

/* The driver's own value, under its service key, naming a port card's base to admit. */
#define TARNEL_PORT_BASE_VALUE "PortBase"
#define TARNEL_PORT_BASE_VALUE_W L"PortBase"

/* Admits one more block besides LPT1..LPT3: a port card's base the installation configured,
 * read once at load. Replaces any earlier one. Refuses (returns 0, admitting nothing more) a
 * base the card rule refuses (protocol/port_base_rule.h): not aligned as a card's block, past
 * 0xFFFF, or sharing a port with the PC's fixed system ranges. */
int TarnelAdmitExtraBase(uint32_t base);

/* 1 when base starts an allowed block. */
int TarnelIsAllowedBase(uint16_t base);

/* 1 when port lies inside an allowed block. */
int TarnelIsAllowedPort(uint16_t port);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_DRIVER_PORT_GUARD_H */
