// A check of the driver's control protocol through a DriverChannel: each of the seven codes
// is sent once, with the byte count and the answers that do not depend on what hangs on the
// port compared against the protocol; a code beyond them, and a port outside the
// parallel-port blocks, must be refused. With the base of a port card the installation
// configured (`extraBase`), a read and the parameters at that base must be served, and at a
// base not configured refused as an invalid parameter. It tells a user (and the end-to-end test)
// that the installed driver and this program speak the same protocol and guard the same ports.
//
// It moves no cable line: the data register is written back with the value read from it, and
// the parameters name cable kind 0, for which the memory commands shift nothing. Every run
// sends its own parameters first, so leaving these behind is harmless.
#pragma once

#include <string>
#include <vector>

#include "driverclient/driver_channel.h"

namespace velkor {

struct DriverCheckResult {
    std::string code;  // the control code's name
    bool passed = false;
    std::string detail;  // what was sent back, or what was wrong
};

std::vector<DriverCheckResult> CheckDriverProtocol(DriverChannel& channel,
                                                   std::uint16_t portBase = 0x378,
                                                   std::uint16_t extraBase = 0);

}  // namespace velkor
