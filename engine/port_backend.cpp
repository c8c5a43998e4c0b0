#include "engine/port_backend.h"

namespace velkor {

std::uint8_t PortBackend::ReadPort(bool useDriver, std::uint16_t address) {
    if (useDriver) {
        // The output buffer of a failed call stays unfilled; the caller never looks at the
        // call's result, so a failure reads as a fixed value.
        std::uint8_t value = kFailedDriverRead;
        if (driver_ == nullptr || !driver_->ReadPort(address, &value)) return kFailedDriverRead;
        return value;
    }
    return direct_ != nullptr ? direct_->In(address) : kFailedDriverRead;
}

void PortBackend::WritePort(bool useDriver, std::uint16_t address, std::uint8_t value) {
    if (useDriver) {
        if (driver_ != nullptr) driver_->WritePort(address, value);
        return;
    }
    if (direct_ != nullptr) direct_->Out(address, value);
}

}  // namespace velkor
