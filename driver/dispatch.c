#include "driver/dispatch.h"

#include "driver/port_guard.h"
#include "driver/serial_engine.h"
#include "protocol/tarnel_protocol.h"

/* What a code needs from its request; see the policy in dispatch.h. */
typedef struct RequestShape {
    uint32_t input_length;
    uint32_t output_length; /* also the byte count returned on success */
} RequestShape;

/* Returns 0 for a code the device does not know. */
static int ShapeOf(uint32_t code, const DriverParams* params, RequestShape* shape) {
    switch (code) {
        case IOCTL_TARNEL_READ_PORT:
            shape->input_length = TARNEL_READ_PORT_LENGTH;
            shape->output_length = TARNEL_READ_PORT_LENGTH;
            return 1;
        case IOCTL_TARNEL_WRITE_PORT:
            shape->input_length = TARNEL_WRITE_PORT_LENGTH;
            shape->output_length = 0;
            return 1;
        case IOCTL_TARNEL_SET_PARAMS:
            shape->input_length = TARNEL_SET_PARAMS_LENGTH;
            shape->output_length = 0;
            return 1;
        case IOCTL_TARNEL_WRITE_BYTE:
            shape->input_length = TARNEL_WRITE_BYTE_LENGTH;
            shape->output_length = 0;
            return 1;
        case IOCTL_TARNEL_WRITE_PAGE:
            /* The page goes out at the stored size, so the request must carry that many. */
            shape->input_length = TARNEL_WRITE_PAGE_HEADER_LENGTH + params->page_size;
            shape->output_length = 0;
            return 1;
        case IOCTL_TARNEL_READ_BYTE:
            shape->input_length = TARNEL_READ_BYTE_LENGTH;
            shape->output_length = TARNEL_READ_BYTE_LENGTH;
            return 1;
        case IOCTL_TARNEL_READ_PAGE:
            /* An AVR target leaves the page area as it came in, so it must have come in. */
            shape->input_length = TARNEL_READ_PAGE_LENGTH;
            shape->output_length = TARNEL_READ_PAGE_LENGTH;
            return 1;
        default:
            return 0;
    }
}

/* Whether serving the request would touch only ports inside the allowed blocks. The port
 * codes name their port; the byte and page commands shift on the stored base and the
 * register after it, which the parameters hold only once SET_PARAMS has stored an allowed
 * base (zero before that). SET_PARAMS checks its own base when it decodes it. */
static int StaysInAllowedPorts(uint32_t code, const DriverParams* params, const uint8_t* buffer) {
    switch (code) {
        case IOCTL_TARNEL_READ_PORT:
            return TarnelIsAllowedPort(TarnelGetU16(buffer, TARNEL_READ_PORT_ADDRESS_OFFSET));
        case IOCTL_TARNEL_WRITE_PORT:
            return TarnelIsAllowedPort(TarnelGetU16(buffer, TARNEL_WRITE_PORT_ADDRESS_OFFSET));
        case IOCTL_TARNEL_SET_PARAMS:
            return 1;
        default:
            return TarnelIsAllowedBase(params->port_base);
    }
}

/* The byte read from a port travels sign-extended; the program uses only the low byte. */
static uint32_t SignExtend(uint8_t value) {
    return (value & 0x80u) ? (0xFFFFFF00u | value) : value;
}

/* The memory kind of a write travels as a signed byte. */
static int8_t SignedKind(uint32_t field) {
    const uint8_t low = (uint8_t)(field & 0xFFu);
    return low < 0x80u ? (int8_t)low : (int8_t)((int)low - 0x100);
}

