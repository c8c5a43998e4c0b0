#include "engine/port_backend.h"

#include <cstring>

namespace velkor {

std::uint8_t PortBackend::ReadPort(bool useDriver, std::uint16_t address) {
    if (useDriver) {
        // A failed call reads as the undriven bus, which the port check takes for a missing
        // port; the failure itself is counted for the end of the run.
        std::uint8_t value = kFailedDriverRead;
        if (!Note(driver_ != nullptr && driver_->ReadPort(address, &value))) {
            return kFailedDriverRead;
        }
        return value;
    }
    return direct_ != nullptr ? direct_->In(address) : kFailedDriverRead;
}

void PortBackend::WritePort(bool useDriver, std::uint16_t address, std::uint8_t value) {
    if (useDriver) {
        Note(driver_ != nullptr && driver_->WritePort(address, value));
        return;
    }
    if (direct_ != nullptr) direct_->Out(address, value);
}

bool PortBackend::DriverSetParams(std::uint8_t cableKind, std::uint16_t portBase,
                                  std::uint16_t delayCount, std::uint32_t pageSize,
                                  std::uint32_t family) {
    return Note(driver_ != nullptr &&
                driver_->SetParams(cableKind, portBase, delayCount, pageSize, family));
}

bool PortBackend::DriverReadByte(std::uint8_t kind, std::uint32_t address, std::uint8_t* value) {
    *value = kFailedDriverRead;
    if (Note(driver_ != nullptr && driver_->ReadByte(kind, address, value))) return true;
    *value = kFailedDriverRead;
    return false;
}

bool PortBackend::DriverWriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    return Note(driver_ != nullptr && driver_->WriteByte(kind, address, value));
}

bool PortBackend::DriverWritePage(std::uint32_t address, std::uint32_t size,
                                  const std::uint8_t* bytes) {
    return Note(driver_ != nullptr && driver_->WritePage(address, size, bytes));
}

bool PortBackend::DriverReadPage(std::uint32_t address, std::uint8_t* bytes256) {
    if (Note(driver_ != nullptr && driver_->ReadPage(address, bytes256))) return true;
    // Whatever the destination held before must not pass for the chip's contents.
    std::memset(bytes256, kFailedDriverRead, 256);
    return false;
}

}  // namespace velkor
