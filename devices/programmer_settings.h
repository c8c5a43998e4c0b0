// What the user chooses for the runs, as one value: the family and chip row, the fuse and lock
// bytes, the option dialogs' values, the command flags and the read-back and verify scope. The
// settings file reads and writes it, the station keeps it, and the engine is handed a copy
// before each run. It lives beside the chip tables because its chip lookups are theirs.
#pragma once

#include <cstdint>

namespace velkor {

struct ChipRecord;
struct At89ChipRecord;

// Which instruction set and pin patterns the target speaks.
enum TargetFamily : std::uint32_t {
    kFamilyAvr = 0,
    kFamily89S5x = 1,
};

// Size of the two memory images: the largest flash and EEPROM of any supported chip.
constexpr std::uint32_t kFlashImageSize = 262144;
constexpr std::uint32_t kEepromImageSize = 8192;

// One-byte command flags, in their stored order. Each is 0 (off) or nonzero (on).
struct ProgramCommandSet {
    std::uint8_t readFlash = 0;  // settings keys InitPort / ReadFlash; no step reads it
    std::uint8_t writeFlash = 0;
    std::uint8_t writeEeprom = 0;
    std::uint8_t spare = 0;
    std::uint8_t readFuse = 0;
    std::uint8_t writeFuse = 0;
    std::uint8_t lock = 0;
    std::uint8_t erase = 0;
    std::uint8_t checkId = 0;
    std::uint8_t autoSelchip = 0;
    std::uint8_t verify = 0;
    std::uint8_t readCal = 0;  // only the calibration command sets it; never persisted
    std::uint8_t copyCal = 0;
};
static_assert(sizeof(ProgramCommandSet) == 13);

// A front end keeps one (through the station) and hands it to the engine before each run; a
// run changes some of it (a fuse read selects the chip by its signature and reads the fuse
// bytes), which the station takes back when the run ends.
struct ProgrammerSettings {
    std::uint32_t targetFamily = kFamilyAvr;
    std::uint32_t chipIndex = 44;
    std::uint8_t fuseLow = 0;
    std::uint8_t fuseHigh = 0;
    std::uint8_t fuseExtended = 0;
    std::uint8_t lockSelect = 0;
    std::uint8_t customLockByte = 0;
    std::uint8_t calibrationSelect = 0;
    std::uint8_t calibrationSaveLocation = 0;  // 0 = flash image, nonzero = EEPROM image
    std::uint32_t calibrationAddress = 0;
    std::uint32_t speedSelection = 0;
    std::uint32_t userPortDelay = 0;
    // A parallel port card at a base of its own (PCI and PCIe cards sit at addresses such as
    // 0xD010): searched after the three standard ports. 0: none.
    std::uint16_t extraPortBase = 0;
    // True: a wait lasts as long as its reads would, measured on the counter, without making
    // them (the port then sees only the accesses that move a line or sample MISO). False:
    // every wait unit is one port read.
    bool timedPortWaits = true;
    ProgramCommandSet commands;
    // False: a flash verify reads the whole chip and an EEPROM verify the image's length.
    // True: both compare only the addresses the loaded files gave data for, and a calibration
    // byte copied into the image.
    bool verifyFileOnly = false;
    // Which memories a read-back reads.
    bool readBackFlash = false;
    bool readBackEeprom = false;

    // The record at chipIndex in the family's table. An index beyond the table gives its
    // terminating row; a run refuses such an index before it starts.
    const ChipRecord& AvrRecord() const;
    const At89ChipRecord& At89Record() const;
    // chipIndex names a row of the family's table (the rows behind the list included).
    bool ChipIndexValid() const;
    // The selected chip's name in its family's table; null when no valid chip is selected.
    const char* SelectedChipName() const;
};

}  // namespace velkor
