// The constant tables of supported chips. Row order and row indices are part of the
// settings file format (DEVICE/ID stores a row index), so rows never move.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/log_messages.h"

namespace velkor {

struct FuseBitNames;  // fuse_bit_names.h

struct ChipRecord {
    const char* name;  // without the manufacturer prefix; null only in the terminating row
    std::uint8_t chipCode;
    std::uint8_t signature[3];
    std::uint32_t flashSize;
    std::uint32_t pageSize;  // 0: flash is written byte by byte
    std::uint32_t eepromSize;
    std::uint16_t flashWaitMs;
    std::uint16_t eepromWaitMs;
    std::uint8_t pollValue;
    std::uint8_t defaultLock;
    std::uint8_t fuseKind;
    std::uint8_t calibrationCount;
    std::uint8_t fuseMask[3];     // low, high, extended
    std::uint8_t fuseDefault[3];  // low, high, extended
    const FuseBitNames* fuseNames;
};

struct At89ChipRecord {
    const char* name;
    std::uint8_t signature[3];
    std::uint16_t flashSize;
    std::uint8_t commandFormat;  // 4: four-byte instructions and pages; 3: three-byte, bytes
};

constexpr std::uint32_t kChipTableRows = 119;
constexpr std::uint32_t kAt89ChipTableRows = 5;
constexpr std::uint32_t kLockedChipRow = 117;
constexpr std::uint32_t kNoChipRow = 118;

extern const ChipRecord ChipTable[kChipTableRows];
extern const At89ChipRecord At89ChipTable[kAt89ChipTableRows];

// Row of the first chip with exactly these signature bytes, or kNoChipRow.
std::uint32_t FindChipBySignature(const std::uint8_t signature[3]);

// Names listed for a family (0 = AVR, 1 = 89S5x): rows from 0 up to the "L" row.
std::vector<std::string> ChipList(std::uint32_t family);

// The log line that announces the chip a signature search found, and its Chinese text.
LogLine ChipIdentificationMessage(const ChipRecord& record, const std::uint8_t signature[3]);
std::string ChipIdentificationLine(const ChipRecord& record, const std::uint8_t signature[3]);

// Row of the chip with this name in a family's list, or -1. An AVR row is also found by each
// part it stands for ("mega164PA" in "mega164P/164PA", "mega8A" in "mega8") and by the short
// names other AVR tools use ("m328p", "t85", "usb1286", "c128").
int FindChipByName(std::uint32_t family, const std::string& name);

// The parts an AVR row stands for: "mega164P/164PA" gives "mega164P" and "mega164PA".
std::vector<std::string> PartNamesOfRow(const char* rowName);

// The short form other AVR tools use for a part: "mega328P" -> "m328p", "90S2313" -> "2313".
std::string ShortPartName(const std::string& part);

}  // namespace velkor
