// Whether a driver file is one this program was built with: the program carries the SHA-256
// of the driver images built beside it, and a file with any other digest is neither
// registered nor started, since whatever the file holds would run in the kernel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driverclient/sha256.h"

namespace velkor {

struct DriverFileVerdict {
    enum class State { kGood, kMissing, kUnreadable, kChanged };
    State state = State::kGood;
    std::string digest;  // the file's SHA-256 in hex, when it could be read
    std::string reason;  // the system's words, when it could not
};

// Reads the file at `path` (UTF-8) whole and compares its digest with each of `accepted`.
DriverFileVerdict CheckDriverFile(const std::string& path,
                                  const std::vector<Sha256Digest>& accepted);

}  // namespace velkor
