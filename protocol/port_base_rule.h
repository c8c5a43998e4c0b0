/*
 * Where a parallel port card may sit: the one rule for a configured port base, shared by the
 * program (which refuses such a base when it reads it) and the driver (which admits no other
 * block, whatever the program or the registry hands it).
 *
 * A card decodes its registers as one I/O block: eight ports from an 8-aligned base for a
 * standard or EPP port (data, status, control, then the EPP address and data registers).
 * The only exception is the historic third port at 0x3BC, which the monochrome display
 * adapters carried as a block of four. A base is admitted when its block starts at such an
 * alignment, fits below 0x10000, and shares no port with the PC's fixed system ranges
 * (TarnelSystemRanges): a block there would hand the caller the disk controllers, the
 * interrupt routing or the PCI configuration space.
 */
#ifndef VELKOR_PROTOCOL_PORT_BASE_RULE_H
#define VELKOR_PROTOCOL_PORT_BASE_RULE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A card's register block, and its alignment. */
#define TARNEL_CARD_BLOCK_SPAN 8u
/* The one base whose block is only four ports long and 4-aligned. */
#define TARNEL_LPT3_BASE 0x3BCu
#define TARNEL_LPT3_BLOCK_SPAN 4u

/* Why a base is not admitted. */
typedef enum TarnelBaseVerdict {
    TARNEL_BASE_ADMITTED = 0,
    TARNEL_BASE_MISALIGNED, /* not 8-aligned (and not 0x3BC) */
    TARNEL_BASE_BEYOND,     /* the block would pass 0xFFFF */
    TARNEL_BASE_SYSTEM      /* the block shares a port with a fixed system range */
} TarnelBaseVerdict;

/* A fixed system range, first and last port included, with its owner in English. */
typedef struct TarnelPortRange {
    uint16_t first;
    uint16_t last;
    const char* owner;
} TarnelPortRange;

/* The fixed ranges, in address order; *count receives their number. */
const TarnelPortRange* TarnelSystemRanges(size_t* count);

/* Ports in the block a card at `base` decodes: 4 for 0x3BC, else 8. */
uint32_t TarnelCardBlockSpan(uint32_t base);

/* Judges a base; when it overlaps a system range and `range` is given, *range names it. */
TarnelBaseVerdict TarnelJudgePortBase(uint32_t base, const TarnelPortRange** range);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_PROTOCOL_PORT_BASE_RULE_H */
