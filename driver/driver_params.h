/*
 * The driver's shifting parameters: the only state the driver keeps between requests apart
 * from its owner flag (driver/dispatch.h) and the closed I/O permission map it installs at
 * unload. Written only by SET_PARAMS and reset when a new owner opens the device; read by
 * every shifting routine.
 *
 * The core holds no instance of its own: whoever hosts it (the kernel glue, or the program's
 * in-process channel) owns the one zero-initialised instance and passes it in. Zero means
 * family AVR with cable kind 0, for which the routines move no line.
 */
#ifndef VELKOR_DRIVER_DRIVER_PARAMS_H
#define VELKOR_DRIVER_DRIVER_PARAMS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DriverParams {
    uint8_t cable_kind;      /* 7 to 11; any other value carries no transfer */
    uint16_t port_base;      /* data register at port_base, status register at port_base + 1 */
    uint16_t delay_count;    /* data-register reads per clock half-period */
    uint16_t page_size;      /* bytes per page for the page write, at most 256 */
    uint16_t family;         /* 0 = AVR, 1 = 89S5x */
    uint16_t at89_byte_wait; /* data-register reads after each data byte of an 89S5x page write */
} DriverParams;

/*
 * Decodes a SET_PARAMS request of TARNEL_SET_PARAMS_LENGTH bytes into *params. Returns 1 when
 * stored, 0 when the request is refused and *params is left as it was.
 *
 * A page size above 256 is refused rather than clamped: no supported chip has such a page, so
 * the request is corrupt, and storing the rest of a corrupt parameter set would let the next
 * commands shift with a cable, port or family the program never meant. A port base that is
 * not one of the allowed parallel-port bases (driver/port_guard.h) is refused for the same
 * reason, and because the routines would otherwise reach whatever port it names. So is a
 * delay count above TARNEL_MAX_DELAY_COUNT or an 89S5x byte wait above
 * TARNEL_MAX_AT89_BYTE_WAIT: the program never sends one.
 */
int TarnelDecodeParams(const uint8_t* request, DriverParams* params);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_DRIVER_DRIVER_PARAMS_H */
