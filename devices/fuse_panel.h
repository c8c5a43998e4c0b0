// The fuse panel's behaviour without any toolkit: the 24 check boxes 1100..1123, one per bit
// of the low, high and extended fuse bytes. The boxes hold no state of their own; everything
// they show is derived from the three fuse bytes and the chip's tables, so a refresh is a pure
// function and a click is a change of the bytes followed by a refresh.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor {

struct ChipRecord;    // chip_table.h
struct FuseBitNames;  // fuse_bit_names.h
struct WizardLists;   // fuse_wizard.h

constexpr int kFirstFuseBoxId = 1100;  // bit i of fuse byte k is box 1100 + 8*k + i
constexpr int kFuseBoxCount = 24;

// The engine's three fuse bytes, index 0 low, 1 high, 2 extended. A bit value of 0 means
// programmed.
struct FuseBytes {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    std::uint8_t extended = 0;

    std::uint8_t& operator[](std::size_t k) { return k == 0 ? low : k == 1 ? high : extended; }
    std::uint8_t operator[](std::size_t k) const { return k == 0 ? low : k == 1 ? high : extended; }
    bool operator==(const FuseBytes&) const = default;
};

// What one box shows.
struct FuseBoxState {
    int controlId = 0;
    bool visible = false;  // the chip names this bit
    bool enabled = false;  // the bit lies inside the chip's fuse mask
    bool checked = false;  // the bit is 0 (programmed)
    std::string caption;   // "CKSEL0=1"; for a hidden box its resource caption "LF0".."EF7"
    bool operator==(const FuseBoxState&) const = default;
};

// Element n is the box 1100 + n.
using FuseBoxes = std::array<FuseBoxState, kFuseBoxCount>;

// The boxes for these fuse bytes, bit names and writable-bit masks (low, high, extended).
FuseBoxes RefreshFuseBoxes(const FuseBytes& fuses, const FuseBitNames& names,
                           const std::uint8_t (&mask)[3]);
// The same with the names and masks of an AVR chip record.
FuseBoxes RefreshFuseBoxes(const FuseBytes& fuses, const ChipRecord& chip);

// All 24 boxes hidden, as the 89S5x family shows them.
FuseBoxes HiddenFuseBoxes();

// The AVR chip record the panel shows for a chip index. An index beyond the table gives the
// terminating row (no fuse bits, no wizard choices) instead of reading past the table.
const ChipRecord& FusePanelChip(std::uint32_t chipIndex);

// Outcome of a click on a fuse box.
struct FuseToggle {
    bool changed = false;       // a fuse bit was inverted
    bool wizardSynced = false;  // a low-byte bit: the wizard lists were re-derived
    std::string message;        // the wizard's message for the log, or empty
    FuseBoxes boxes;            // the boxes after the click
};

// A click on the box `controlId`: inverts its bit; for a low-byte bit the wizard's selections
// are re-derived from the new byte. Only a visible, enabled box can change its bit, so a
// stray call can never touch a bit the chip keeps out of reach (SPIEN, which keeps the serial
// interface alive, is outside every mask). Identifiers outside 1100..1123 change nothing.
FuseToggle ToggleFuseBit(int controlId, FuseBytes& fuses, const ChipRecord& chip,
                         WizardLists& wizard);

// The Default button and a chip change: the chip's default fuse bytes replace the current ones.
void LoadFuseDefaults(const ChipRecord& chip, FuseBytes& fuses);

}  // namespace velkor
