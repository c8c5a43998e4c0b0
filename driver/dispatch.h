/*
 * The device's control-request dispatch, free of any kernel type: the kernel glue hands over
 * the control code, the request's system buffer and its two lengths, and completes the
 * request with the status and byte count returned here.
 *
 * A kernel driver must not trust its caller, so every request is checked against what its
 * code needs before anything is read, written or shifted:
 *   - the input length must cover the code's whole layout (8, 8, 24, 12, 4 + the stored page
 *     size, 12 and 260 bytes for the seven codes): every byte the driver reads, and every byte
 *     it hands back unchanged, then came from the caller, so no uninitialised kernel memory
 *     ever travels back out;
 *   - the output length must cover the byte count the code returns (8 for READ_PORT, 12 for
 *     READ_BYTE, 260 for READ_PAGE, 0 otherwise);
 *   - longer buffers are served, and the extra bytes are neither read nor written.
 *   - every port the request would reach lies in an allowed parallel-port block
 *     (driver/port_guard.h): the port of READ_PORT and WRITE_PORT, the base SET_PARAMS would
 *     store, and for the byte and page commands the stored base, so that they are refused
 *     until SET_PARAMS has stored one.
 * A request that fails a check, or carries an unknown code, completes with
 * TARNEL_STATUS_INVALID_PARAMETER and byte count 0, without touching any port, the
 * parameters or the buffer.
 */
#ifndef VELKOR_DRIVER_DISPATCH_H
#define VELKOR_DRIVER_DISPATCH_H

#include <stdint.h>

#include "driver/driver_params.h"
#include "driver/port_io.h"

#ifdef __cplusplus
extern "C" {
#endif

/* NTSTATUS values, spelled out so that the core needs no kernel header. */
#define TARNEL_STATUS_SUCCESS 0x00000000u
#define TARNEL_STATUS_INVALID_PARAMETER 0xC000000Du
/* What a second open gets while the device has its owner; the program sees it as the
 * sharing violation error (32). */
#define TARNEL_STATUS_SHARING_VIOLATION 0xC0000043u

/*
 * Serves one control request. buffer holds max(input_length, output_length) bytes (it may be
 * null when both are 0); the first input_length of them are the caller's input, and the
 * answer is written in place. *bytes_returned receives the count of buffer bytes to hand back.
 * params is the driver's one parameter set; only SET_PARAMS writes it.
 */
uint32_t TarnelDispatchControl(DriverParams* params, const TarnelPortIo* io, uint32_t code,
                               uint8_t* buffer, uint32_t input_length, uint32_t output_length,
                               uint32_t* bytes_returned);

/*
 * One owner at a time. The parameters and the port are the device's, not a handle's: a second
 * program shifting through them would interleave its lines with the first one's and change
 * its cable, base or delay under it. So an open succeeds only while no handle is open, and
 * gives its owner the parameters as they are at load; a second open is refused with
 * TARNEL_STATUS_SHARING_VIOLATION until the owner's handle is closed. `owner` is the driver's
 * one record of it (the owning handle's file object, 0 when none, as at load); it is changed
 * atomically, since two opens may race. A host whose opens do not wait for the driver's
 * answer (wine's) may still hand out a second handle: TarnelIsOwner lets the glue refuse that
 * handle's requests, and only the owner's close frees the device.
 */
uint32_t TarnelOpenOwner(uintptr_t* owner, uintptr_t handle, DriverParams* params);
int TarnelIsOwner(const uintptr_t* owner, uintptr_t handle);
void TarnelCloseOwner(uintptr_t* owner, uintptr_t handle);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_DRIVER_DISPATCH_H */
