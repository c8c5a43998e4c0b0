// Small value types shared by every layer of the programming engine.
#pragma once

#include <cstdint>

#include "devices/programmer_settings.h"

namespace velkor {

// Cable codes as detected by their loopback wiring; 0 means "no cable in use".
enum CableKind : std::uint8_t {
    kCableNone = 0,
    kCableUnnamed = 7,
    kCableStk200 = 8,
    kCableXilinx = 9,
    kCableLattice = 10,
    kCableByteBlaster = 11,
};

// Outcome of a port and cable search.
enum PortResult : std::uint8_t {
    kPortReady = 0,
    kPortNoPower = 1,
    kPortNoCable = 2,
    kPortMissing = 3,
    kPortNoCounter = 5,
};

// Selector of the byte read and write operations.
enum MemoryKind : std::uint8_t {
    kMemFlash = 0,
    kMemFlashForced = 1,
    kMemEeprom = 2,
    kMemSignature = 3,
};

// Selector of WriteConfigByte.
enum ConfigByte : std::uint8_t {
    kFuseLow = 0,
    kFuseHigh = 1,
    kFuseExtended = 2,
    kLockBits = 3,
};

// Result of a whole programming run.
enum SequenceResult : int {
    kSeqDone = 0,
    kSeqFlashFailed = 1,
    kSeqPortNotReady = 3,
    kSeqNoConnection = 4,
    kSeqSignatureMismatch = 6,
    kSeqInvalidChip = 7,         // the chip index is not a row of the family's table; nothing ran
    kSeqDriverCallsFailed = 8,   // the steps ran, but device calls of the driver failed
    kSeqNothingToVerify = 9,     // verify without a write step, and no image loaded
    kSeqConfigWriteFailed = 10,  // a fuse or lock byte read back without the bits written
    kSeqTargetLost = 11,         // the target lost its supply or stopped answering mid-read
};

}  // namespace velkor
