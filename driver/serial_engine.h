/*
 * The driver's own bit shifting: whole bytes, instructions and flash pages moved to and from
 * the target in one device call, where the program's transfer on the driver path would need a
 * device call for every port access. The line sequences are the program's SendByte and
 * ReceiveByte, so a target cannot tell which side shifted.
 *
 * Every routine reads the shifting parameters and reaches the port only through the seam; the
 * lines of each cable come from the cable table shared with the program (protocol/cable_pins.h).
 */
#ifndef VELKOR_DRIVER_SERIAL_ENGINE_H
#define VELKOR_DRIVER_SERIAL_ENGINE_H

#include <stdint.h>

#include "driver/driver_params.h"
#include "driver/port_io.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Eight bits out, most significant first: 17 writes, each followed by one wait. A pair
 * without a row in the cable table only waits once. */
void TarnelSendByte(const DriverParams* params, const TarnelPortIo* io, uint8_t value);

/* Eight bits in, most significant first, with MOSI held at 0. A pair without a row in the
 * cable table returns 0 without touching the port. */
uint8_t TarnelReceiveByte(const DriverParams* params, const TarnelPortIo* io);

/* Result of TarnelWriteByte. */
#define TARNEL_WRITE_DONE 0
#define TARNEL_WRITE_KIND_NOT_HANDLED 1

/* Sends one AVR byte-write instruction (whatever the family): kind 0 flash (a data byte of
 * 0xFF is already the erased value and is skipped), 1 flash always, 2 EEPROM. Any other kind
 * sends nothing. Does not wait for the write to finish. */
int TarnelWriteByte(const DriverParams* params, const TarnelPortIo* io, int8_t memory_kind,
                    uint32_t address, uint8_t data);

/* Writes one flash page starting at the byte address: AVR loads page-size bytes and then
 * commits the page; 89S5x sends the page-write instruction and the data bytes, each followed
 * by the 89S5x byte wait. Any other family sends nothing. At most data_length bytes of data
 * are used, whatever the page size. Does not wait for the write to finish. */
void TarnelWritePage(const DriverParams* params, const TarnelPortIo* io, uint32_t address,
                     const uint8_t* data, uint32_t data_length);

/* Sends one AVR read instruction (whatever the family) and receives its answer: kind 0 flash,
 * 2 EEPROM, 3 signature. Any other kind touches no line and answers 0xFF. */
uint8_t TarnelReadByte(const DriverParams* params, const TarnelPortIo* io, uint8_t memory_kind,
                       uint32_t address);

/* Reads one 256-byte 89S5x page into destination[0..255]; for any other family the
 * destination is left untouched. Returns 256 in every case. */
int TarnelReadPage(const DriverParams* params, const TarnelPortIo* io, uint32_t address,
                   uint8_t* destination);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_DRIVER_SERIAL_ENGINE_H */
