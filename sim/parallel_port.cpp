#include "sim/parallel_port.h"

namespace velkor::sim {

bool ParallelPort::PinLevel(int pin) const {
    if (pin >= 2 && pin <= 9) return ((data_ >> (pin - 2)) & 1) != 0;
    switch (pin) {
        case 1:  // /STROBE
            return (control_ & 0x01) == 0;
        case 14:  // /AUTOFEED
            return (control_ & 0x02) == 0;
        case 16:  // /INIT is not inverted by the port
            return (control_ & 0x04) != 0;
        case 17:  // /SELECT IN
            return (control_ & 0x08) == 0;
        default:
            return true;
    }
}

std::uint8_t ParallelPort::ReadData() const {
    if (mode_ == PortMode::kReadbackFault) return static_cast<std::uint8_t>(data_ & ~0x40);
    return data_;
}

std::uint8_t ParallelPort::ReadStatus(const StatusPins& pins) const {
    std::uint8_t status = 0x07;  // reserved bits read high
    if (pins.pin15Error) status |= 0x08;
    if (pins.pin13Select) status |= 0x10;
    if (pins.pin12PaperEnd) status |= 0x20;
    if (pins.pin10Ack) status |= 0x40;
    if (!pins.pin11Busy) status |= 0x80;  // the port hardware inverts BUSY
    return status;
}

}  // namespace velkor::sim
