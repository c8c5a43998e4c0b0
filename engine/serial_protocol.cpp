#include "engine/serial_protocol.h"

namespace velkor {

int SerialProtocol::PollUntil(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    // No pause between reads: the time-out is 200 read instructions at the current speed.
    for (int i = 0; i < 200; ++i) {
        if (ReadByte(kind, address) == value) return 0;
    }
    return 1;
}

}  // namespace velkor
