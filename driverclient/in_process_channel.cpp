#include "driverclient/in_process_channel.h"

#include <utility>

#include "protocol/tarnel_protocol.h"

namespace velkor {

InProcessChannel::InProcessChannel(PortIo& port, std::function<void()> onCall)
    : port_(port), onCall_(std::move(onCall)), io_{&In, &Out, this} {}

std::uint8_t InProcessChannel::In(void* context, std::uint16_t port) {
    return static_cast<InProcessChannel*>(context)->port_.In(port);
}

void InProcessChannel::Out(void* context, std::uint16_t port, std::uint8_t value) {
    static_cast<InProcessChannel*>(context)->port_.Out(port, value);
}

bool InProcessChannel::Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                               std::uint32_t* bytesReturned) {
    ++calls_;
    if (onCall_) onCall_();
    const std::uint32_t index = (code - IOCTL_TARNEL_READ_PORT) / 4;
    ++byCode_[code >= IOCTL_TARNEL_READ_PORT && index < 7 ? index : 7];
    const std::uint32_t status =
        TarnelDispatchControl(&params_, &io_, code, buffer, length, length, bytesReturned);
    if (status == TARNEL_STATUS_SUCCESS) return true;
    // As the system reports the driver's refusal to a caller.
    lastError_ = status == TARNEL_STATUS_INVALID_PARAMETER ? kDriverErrorInvalidParameter : status;
    return false;
}

}  // namespace velkor