uint32_t TarnelDispatchControl(DriverParams* params, const TarnelPortIo* io, uint32_t code,
                               uint8_t* buffer, uint32_t input_length, uint32_t output_length,
                               uint32_t* bytes_returned) {
    *bytes_returned = 0;
    RequestShape shape;
    if (!ShapeOf(code, params, &shape)) return TARNEL_STATUS_INVALID_PARAMETER;
    /* Every code needs some input, so an accepted request always has a buffer. */
    if (buffer == 0 || input_length < shape.input_length || output_length < shape.output_length) {
        return TARNEL_STATUS_INVALID_PARAMETER;
    }
    if (!StaysInAllowedPorts(code, params, buffer)) return TARNEL_STATUS_INVALID_PARAMETER;

    switch (code) {
        case IOCTL_TARNEL_READ_PORT: {
            const uint16_t port = TarnelGetU16(buffer, TARNEL_READ_PORT_ADDRESS_OFFSET);
            TarnelPutU32(buffer, TARNEL_READ_PORT_VALUE_OFFSET, SignExtend(TarnelPortIn(io, port)));
            break;
        }
        case IOCTL_TARNEL_WRITE_PORT:
            TarnelPortOut(io, TarnelGetU16(buffer, TARNEL_WRITE_PORT_ADDRESS_OFFSET),
                          TarnelGetU8(buffer, TARNEL_WRITE_PORT_VALUE_OFFSET));
            break;
        case IOCTL_TARNEL_SET_PARAMS:
            if (!TarnelDecodeParams(buffer, params)) return TARNEL_STATUS_INVALID_PARAMETER;
            break;
        case IOCTL_TARNEL_WRITE_BYTE:
            /* The program polls or waits for the write itself; the result only says whether
             * the kind was known, which it already knows. */
            (void)TarnelWriteByte(params, io,
                                  SignedKind(TarnelGetU32(buffer, TARNEL_WRITE_BYTE_KIND_OFFSET)),
                                  TarnelGetU32(buffer, TARNEL_WRITE_BYTE_ADDRESS_OFFSET),
                                  TarnelGetU8(buffer, TARNEL_WRITE_BYTE_DATA_OFFSET));
            break;
        case IOCTL_TARNEL_WRITE_PAGE:
            TarnelWritePage(params, io, TarnelGetU32(buffer, TARNEL_WRITE_PAGE_ADDRESS_OFFSET),
                            buffer + TARNEL_WRITE_PAGE_DATA_OFFSET,
                            input_length - TARNEL_WRITE_PAGE_HEADER_LENGTH);
            break;
        case IOCTL_TARNEL_READ_BYTE: {
            const uint8_t value =
                TarnelReadByte(params, io, TarnelGetU8(buffer, TARNEL_READ_BYTE_KIND_OFFSET),
                               TarnelGetU32(buffer, TARNEL_READ_BYTE_ADDRESS_OFFSET));
            TarnelPutU32(buffer, TARNEL_READ_BYTE_VALUE_OFFSET, value);
            break;
        }
        case IOCTL_TARNEL_READ_PAGE:
            (void)TarnelReadPage(params, io, TarnelGetU32(buffer, TARNEL_READ_PAGE_ADDRESS_OFFSET),
                                 buffer + TARNEL_READ_PAGE_DATA_OFFSET);
            break;
        default:
            break;
    }
    *bytes_returned = shape.output_length;
    return TARNEL_STATUS_SUCCESS;
}

uint32_t TarnelOpenOwner(uintptr_t* owner, uintptr_t handle, DriverParams* params) {
    uintptr_t none = 0;
    if (handle == 0 ||
        !__atomic_compare_exchange_n(owner, &none, handle, 0, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        return TARNEL_STATUS_SHARING_VIOLATION;
    }
    /* What the previous owner stored is no business of this one: it starts as after load, and
     * the byte and page commands stay refused until it stores a base of its own. */
    const DriverParams zero = {0, 0, 0, 0, 0, 0};
    *params = zero;
    return TARNEL_STATUS_SUCCESS;
}

int TarnelIsOwner(const uintptr_t* owner, uintptr_t handle) {
    return handle != 0 && __atomic_load_n(owner, __ATOMIC_ACQUIRE) == handle;
}

void TarnelCloseOwner(uintptr_t* owner, uintptr_t handle) {
    uintptr_t expected = handle;
    (void)__atomic_compare_exchange_n(owner, &expected, 0, 0, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
}
