#include "driver/serial_engine.h"

#include "protocol/cable_pins.h"
#include "protocol/tarnel_protocol.h"

/* The routines below never name a cable: each reads its lines from the cable table. */

/* Waiting is counted in data-register reads, not time: one read lasts about as long on every
 * port, and the kernel has no cheaper busy-wait that is as predictable. */
static void ReadDataRegister(const DriverParams* params, const TarnelPortIo* io, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) (void)TarnelPortIn(io, params->port_base);
}

static void Wait(const DriverParams* params, const TarnelPortIo* io) {
    ReadDataRegister(params, io, params->delay_count);
}

static void WriteData(const DriverParams* params, const TarnelPortIo* io, uint8_t value) {
    TarnelPortOut(io, params->port_base, value);
}

void TarnelSendByte(const DriverParams* params, const TarnelPortIo* io, uint8_t value) {
    const CablePins* pins = CableFindPins(params->cable_kind, params->family);
    if (pins == 0) {
        Wait(params, io);
        return;
    }
    uint8_t low = pins->rest;
    for (int bit = 7; bit >= 0; --bit) {
        low = (uint8_t)(pins->rest | (((value >> bit) & 1u) ? pins->mosi : 0u));
        WriteData(params, io, low);
        Wait(params, io);
        WriteData(params, io, (uint8_t)(low | pins->sck)); /* the target samples on this edge */
        Wait(params, io);
    }
    /* SCK returns low with MOSI unchanged, so the last bit stays valid past its edge. */
    WriteData(params, io, low);
    Wait(params, io);
}

uint8_t TarnelReceiveByte(const DriverParams* params, const TarnelPortIo* io) {
    const CablePins* pins = CableFindPins(params->cable_kind, params->family);
    if (pins == 0) return 0;
    const uint16_t status_port = (uint16_t)(params->port_base + 1u);
    uint8_t result = 0;
    WriteData(params, io, pins->rest);
    for (int i = 0; i < 8; ++i) {
        result = (uint8_t)(result << 1);
        /* The target shifts its answer out on falling edges, so MISO is stable while SCK is
         * low, just before the next rising edge. */
        const uint8_t level = (TarnelPortIn(io, status_port) & pins->miso_bit) != 0;
        if (level != (pins->miso_inverted != 0)) result |= 1u;
        WriteData(params, io, (uint8_t)(pins->rest | pins->sck));
        Wait(params, io);
        WriteData(params, io, pins->rest);
        Wait(params, io);
    }
    return result;
}

static void SendInstruction(const DriverParams* params, const TarnelPortIo* io, uint8_t b0,
                            uint8_t b1, uint8_t b2, uint8_t b3) {
    TarnelSendByte(params, io, b0);
    TarnelSendByte(params, io, b1);
    TarnelSendByte(params, io, b2);
    TarnelSendByte(params, io, b3);
}

/* AVR flash is word-addressed: the byte address's bit 0 picks the low or high byte through
 * the opcode, and bits 1..16 form the word address. */
static uint8_t WordAddressHigh(uint32_t address) {
    return (uint8_t)((address >> 9) & 0xFFu);
}
static uint8_t WordAddressLow(uint32_t address) {
    return (uint8_t)((address >> 1) & 0xFFu);
}
static uint8_t AddressHigh(uint32_t address) {
    return (uint8_t)((address >> 8) & 0xFFu);
}
static uint8_t AddressLow(uint32_t address) {
    return (uint8_t)(address & 0xFFu);
}

int TarnelWriteByte(const DriverParams* params, const TarnelPortIo* io, int8_t memory_kind,
                    uint32_t address, uint8_t data) {
    switch (memory_kind) {
        case (int8_t)TARNEL_MEMORY_FLASH:
            if (data == 0xFF) return TARNEL_WRITE_DONE; /* erased flash already reads 0xFF */
            /* fall through */
        case (int8_t)TARNEL_MEMORY_FLASH_FORCED:
            SendInstruction(params, io, (address & 1u) ? 0x48 : 0x40, WordAddressHigh(address),
                            WordAddressLow(address), data);
            return TARNEL_WRITE_DONE;
        case (int8_t)TARNEL_MEMORY_EEPROM:
            SendInstruction(params, io, 0xC0, AddressHigh(address), AddressLow(address), data);
            return TARNEL_WRITE_DONE;
        default:
            return TARNEL_WRITE_KIND_NOT_HANDLED;
    }
}

void TarnelWritePage(const DriverParams* params, const TarnelPortIo* io, uint32_t address,
                     const uint8_t* data, uint32_t data_length) {
    /* The page size is the caller's to set, the data length is what it actually handed over;
     * never read beyond the latter. */
    const uint32_t count = params->page_size < data_length ? params->page_size : data_length;
    if (params->family == TARNEL_FAMILY_AVR) {
        for (uint32_t i = 0; i < count; ++i) {
            /* Load Program Memory Page: the opcode alternates low/high byte by position. */
            const uint32_t byte_address = address + i;
            SendInstruction(params, io, (i & 1u) ? 0x48 : 0x40, WordAddressHigh(byte_address),
                            WordAddressLow(byte_address), data[i]);
        }
        /* Write Program Memory Page commits the loaded buffer. */
        SendInstruction(params, io, 0x4C, WordAddressHigh(address), WordAddressLow(address), 0x00);
    } else if (params->family == TARNEL_FAMILY_AT89S5X) {
        TarnelSendByte(params, io, 0x50);
        TarnelSendByte(params, io, AddressHigh(address));
        for (uint32_t i = 0; i < count; ++i) {
            TarnelSendByte(params, io, data[i]);
            /* The 89S5x programs each byte as it arrives and needs this pause before the
             * next one. */
            ReadDataRegister(params, io, params->at89_byte_wait);
        }
    }
}

uint8_t TarnelReadByte(const DriverParams* params, const TarnelPortIo* io, uint8_t memory_kind,
                       uint32_t address) {
    switch (memory_kind) {
        case TARNEL_MEMORY_FLASH:
            TarnelSendByte(params, io, (address & 1u) ? 0x28 : 0x20);
            TarnelSendByte(params, io, WordAddressHigh(address));
            TarnelSendByte(params, io, WordAddressLow(address));
            break;
        case TARNEL_MEMORY_EEPROM:
            TarnelSendByte(params, io, 0xA0);
            TarnelSendByte(params, io, AddressHigh(address));
            TarnelSendByte(params, io, AddressLow(address));
            break;
        case TARNEL_MEMORY_SIGNATURE:
            TarnelSendByte(params, io, 0x30);
            TarnelSendByte(params, io, AddressHigh(address));
            TarnelSendByte(params, io, AddressLow(address));
            break;
        default:
            return 0xFF; /* what an unprogrammed or absent memory would answer */
    }
    return TarnelReceiveByte(params, io);
}

int TarnelReadPage(const DriverParams* params, const TarnelPortIo* io, uint32_t address,
                   uint8_t* destination) {
    if (params->family == TARNEL_FAMILY_AT89S5X) {
        TarnelSendByte(params, io, 0x30);
        TarnelSendByte(params, io, AddressHigh(address));
        for (uint32_t i = 0; i < TARNEL_AT89_PAGE_SIZE; ++i) {
            destination[i] = TarnelReceiveByte(params, io);
        }
    }
    return (int)TARNEL_AT89_PAGE_SIZE;
}
