/*
 * The driver core's only way to the hardware: one-byte port input and output. In the kernel
 * the two functions execute the port instructions; on the host they reach a simulated port,
 * which is how the core is tested and how the program's in-process channel runs it.
 */
#ifndef VELKOR_DRIVER_PORT_IO_H
#define VELKOR_DRIVER_PORT_IO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TarnelPortIo {
    uint8_t (*in)(void* context, uint16_t port);
    void (*out)(void* context, uint16_t port, uint8_t value);
    void* context; /* passed unchanged to both functions */
} TarnelPortIo;

static inline uint8_t TarnelPortIn(const TarnelPortIo* io, uint16_t port) {
    return io->in(io->context, port);
}

static inline void TarnelPortOut(const TarnelPortIo* io, uint16_t port, uint8_t value) {
    io->out(io->context, port, value);
}

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_DRIVER_PORT_IO_H */
