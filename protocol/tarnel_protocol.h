/*
 * The control protocol between VelkorISP and its port driver Tarnel: control codes, buffer
 * layouts and little-endian field access. Both deliverables include this one header, so it is
 * plain C that also compiles as C++ and pulls in nothing beyond <stdint.h> and <stddef.h>
 * (both available to a freestanding kernel build).
 *
 * Every request travels in one caller-owned buffer that serves as input and output. All fields
 * are little-endian; offsets count from the start of the buffer.
 */
#ifndef VELKOR_PROTOCOL_TARNEL_PROTOCOL_H
#define VELKOR_PROTOCOL_TARNEL_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define TARNEL_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define TARNEL_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* ---- Control codes ---------------------------------------------------------------------- */

/* The device's type: in the range Windows leaves to vendors. */
#define TARNEL_DEVICE_TYPE 0xF000u
/* The I/O manager copies the caller's buffer into a system buffer and back. */
#define TARNEL_METHOD_BUFFERED 0u
/* Any handle may send every code; the device has no read or write access distinction. */
#define TARNEL_FILE_ANY_ACCESS 0u

/* The Windows control-code layout written out (device type in bits 16..31, access in bits
 * 14..15, function in bits 2..13, transfer method in bits 0..1), so that the program's side
 * and the host builds need no Windows header to agree with the driver. */
#define TARNEL_CTL_CODE(function)                                                                 \
    ((uint32_t)(((uint32_t)TARNEL_DEVICE_TYPE << 16) | ((uint32_t)TARNEL_FILE_ANY_ACCESS << 14) | \
                ((uint32_t)(function) << 2) | (uint32_t)TARNEL_METHOD_BUFFERED))

#define TARNEL_FUNCTION_READ_PORT 0xF00u
#define TARNEL_FUNCTION_WRITE_PORT 0xF01u
#define TARNEL_FUNCTION_SET_PARAMS 0xF02u
#define TARNEL_FUNCTION_WRITE_BYTE 0xF03u
#define TARNEL_FUNCTION_WRITE_PAGE 0xF04u
#define TARNEL_FUNCTION_READ_BYTE 0xF05u
#define TARNEL_FUNCTION_READ_PAGE 0xF06u

#define IOCTL_TARNEL_READ_PORT TARNEL_CTL_CODE(TARNEL_FUNCTION_READ_PORT)
#define IOCTL_TARNEL_WRITE_PORT TARNEL_CTL_CODE(TARNEL_FUNCTION_WRITE_PORT)
#define IOCTL_TARNEL_SET_PARAMS TARNEL_CTL_CODE(TARNEL_FUNCTION_SET_PARAMS)
#define IOCTL_TARNEL_WRITE_BYTE TARNEL_CTL_CODE(TARNEL_FUNCTION_WRITE_BYTE)
#define IOCTL_TARNEL_WRITE_PAGE TARNEL_CTL_CODE(TARNEL_FUNCTION_WRITE_PAGE)
#define IOCTL_TARNEL_READ_BYTE TARNEL_CTL_CODE(TARNEL_FUNCTION_READ_BYTE)
#define IOCTL_TARNEL_READ_PAGE TARNEL_CTL_CODE(TARNEL_FUNCTION_READ_PAGE)

/* The program and the driver are built and shipped separately and meet only through these
 * numbers; a slip in the arithmetic above must stop the build rather than produce a driver
 * that answers every request with an invalid-parameter status. */
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_READ_PORT == 0xF0003C00u, "READ_PORT code");
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_WRITE_PORT == 0xF0003C04u, "WRITE_PORT code");
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_SET_PARAMS == 0xF0003C08u, "SET_PARAMS code");
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_WRITE_BYTE == 0xF0003C0Cu, "WRITE_BYTE code");
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_WRITE_PAGE == 0xF0003C10u, "WRITE_PAGE code");
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_READ_BYTE == 0xF0003C14u, "READ_BYTE code");
TARNEL_STATIC_ASSERT(IOCTL_TARNEL_READ_PAGE == 0xF0003C18u, "READ_PAGE code");

/* ---- Buffer layouts ------------------------------------------------------------------- */

/* READ_PORT: in = port address (low 16 bits used); out = the byte read, sign-extended to
 * 32 bits. The driver returns 8 bytes. */
#define TARNEL_READ_PORT_LENGTH 8u
#define TARNEL_READ_PORT_ADDRESS_OFFSET 0u
#define TARNEL_READ_PORT_VALUE_OFFSET 4u

/* WRITE_PORT: port address (low 16 bits used) and value (low 8 bits written). Returns 0 bytes. */
#define TARNEL_WRITE_PORT_LENGTH 8u
#define TARNEL_WRITE_PORT_ADDRESS_OFFSET 0u
#define TARNEL_WRITE_PORT_VALUE_OFFSET 4u

/* SET_PARAMS: the driver's six shifting parameters, each a 32-bit field of which the driver
 * keeps the low 8 (cable kind) or low 16 bits (the others). Returns 0 bytes. */
#define TARNEL_SET_PARAMS_LENGTH 24u
#define TARNEL_SET_PARAMS_CABLE_KIND_OFFSET 0u
#define TARNEL_SET_PARAMS_PORT_BASE_OFFSET 4u
#define TARNEL_SET_PARAMS_DELAY_COUNT_OFFSET 8u
#define TARNEL_SET_PARAMS_PAGE_SIZE_OFFSET 12u
#define TARNEL_SET_PARAMS_FAMILY_OFFSET 16u
#define TARNEL_SET_PARAMS_AT89_BYTE_WAIT_OFFSET 20u

