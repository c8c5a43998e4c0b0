#include "sim/at89_part_sheets.h"

#include <array>

namespace velkor::sim {
namespace {

// clang-format off
constexpr std::array kSheets = {
//  name                  signature               code  data  3-byte  writeUs  eraseUs
    At89PartSheet{"89S51",   true,  {0x1E, 0x51, 0x06},  4096,    0, false,   500, 500000},
    At89PartSheet{"89S52",   true,  {0x1E, 0x52, 0x06},  8192,    0, false,   500, 500000},
    At89PartSheet{"89S53",   false, {0x00, 0x00, 0x00}, 12288,    0, true,   1000,  16000},
    At89PartSheet{"89S8252", false, {0x00, 0x00, 0x00},  8192, 2048, true,   1000,  16000},
};
// clang-format on

}  // namespace

std::span<const At89PartSheet> At89PartSheets() {
    return kSheets;
}

const At89PartSheet* FindAt89PartSheet(std::string_view name) {
    for (const At89PartSheet& sheet : kSheets) {
        if (sheet.name == name) return &sheet;
    }
    return nullptr;
}

At89ChipTraits At89TraitsFromSheet(const At89PartSheet& sheet) {
    At89ChipTraits traits;
    traits.name = std::string(sheet.name);
    if (sheet.serialSignature) {
        for (int i = 0; i < 3; ++i) traits.signature[i] = sheet.signature[i];
    }
    traits.flashSize = sheet.codeBytes + sheet.dataBytes;
    traits.threeByteFormat = sheet.threeByteInstructions;
    traits.byteWriteNs = std::uint64_t{sheet.writeUs} * 1000;
    traits.pageWriteNs = std::uint64_t{sheet.writeUs} * 1000;
    traits.eraseNs = std::uint64_t{sheet.eraseUs} * 1000;
    return traits;
}

std::unique_ptr<At89Chip> MakeAt89Part(std::string_view name) {
    const At89PartSheet* sheet = FindAt89PartSheet(name);
    if (sheet == nullptr) return nullptr;
    return std::make_unique<At89Chip>(At89TraitsFromSheet(*sheet));
}

}  // namespace velkor::sim
