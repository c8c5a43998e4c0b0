#include "driver/driver_params.h"

#include "driver/port_guard.h"
#include "protocol/tarnel_protocol.h"

int TarnelDecodeParams(const uint8_t* request, DriverParams* params) {
    /* Each field is 32 bits wide on the wire; only its low bits are meaningful. */
    const uint16_t page_size = TarnelGetU16(request, TARNEL_SET_PARAMS_PAGE_SIZE_OFFSET);
    if (page_size > TARNEL_MAX_PAGE_SIZE) return 0;
    /* Waits beyond what the program ever asks for would hold the caller's thread in the
     * kernel for minutes per request. */
    if (TarnelGetU16(request, TARNEL_SET_PARAMS_DELAY_COUNT_OFFSET) > TARNEL_MAX_DELAY_COUNT ||
        TarnelGetU16(request, TARNEL_SET_PARAMS_AT89_BYTE_WAIT_OFFSET) > TARNEL_MAX_AT89_BYTE_WAIT)
        return 0;
    /* Every shifting routine reaches the port at the stored base, so a base outside the
     * parallel-port blocks would turn the byte and page commands into access to any port. */
    if (!TarnelIsAllowedBase(TarnelGetU16(request, TARNEL_SET_PARAMS_PORT_BASE_OFFSET))) return 0;
    params->cable_kind = TarnelGetU8(request, TARNEL_SET_PARAMS_CABLE_KIND_OFFSET);
    params->port_base = TarnelGetU16(request, TARNEL_SET_PARAMS_PORT_BASE_OFFSET);
    params->delay_count = TarnelGetU16(request, TARNEL_SET_PARAMS_DELAY_COUNT_OFFSET);
    params->page_size = page_size;
    params->family = TarnelGetU16(request, TARNEL_SET_PARAMS_FAMILY_OFFSET);
    params->at89_byte_wait = TarnelGetU16(request, TARNEL_SET_PARAMS_AT89_BYTE_WAIT_OFFSET);
    return 1;
}
