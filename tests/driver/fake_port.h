// A recording port for the driver core's tests: logs every access in order and answers reads
// from a script. WireTarget adds a listener on the serial lines that decodes the bytes the
// driver clocks out and answers with scripted bytes on MISO.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

#include "driver/port_io.h"

namespace velkor::test {

struct PortAccess {
    enum Kind : std::uint8_t { kIn, kOut } kind;
    std::uint16_t port;
    std::uint8_t value;  // the byte written, or the byte the read returned
    bool operator==(const PortAccess&) const = default;
};

inline PortAccess In(std::uint16_t port, std::uint8_t value = 0) {
    return {PortAccess::kIn, port, value};
}
inline PortAccess Out(std::uint16_t port, std::uint8_t value) {
    return {PortAccess::kOut, port, value};
}

inline std::ostream& operator<<(std::ostream& os, const PortAccess& a) {
    return os << (a.kind == PortAccess::kIn ? "in(" : "out(") << std::hex << "0x" << a.port
              << ", 0x" << int{a.value} << ")" << std::dec;
}

class FakePort {
  public:
    // Answers a read of the given port; reads give 0 when unset.
    std::function<std::uint8_t(std::uint16_t)> reader;
    std::vector<PortAccess> log;
    // Bumped by Clear(), so that listeners know a new conversation starts.
    std::size_t generation = 0;

    TarnelPortIo Io() { return TarnelPortIo{&FakePort::InThunk, &FakePort::OutThunk, this}; }

    void Clear() {
        log.clear();
        ++generation;
    }

    // The accesses with every read's value cleared, for comparing against an expected
    // sequence that only names ports.
    std::vector<PortAccess> Shape() const {
        std::vector<PortAccess> shape = log;
        for (PortAccess& a : shape) {
            if (a.kind == PortAccess::kIn) a.value = 0;
        }
        return shape;
    }

    std::vector<std::uint8_t> Writes() const {
        std::vector<std::uint8_t> values;
        for (const PortAccess& a : log) {
            if (a.kind == PortAccess::kOut) values.push_back(a.value);
        }
        return values;
    }

  private:
    static std::uint8_t InThunk(void* context, std::uint16_t port) {
        auto* self = static_cast<FakePort*>(context);
        const std::uint8_t value = self->reader ? self->reader(port) : 0;
        self->log.push_back(In(port, value));
        return value;
    }
    static void OutThunk(void* context, std::uint16_t port, std::uint8_t value) {
        static_cast<FakePort*>(context)->log.push_back(Out(port, value));
    }
};

// How a cable's lines sit in the data and status registers, as the test states them.
struct Wire {
    std::uint16_t base;
    std::uint8_t mosi;
    std::uint8_t sck;
    std::uint8_t misoBit;
    bool misoInverted;
};

// A target on the wire: takes MOSI on every rising SCK edge, and presents bit k of
// answers[k / 8] on MISO before rising edge k (0 past the end of the script). Every other
// status bit reads the opposite of MISO, so sampling the wrong bit shows.
class WireTarget {
  public:
    WireTarget(FakePort& port, Wire wire, std::vector<std::uint8_t> answers = {})
        : port_(port), wire_(wire), answers_(std::move(answers)) {
        port_.reader = [this](std::uint16_t address) -> std::uint8_t {
            if (address != wire_.base + 1) return 0;
            const std::size_t edge = RisingEdges();
            const std::size_t index = edge / 8;
            const bool bit =
                index < answers_.size() && ((answers_[index] >> (7 - edge % 8)) & 1) != 0;
            const bool level = bit != wire_.misoInverted;
            return level ? wire_.misoBit : static_cast<std::uint8_t>(~wire_.misoBit);
        };
    }

    void SetAnswers(std::vector<std::uint8_t> answers) { answers_ = std::move(answers); }

    // Every byte clocked out so far, including the 0x00 that MOSI carries while the target
    // answers; a trailing partial byte is dropped.
    std::vector<std::uint8_t> SentBytes() const {
        std::vector<std::uint8_t> bytes;
        std::uint8_t current = 0;
        int bits = 0;
        ForEachRisingEdge([&](std::uint8_t data) {
            current = static_cast<std::uint8_t>((current << 1) | ((data & wire_.mosi) ? 1 : 0));
            if (++bits == 8) {
                bytes.push_back(current);
                current = 0;
                bits = 0;
            }
        });
        return bytes;
    }

  private:
    // Counts rising edges up to the end of the log, carrying on from the last call.
    std::size_t RisingEdges() {
        if (port_.generation != generation_) {
            generation_ = port_.generation;
            scanned_ = 0;
            edges_ = 0;
            high_ = false;
        }
        for (; scanned_ < port_.log.size(); ++scanned_) {
            const PortAccess& a = port_.log[scanned_];
            if (a.kind != PortAccess::kOut || a.port != wire_.base) continue;
            const bool now = (a.value & wire_.sck) != 0;
            if (now && !high_) ++edges_;
            high_ = now;
        }
        return edges_;
    }

    template <typename F>
    void ForEachRisingEdge(F f) const {
        bool high = false;
        for (const PortAccess& a : port_.log) {
            if (a.kind != PortAccess::kOut || a.port != wire_.base) continue;
            const bool now = (a.value & wire_.sck) != 0;
            if (now && !high) f(a.value);
            high = now;
        }
    }

    FakePort& port_;
    Wire wire_;
    std::vector<std::uint8_t> answers_;
    std::size_t scanned_ = 0;
    std::size_t edges_ = 0;
    bool high_ = false;
    std::size_t generation_ = 0;
};

}  // namespace velkor::test
