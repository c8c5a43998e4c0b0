// Port access and cables: the waits, the port check, the cable search and the release.
#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/isp_programmer.h"
#include "protocol/cable_pins.h"

namespace velkor {
namespace {

constexpr PortCandidate kCandidates[3] = {{"LPT1", 0x378}, {"LPT2", 0x278}, {"LPT3", 0x3BC}};

Msg DeviceLine(std::uint8_t kind) {
    switch (kind) {
        case kCableStk200:
            return Msg::kDeviceStk200;
        case kCableXilinx:
            return Msg::kDeviceXilinx;
        case kCableLattice:
            return Msg::kDeviceLattice;
        case kCableByteBlaster:
            return Msg::kDeviceByteBlaster;
        default:
            return Msg::kNone;
    }
}

bool Bit(std::uint8_t value, int bit) {
    return ((value >> bit) & 1) != 0;
}

}  // namespace

int IspProgrammer::PortCandidateCount() const {
    if (settings_.extraPortBase == 0) return 3;
    for (const PortCandidate& c : kCandidates) {
        if (c.base == settings_.extraPortBase) return 3;
    }
    return 4;
}

PortCandidate IspProgrammer::PortCandidateAt(int index) const {
    if (index >= 0 && index < 3) return kCandidates[index];
    return {"LPT4", settings_.extraPortBase};
}

void IspProgrammer::DelayMs(int ms) {
    if (clock_ == nullptr) return;
    const std::int64_t start = clock_->Counter();
    const std::int64_t frequency = clock_->Frequency();
    const std::int64_t target = start + (static_cast<std::int64_t>(ms) * frequency) / 1000;
    // Busy-wait: the counter is read until it reaches the target, without sleeping.
    while (clock_->Counter() < target) {
    }
}

void IspProgrammer::PortWait() {
    WaitReadTimes(delayCount);
}

void IspProgrammer::MeasureReadTime() {
    readTimeMeasured_ = true;
    sampleReadTicks_ = 0;
    if (!settings_.timedPortWaits || clock_ == nullptr || clock_->Frequency() <= 0) return;
    // The shortest of a few samples: a sample the thread was preempted in would stretch every
    // wait of the run by the time it was away.
    std::int64_t shortest = INT64_MAX;
    for (int sample = 0; sample < 4; ++sample) {
        const std::int64_t start = clock_->Counter();
        for (std::int64_t i = 0; i < kWaitSampleReads; ++i) (void)ReadPort(portBase);
        shortest = std::min(shortest, clock_->Counter() - start);
    }
    // A counter too coarse to see one read would round every short wait up to whole ticks:
    // the reads are then the better clock.
    if (shortest < kWaitSampleReads) return;
    // Counter values read n ticks apart can be up to n + 1 ticks apart in time: the reads
    // took at most that long, and a wait is never shorter than the reads it stands for.
    sampleReadTicks_ = shortest + 1;
}

void IspProgrammer::WaitReadTimes(std::uint32_t units) {
    if (units == 0) return;
    if (!readTimeMeasured_) MeasureReadTime();
    if (sampleReadTicks_ == 0 || !settings_.timedPortWaits || clock_ == nullptr) {
        for (std::uint32_t i = 0; i < units; ++i) (void)ReadPort(portBase);
        return;
    }
    const std::int64_t ticks =
        (static_cast<std::int64_t>(units) * sampleReadTicks_ + kWaitSampleReads - 1) /
        kWaitSampleReads;
    // As above: the counter must move one tick more than the wait for that much time to
    // have passed for certain.
    const std::int64_t target = clock_->Counter() + ticks + 1;
    while (clock_->Counter() < target) {
    }
}

int IspProgrammer::CheckPort() {
    WritePort(static_cast<std::uint16_t>(portBase + 2), 0x00);
    WritePort(portBase, 0x08);
    if (ReadPort(portBase) != 0x08) return -1;
    WritePort(portBase, 0x40);
    return ReadPort(portBase) == 0x40 ? 0 : -1;
}

void IspProgrammer::DetectCable(PortRequest& request) {
    request.cableKind = kCableNone;
    if (clock_ == nullptr || clock_->Frequency() == 0) {
        request.result = kPortNoCounter;
        return;
    }
    request.result = kPortMissing;
    readTimeMeasured_ = false;  // the next wait measures the read time of the port found
    if (FindPort(request)) IdentifyCable(request);
}

bool IspProgrammer::FindPort(PortRequest& request) {
    const int count = PortCandidateCount();
    auto take = [&](std::uint16_t index) {
        delayCount = request.delayRequest;
        portBase = PortCandidateAt(index % count).base;
        request.portBase = portBase;
    };
    request.lptIndex = static_cast<std::uint16_t>(request.lptIndex % count);
    take(request.lptIndex);
    bool found = CheckPort() == 0;
    for (int tried = 1; !found && tried < count; ++tried) {
        request.lptIndex = static_cast<std::uint16_t>((request.lptIndex + 1) % count);
        take(request.lptIndex);
        found = CheckPort() == 0;
    }
    return found;
}

void IspProgrammer::IdentifyCable(PortRequest& request) {
    const std::uint16_t status = static_cast<std::uint16_t>(portBase + 1);
    // One loopback test: drive `high`, expect `wantHigh(status)`, then drive 0x00 and expect
    // `wantLow(status)`. The test fails at its first read that does not match.
    auto loopback = [&](std::uint8_t high, auto wantHigh, auto wantLow) {
        WritePort(portBase, high);
        if (!wantHigh(ReadPort(status))) return false;
        WritePort(portBase, 0x00);
        return static_cast<bool>(wantLow(ReadPort(status)));
    };
    auto store = [&](std::uint8_t kind) {
        request.cableKind = kind;
        cableKind = kind;
    };
    auto powerCheck = [&] {
        request.result = Bit(ReadPort(status), 3) ? kPortReady : kPortNoPower;
    };

    if (loopback(
            0x20, [](std::uint8_t s) { return Bit(s, 6); },
            [](std::uint8_t s) { return !Bit(s, 6); })) {
        WritePort(static_cast<std::uint16_t>(portBase + 2), 0x02);
        store(kCableByteBlaster);
        request.result = kPortReady;  // the ByteBlasterMV has no power sense line
        return;
    }
    if (loopback(
            0x01, [](std::uint8_t s) { return Bit(s, 5); },
            [](std::uint8_t s) { return !Bit(s, 5); })) {
        store(kCableStk200);
        powerCheck();
        return;
    }
    if (loopback(
            0x80, [](std::uint8_t s) { return Bit(s, 5); },
            [](std::uint8_t s) { return !Bit(s, 5); })) {
        WritePort(portBase, 0x08);
        store(kCableUnnamed);
        powerCheck();
        return;
    }
    if (loopback(
            0x40, [](std::uint8_t s) { return !Bit(s, 7) && Bit(s, 5); },
            [](std::uint8_t s) { return Bit(s, 7) && !Bit(s, 5); })) {
        store(kCableXilinx);
        powerCheck();
        return;
    }
    if (loopback(
            0x40, [](std::uint8_t s) { return Bit(s, 5); },
            [](std::uint8_t s) { return !Bit(s, 5); })) {
        store(kCableLattice);
        powerCheck();
        return;
    }
    request.result = kPortNoCable;
}

int IspProgrammer::OpenPort() {
    if (useDriver == 0 && backend_.Direct() != nullptr) {
        // Without the right to use the ports every read floats and the search ends with
        // "port missing"; say why first, so the user knows what to change.
        Log(backend_.Direct()->AccessProblem());
    }
    DetectCable(portRequest);
    Log(DeviceLine(portRequest.cableKind));
    const char* name = PortCandidateAt(portRequest.lptIndex % PortCandidateCount()).name;
    switch (portRequest.result) {
        case kPortReady:
            return 0;
        case kPortNoPower:
            Log(Msg::kNoPower);
            return 1;
        case kPortNoCable:
            Log({Msg::kNoCable, {std::string(name)}});
            return 1;
        case kPortMissing:
            Log({Msg::kPortMissing, {std::string(name), Num(portRequest.portBase)}});
            return 1;
        default:
            Log(Msg::kNoPreciseClock);
            return 1;
    }
}

void IspProgrammer::ReleasePort() {
    for (const CableStep* step = CableReleaseSteps(cableKind, settings_.targetFamily);
         step->kind != CABLE_STEP_END; ++step) {
        switch (step->kind) {
            case CABLE_STEP_DATA:
                WritePort(portBase, step->value);
                break;
            case CABLE_STEP_CONTROL:
                WritePort(static_cast<std::uint16_t>(portBase + 2), step->value);
                break;
            case CABLE_STEP_WAIT:
                PortWait();
                break;
        }
    }
    cableKind = kCableNone;
}

}  // namespace velkor
