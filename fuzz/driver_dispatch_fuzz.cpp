// libFuzzer target for the driver's request dispatch: a sequence of requests, each a control
// code, an input and an output length and the buffer's bytes, served against one parameter
// set that earlier requests may have changed. A refused request must leave the buffer, the
// parameters and the byte count alone; an accepted one returns no more than the output length
// and stores no wait beyond the program's longest. Every port access, of any request, must
// fall in the three parallel-port register blocks (the fuzzer configures no card base).
// The buffer is a heap block of exactly the request's size, so the sanitizer sees any access
// past it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/dispatch.h"
#include "protocol/tarnel_protocol.h"

namespace {

struct FakePort {
    std::uint32_t noise = 1;
};

// The admitted blocks, written out here rather than asked of the guard under test.
void CheckPort(std::uint16_t port) {
    for (const std::uint16_t base : {0x378, 0x278, 0x3BC}) {
        if (port >= base && port < base + 3) return;
    }
    std::abort();
}

std::uint8_t In(void* context, std::uint16_t port) {
    CheckPort(port);
    auto* state = static_cast<FakePort*>(context);
    state->noise = state->noise * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(state->noise >> 16);
}
void Out(void*, std::uint16_t port, std::uint8_t) {
    CheckPort(port);
}

constexpr std::uint32_t kCodes[] = {IOCTL_TARNEL_READ_PORT,  IOCTL_TARNEL_WRITE_PORT,
                                    IOCTL_TARNEL_SET_PARAMS, IOCTL_TARNEL_WRITE_BYTE,
                                    IOCTL_TARNEL_WRITE_PAGE, IOCTL_TARNEL_READ_BYTE,
                                    IOCTL_TARNEL_READ_PAGE};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DriverParams params{};
    FakePort port;
    const TarnelPortIo io{In, Out, &port};
    std::size_t at = 0;
    auto take = [&](std::size_t n) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v = v << 8 | (at < size ? data[at++] : 0);
        return v;
    };
    for (int request = 0; request < 16 && at < size; ++request) {
        const std::uint8_t selector = static_cast<std::uint8_t>(take(1));
        const std::uint32_t code = selector < 7 * 32 ? kCodes[selector % 7] : take(4);
        const std::uint32_t inputLength = take(2) % 600;
        const std::uint32_t outputLength = take(2) % 600;
        const std::size_t length = inputLength > outputLength ? inputLength : outputLength;
        std::vector<std::uint8_t> storage(length);
        for (auto& b : storage) b = static_cast<std::uint8_t>(take(1));
        // Waits the driver serves are cut below 4 reads, so that a case takes milliseconds (the
        // longest admitted ones are minutes of shifting per fuzz case); waits beyond the
        // driver's bound stay as they came, for it to refuse.
        if (code == IOCTL_TARNEL_SET_PARAMS) {
            const struct {
                std::uint32_t offset, most;
            } waits[] = {{TARNEL_SET_PARAMS_DELAY_COUNT_OFFSET, TARNEL_MAX_DELAY_COUNT},
                         {TARNEL_SET_PARAMS_AT89_BYTE_WAIT_OFFSET, TARNEL_MAX_AT89_BYTE_WAIT}};
            for (const auto& wait : waits) {
                if (length <= wait.offset + 1) continue;
                const std::uint32_t value = storage[wait.offset] | (storage[wait.offset + 1] << 8);
                if (value > wait.most) continue;
                storage[wait.offset] &= 3;
                storage[wait.offset + 1] = 0;
            }
        }
        std::uint8_t* buffer = nullptr;
        std::vector<std::uint8_t> exact;
        if (length != 0) {
            buffer = static_cast<std::uint8_t*>(std::malloc(length));
            std::memcpy(buffer, storage.data(), length);
        }
        const DriverParams before = params;
        std::uint32_t returned = 0xDEADBEEF;
        const std::uint32_t status =
            TarnelDispatchControl(&params, &io, code, buffer, inputLength, outputLength, &returned);
        if (status == TARNEL_STATUS_SUCCESS) {
            if (returned > outputLength) std::abort();
            if (params.page_size > 256) std::abort();
            if (params.delay_count > TARNEL_MAX_DELAY_COUNT) std::abort();
            if (params.at89_byte_wait > TARNEL_MAX_AT89_BYTE_WAIT) std::abort();
        } else {
            if (status != TARNEL_STATUS_INVALID_PARAMETER || returned != 0) std::abort();
            if (std::memcmp(&before, &params, sizeof params) != 0) std::abort();
            if (length != 0 && std::memcmp(buffer, storage.data(), length) != 0) std::abort();
        }
        std::free(buffer);
    }
    return 0;
}
