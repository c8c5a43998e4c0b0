/*
 * The five programming cables as register bits: which data-register bit drives the target's
 * MOSI, SCK and RESET lines, which status bit carries MISO and whether it reads inverted, the
 * data value that rests the lines during a transfer, and the steps that leave a cable released
 * after a conversation. The program's engine and the driver's serial engine shift through the
 * same rows, so a byte moved by either side reaches the target on the same lines; neither
 * names a cable in its code.
 *
 * Plain C that also compiles as C++, with nothing beyond <stdint.h>, like the protocol header
 * beside it: the kernel build links it too. The simulator describes its cables separately (as
 * wires between connector pins and chip pins), so that a wrong bit here shows in its runs.
 */
#ifndef VELKOR_PROTOCOL_CABLE_PINS_H
#define VELKOR_PROTOCOL_CABLE_PINS_H

#include <stdint.h>

#include "protocol/tarnel_protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Cable kinds, as the program identifies them and SET_PARAMS carries them. */
#define CABLE_KIND_UNNAMED 7u      /* D3 held high */
#define CABLE_KIND_STK200 8u       /* STK200/STK300 */
#define CABLE_KIND_XILINX 9u       /* Xilinx, D4 held high */
#define CABLE_KIND_LATTICE 10u     /* Lattice */
#define CABLE_KIND_BYTEBLASTER 11u /* ByteBlasterMV */

/* The lines of one cable for one target family (TARNEL_FAMILY_*). */
typedef struct CablePins {
    uint8_t cable_kind;
    uint8_t family;
    uint8_t mosi;          /* data bit driving MOSI */
    uint8_t sck;           /* data bit driving SCK */
    uint8_t reset;         /* data bit driving RESET */
    uint8_t rest;          /* data value with SCK low and MOSI 0 during transfers */
    uint8_t miso_bit;      /* status register bit carrying MISO */
    uint8_t miso_inverted; /* nonzero: MISO is 1 when that status bit reads 0 */
} CablePins;

/* The row for a pair, or null for a pair that carries no transfer (89S5x targets are wired
 * only on the STK200/STK300 and ByteBlasterMV cables). */
const CablePins* CableFindPins(uint8_t cable_kind, uint32_t family);

/* One step of a cable's released state: a data or control register value, or one wait. */
#define CABLE_STEP_END 0u
#define CABLE_STEP_DATA 1u
#define CABLE_STEP_CONTROL 2u
#define CABLE_STEP_WAIT 3u
typedef struct CableStep {
    uint8_t kind; /* CABLE_STEP_* */
    uint8_t value;
} CableStep;

/* The steps that release a cable after a conversation, ending with a CABLE_STEP_END step; a
 * kind that is no cable has only that step. */
const CableStep* CableReleaseSteps(uint8_t cable_kind, uint32_t family);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_PROTOCOL_CABLE_PINS_H */
