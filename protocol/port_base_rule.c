#include "protocol/port_base_rule.h"

/* The ports every PC decodes on its system board or chipset, whatever cards it holds. The
 * display adapter's block leaves out 0x3BC..0x3BF, the printer port of the same adapters. */
static const TarnelPortRange kSystemRanges[] = {
    {0x000, 0x0FF, "system board (DMA, interrupt controllers, timer, keyboard, RTC)"},
    {0x170, 0x177, "secondary IDE controller"},
    {0x1F0, 0x1F7, "primary IDE controller"},
    {0x376, 0x376, "secondary IDE control register"},
    {0x3B0, 0x3BB, "display adapter"},
    {0x3C0, 0x3DF, "display adapter"},
    {0x3F6, 0x3F6, "primary IDE control register"},
    {0x4D0, 0x4D1, "interrupt edge/level control (ELCR)"},
    {0xCF8, 0xCFF, "PCI configuration ports"},
};

const TarnelPortRange* TarnelSystemRanges(size_t* count) {
    *count = sizeof kSystemRanges / sizeof kSystemRanges[0];
    return kSystemRanges;
}

uint32_t TarnelCardBlockSpan(uint32_t base) {
    return base == TARNEL_LPT3_BASE ? TARNEL_LPT3_BLOCK_SPAN : TARNEL_CARD_BLOCK_SPAN;
}

TarnelBaseVerdict TarnelJudgePortBase(uint32_t base, const TarnelPortRange** range) {
    if (base != TARNEL_LPT3_BASE && base % TARNEL_CARD_BLOCK_SPAN != 0) {
        return TARNEL_BASE_MISALIGNED;
    }
    const uint32_t last = base + TarnelCardBlockSpan(base) - 1u;
    if (last > 0xFFFFu) return TARNEL_BASE_BEYOND;
    for (size_t i = 0; i < sizeof kSystemRanges / sizeof kSystemRanges[0]; ++i) {
        if (base <= kSystemRanges[i].last && last >= kSystemRanges[i].first) {
            if (range != 0) *range = &kSystemRanges[i];
            return TARNEL_BASE_SYSTEM;
        }
    }
    return TARNEL_BASE_ADMITTED;
}