/* WRITE_BYTE: memory kind (low 8 bits), byte address, data (low 8 bits). Returns 0 bytes. */
#define TARNEL_WRITE_BYTE_LENGTH 12u
#define TARNEL_WRITE_BYTE_KIND_OFFSET 0u
#define TARNEL_WRITE_BYTE_ADDRESS_OFFSET 4u
#define TARNEL_WRITE_BYTE_DATA_OFFSET 8u

/* WRITE_PAGE: byte address of the page start, then the page's bytes in address order; the
 * request is 4 + page size bytes long. Returns 0 bytes. */
#define TARNEL_WRITE_PAGE_HEADER_LENGTH 4u
#define TARNEL_WRITE_PAGE_ADDRESS_OFFSET 0u
#define TARNEL_WRITE_PAGE_DATA_OFFSET 4u

/* READ_BYTE: in = memory kind (low 8 bits) and byte address (signature byte index for the
 * signature); out = the byte read, zero-extended. Returns 12 bytes. */
#define TARNEL_READ_BYTE_LENGTH 12u
#define TARNEL_READ_BYTE_KIND_OFFSET 0u
#define TARNEL_READ_BYTE_ADDRESS_OFFSET 4u
#define TARNEL_READ_BYTE_VALUE_OFFSET 8u

/* READ_PAGE (89S5x only): in = byte address of the page start (bits 8..15 select the page);
 * out = the page's 256 bytes. Returns 260 bytes. */
#define TARNEL_READ_PAGE_LENGTH 260u
#define TARNEL_READ_PAGE_ADDRESS_OFFSET 0u
#define TARNEL_READ_PAGE_DATA_OFFSET 4u

/* The largest page of any supported chip, and so the largest WRITE_PAGE request. */
#define TARNEL_MAX_PAGE_SIZE 256u
#define TARNEL_MAX_WRITE_PAGE_LENGTH (TARNEL_WRITE_PAGE_HEADER_LENGTH + TARNEL_MAX_PAGE_SIZE)
/* An 89S5x page as READ_PAGE moves it. */
#define TARNEL_AT89_PAGE_SIZE 256u
/* Data-register reads after each data byte of an 89S5x page write, as the program sends it. */
#define TARNEL_AT89_BYTE_WAIT 100u
/* The largest waits the program asks for, and so the largest the driver serves: one
 * request at 0xFFFF would shift for minutes in the kernel. The delay count is the speed
 * option's largest custom delay (255 port reads per clock half-period) plus the 7 the 89S5x
 * family adds to every delay; the byte pause is the fixed one above. */
#define TARNEL_MAX_DELAY_COUNT 262u
#define TARNEL_MAX_AT89_BYTE_WAIT TARNEL_AT89_BYTE_WAIT

TARNEL_STATIC_ASSERT(TARNEL_READ_PAGE_DATA_OFFSET + TARNEL_AT89_PAGE_SIZE ==
                         TARNEL_READ_PAGE_LENGTH,
                     "READ_PAGE carries one whole 89S5x page");

/* Target families, as SET_PARAMS carries them. */
#define TARNEL_FAMILY_AVR 0u
#define TARNEL_FAMILY_AT89S5X 1u

/* Memory kinds of WRITE_BYTE and READ_BYTE. */
#define TARNEL_MEMORY_FLASH 0u        /* WRITE_BYTE skips a data byte of 0xFF */
#define TARNEL_MEMORY_FLASH_FORCED 1u /* WRITE_BYTE only: written whatever the data */
#define TARNEL_MEMORY_EEPROM 2u
#define TARNEL_MEMORY_SIGNATURE 3u /* READ_BYTE only */

/* ---- Little-endian field access ---------------------------------------------------------
 * Byte by byte, so that neither the host's byte order nor the buffer's alignment matters.
 * The caller guarantees that offset + width lies inside the buffer. */

static inline uint8_t TarnelGetU8(const uint8_t* buffer, size_t offset) {
    return buffer[offset];
}

static inline uint16_t TarnelGetU16(const uint8_t* buffer, size_t offset) {
    return (uint16_t)(buffer[offset] | ((uint16_t)buffer[offset + 1] << 8));
}

static inline uint32_t TarnelGetU32(const uint8_t* buffer, size_t offset) {
    return (uint32_t)buffer[offset] | ((uint32_t)buffer[offset + 1] << 8) |
           ((uint32_t)buffer[offset + 2] << 16) | ((uint32_t)buffer[offset + 3] << 24);
}

static inline void TarnelPutU8(uint8_t* buffer, size_t offset, uint8_t value) {
    buffer[offset] = value;
}

static inline void TarnelPutU16(uint8_t* buffer, size_t offset, uint16_t value) {
    buffer[offset] = (uint8_t)(value & 0xFFu);
    buffer[offset + 1] = (uint8_t)(value >> 8);
}

static inline void TarnelPutU32(uint8_t* buffer, size_t offset, uint32_t value) {
    buffer[offset] = (uint8_t)(value & 0xFFu);
    buffer[offset + 1] = (uint8_t)((value >> 8) & 0xFFu);
    buffer[offset + 2] = (uint8_t)((value >> 16) & 0xFFu);
    buffer[offset + 3] = (uint8_t)(value >> 24);
}

#endif /* VELKOR_PROTOCOL_TARNEL_PROTOCOL_H */
