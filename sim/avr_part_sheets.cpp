#include "sim/avr_part_sheets.h"

#include <array>

namespace velkor::sim {
namespace {

using S = AvrFuseSet;
using B = AvrBusyReads;

// One row per part. Fuse bytes a part does not have are listed with no bits and read 0xFF.
// clang-format off
constexpr std::array kSheets = {
//  name        signature            flash  page eeprom epage flashUs eepromUs eraseUs  fuse forms        bits L/H/E          SPIEN L/H/E         defaults L/H/E      cal busy
    AvrPartSheet{"tiny13",   {0x1E, 0x90, 0x07},   1024,  32,   64, 4,  4500,  4000,  4000, S::kLowHigh,    {0xFF, 0x1F, 0x00}, {0x80, 0x00, 0x00}, {0x6A, 0xFF, 0xFF}, 2, B::kFF},
    AvrPartSheet{"tiny15",   {0x1E, 0x90, 0x06},   1024,   0,   64, 0,  4100,  8200,  8200, S::kLow,        {0xF3, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDC, 0xFF, 0xFF}, 1, B::kFF},
    AvrPartSheet{"tiny26",   {0x1E, 0x91, 0x09},   2048,  32,  128, 4,  4500,  9000,  9000, S::kLowHigh,    {0xFF, 0x1F, 0x00}, {0x00, 0x08, 0x00}, {0xE1, 0xF7, 0xFF}, 4, B::kFF},
    AvrPartSheet{"tiny2313", {0x1E, 0x91, 0x0A},   2048,  32,  128, 4,  4500,  4000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x01}, {0x00, 0x20, 0x00}, {0x64, 0xDF, 0xFF}, 2, B::kFF},
    AvrPartSheet{"mega48",   {0x1E, 0x92, 0x05},   4096,  64,  256, 4,  4500,  3600,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x01}, {0x00, 0x20, 0x00}, {0x62, 0xDF, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega88",   {0x1E, 0x93, 0x0A},   8192,  64,  512, 4,  4500,  3600,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0xDF, 0xF9}, 1, B::kFF},
    AvrPartSheet{"mega168",  {0x1E, 0x94, 0x06},  16384, 128,  512, 4,  4500,  3600,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0xDF, 0xF9}, 1, B::kFF},
    AvrPartSheet{"mega8",    {0x1E, 0x93, 0x07},   8192,  64,  512, 4,  4500,  9000,  9000, S::kLowHigh,    {0xFF, 0xFF, 0x00}, {0x00, 0x20, 0x00}, {0xE1, 0xD9, 0xFF}, 4, B::kFF},
    AvrPartSheet{"mega16",   {0x1E, 0x94, 0x03},  16384, 128,  512, 4,  4500,  9000,  9000, S::kLowHigh,    {0xFF, 0xFF, 0x00}, {0x00, 0x20, 0x00}, {0xE1, 0x99, 0xFF}, 4, B::kFF},
    AvrPartSheet{"mega162",  {0x1E, 0x94, 0x04},  16384, 128,  512, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x1E}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega165",  {0x1E, 0x94, 0x07},  16384, 128,  512, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x0F}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega169",  {0x1E, 0x94, 0x05},  16384, 128,  512, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x0F}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega8515", {0x1E, 0x93, 0x06},   8192,  64,  512, 4,  4500,  9000,  9000, S::kLowHigh,    {0xFF, 0xFF, 0x00}, {0x00, 0x20, 0x00}, {0xE1, 0xD9, 0xFF}, 4, B::kFF},
    AvrPartSheet{"mega8535", {0x1E, 0x93, 0x08},   8192,  64,  512, 4,  4500,  9000,  9000, S::kLowHigh,    {0xFF, 0xFF, 0x00}, {0x00, 0x20, 0x00}, {0xE1, 0xD9, 0xFF}, 4, B::kFF},
    AvrPartSheet{"mega32",   {0x1E, 0x95, 0x02},  32768, 128, 1024, 4,  4500,  9000,  9000, S::kLowHigh,    {0xFF, 0xFF, 0x00}, {0x00, 0x20, 0x00}, {0xE1, 0x99, 0xFF}, 4, B::kFF},
    AvrPartSheet{"mega325",  {0x1E, 0x95, 0x05},  32768, 128, 1024, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega3250", {0x1E, 0x95, 0x06},  32768, 128, 1024, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega329",  {0x1E, 0x95, 0x03},  32768, 128, 1024, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega3290", {0x1E, 0x95, 0x04},  32768, 128, 1024, 4,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega645",  {0x1E, 0x96, 0x05},  65536, 256, 2048, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega6450", {0x1E, 0x96, 0x06},  65536, 256, 2048, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega649",  {0x1E, 0x96, 0x03},  65536, 256, 2048, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega6490", {0x1E, 0x96, 0x04},  65536, 256, 2048, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x07}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega64",   {0x1E, 0x96, 0x02},  65536, 256, 2048, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x03}, {0x00, 0x20, 0x00}, {0xE1, 0x99, 0xFD}, 4, B::kFF},
    AvrPartSheet{"mega128",  {0x1E, 0x97, 0x02}, 131072, 256, 4096, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x03}, {0x00, 0x20, 0x00}, {0xE1, 0x99, 0xFD}, 4, B::kFF},
    AvrPartSheet{"tiny12",   {0x1E, 0x90, 0x05},   1024,   0,   64, 0,  4500,  8000,  8000, S::kLow,        {0xFF, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xD2, 0xFF, 0xFF}, 1, B::kFF},
    AvrPartSheet{"90CAN128", {0x1E, 0x97, 0x81}, 131072, 256, 4096, 8,  4500,  9000,  9000, S::kLowHighExt, {0xFF, 0xFF, 0x0F}, {0x00, 0x20, 0x00}, {0x62, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"90S1200",  {0x1E, 0x90, 0x01},   1024,   0,   64, 0,  4000,  4000,  9000, S::kNone,       {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, 0, B::kNoPolling},
    AvrPartSheet{"90S2313",  {0x1E, 0x91, 0x01},   2048,   0,  128, 0,  4000,  4000,  9000, S::kNone,       {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, 0, B::kFlash7F},
    AvrPartSheet{"90S4414",  {0x1E, 0x92, 0x01},   4096,   0,  256, 0,  4000,  4000,  9000, S::kNone,       {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, 0, B::kFlash7F},
    AvrPartSheet{"90S8515",  {0x1E, 0x93, 0x01},   8192,   0,  512, 0,  4000,  4000,  9000, S::kNone,       {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, 0, B::kFlash7F},
    AvrPartSheet{"90S2333",  {0x1E, 0x91, 0x05},   2048,   0,  128, 0,  4000,  4000,  9000, S::kLegacyLow,  {0x3F, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDA, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"90S4433",  {0x1E, 0x92, 0x03},   4096,   0,  256, 0,  4000,  4000,  9000, S::kLegacyLow,  {0x3F, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDA, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"90S4434",  {0x1E, 0x92, 0x02},   4096,   0,  256, 0,  4000,  4000,  9000, S::kCombinedLegacy, {0x21, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"90S8535",  {0x1E, 0x93, 0x03},   8192,   0,  512, 0,  4000,  4000,  9000, S::kCombinedLegacy, {0x21, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"90S2323",  {0x1E, 0x91, 0x02},   2048,   0,  128, 0,  4000,  4000,  9000, S::kCombinedLegacy, {0x21, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"90S2343",  {0x1E, 0x91, 0x03},   2048,   0,  128, 0,  4000,  4000,  9000, S::kCombinedLegacy, {0x21, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"tiny22",   {0x1E, 0x91, 0x06},   2048,   0,  128, 0,  4000,  4000,  9000, S::kCombinedLegacy, {0x21, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kEeprom00},
    AvrPartSheet{"mega161",  {0x1E, 0x94, 0x01},  16384, 128,  512, 0, 16000,  4000, 18000, S::kLowNewLock,   {0x7F, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDA, 0xFF, 0xFF}, 0, B::kFF},
    AvrPartSheet{"mega163",  {0x1E, 0x94, 0x02},  16384, 128,  512, 0, 16000,  4000, 16000, S::kLowHigh,     {0xEF, 0x07, 0x00}, {0x20, 0x00, 0x00}, {0xD2, 0xFF, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega323",  {0x1E, 0x95, 0x01},  32768, 128, 1024, 0, 16000,  4000, 16000, S::kLowHigh,     {0xCF, 0xEF, 0x00}, {0x00, 0x20, 0x00}, {0xF2, 0x99, 0xFF}, 1, B::kFF},
    AvrPartSheet{"mega603",  {0x1E, 0x96, 0x01},  65536, 256, 2048, 0, 56000,  4000, 18000, S::kLegacyLow,  {0x2B, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kFF},
    AvrPartSheet{"mega103",  {0x1E, 0x97, 0x01}, 131072, 256, 4096, 0, 56000,  4000, 18000, S::kLegacyLow,  {0x2B, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0xDF, 0xFF, 0xFF}, 0, B::kFF},
};
// clang-format on

}  // namespace

std::span<const AvrPartSheet> AvrPartSheets() {
    return kSheets;
}

const AvrPartSheet* FindAvrPartSheet(std::string_view name) {
    for (const AvrPartSheet& sheet : kSheets) {
        if (sheet.name == name) return &sheet;
    }
    return nullptr;
}

AvrChipTraits AvrTraitsFromSheet(const AvrPartSheet& sheet) {
    AvrChipTraits traits;
    traits.name = std::string(sheet.name);
    for (int i = 0; i < 3; ++i) traits.signature[i] = sheet.signature[i];
    traits.flashSize = sheet.flashBytes;
    traits.pageSize = sheet.flashPageBytes;
    traits.eepromSize = sheet.eepromBytes;
    switch (sheet.busyReads) {
        case AvrBusyReads::kFF:
            break;
        case AvrBusyReads::kFlash7F:
            traits.flashBusyValue = 0x7F;
            traits.eepromBusyValue = 0x7F;
            traits.eepromErasePhase = true;
            break;
        case AvrBusyReads::kEeprom00:
            traits.eepromErasePhase = true;
            break;
        case AvrBusyReads::kNoPolling:
            traits.dataPolling = false;
            break;
    }
    traits.fuseSet = sheet.fuseSet;
    traits.fuseLow = sheet.fuseDefault[0];
    traits.fuseHigh = sheet.fuseDefault[1];
    traits.fuseExtended = sheet.fuseDefault[2];
    for (int i = 0; i < 3; ++i) {
        traits.fuseMask[i] = static_cast<std::uint8_t>(sheet.fuseBits[i] & ~sheet.spienBit[i]);
    }
    traits.calibrationCount = sheet.calibrationBytes;
    // Each part's oscillator was trimmed at the factory to a value of its own.
    for (unsigned i = 0; i < 4; ++i) {
        traits.calibration[i] =
            i < sheet.calibrationBytes ? static_cast<std::uint8_t>(0xA1 + 0x11 * i) : 0xFF;
    }
    traits.flashWriteNs = std::uint64_t{sheet.flashWriteUs} * 1000;
    traits.eepromWriteNs = std::uint64_t{sheet.eepromWriteUs} * 1000;
    traits.eraseNs = std::uint64_t{sheet.eraseUs} * 1000;
    return traits;
}

std::unique_ptr<AvrChip> MakeAvrPart(std::string_view name, AvrChipFaults faults) {
    const AvrPartSheet* sheet = FindAvrPartSheet(name);
    if (sheet == nullptr) return nullptr;
    return std::make_unique<AvrChip>(AvrTraitsFromSheet(*sheet), faults);
}

}  // namespace velkor::sim
