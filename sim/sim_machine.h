// The simulated hardware as a whole: ports on the I/O bus, the cable in the first port's
// connector, the target chip, and a virtual clock that advances with every access. It is
// the demo device a user can pick and the ground every test stands on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sim/cable_wiring.h"
#include "sim/parallel_port.h"
#include "sim/sim_types.h"

namespace velkor::sim {

struct AccessCounters {
    std::uint64_t portReads = 0;
    std::uint64_t portWrites = 0;
    std::uint64_t counterReads = 0;
    std::uint64_t deviceCalls = 0;
};

struct TraceEntry {
    bool write;
    std::uint16_t address;
    std::uint8_t value;
};

struct SimTiming {
    std::uint64_t portAccessNs = 1000;           // one port instruction
    std::uint64_t counterReadNs = 1000;          // one read of the high-resolution counter
    std::int64_t counterFrequency = 10'000'000;  // 0 simulates a platform without a counter
};

class SimMachine {
  public:
    explicit SimMachine(SimTiming timing = {});

    // ---- building the bench ----
    ParallelPort& AddPort(std::uint16_t base, PortMode mode = PortMode::kPresent);
    // Plugs a cable (null: none) into the port at `base`, or into the first port that is
    // not absent when `base` is 0.
    void PlugCable(const CableWiring* wiring, std::uint16_t base = 0);
    // Damages the plugged cable (a broken wire, two pins touching); {} mends it.
    void SetCableFaults(const CableFaults& faults) { cableFaults_ = faults; }
    void AttachTarget(std::unique_ptr<SimTarget> target);
    void SetTargetPower(bool on);
    // Cuts the target's supply once this many more port accesses have been made (0: now).
    void CutPowerAfter(std::uint64_t accesses);
    // Runs `action` once, right after this many more port accesses have completed: a fault
    // that strikes at a chosen moment (pulling the cable, silencing the chip). One at a time;
    // a null action cancels it.
    void AfterAccesses(std::uint64_t accesses, std::function<void(SimMachine&)> action);

    SimTarget* Target() const { return target_.get(); }
    const CableWiring* Cable() const { return cable_; }
    ParallelPort* CablePort() const { return cablePort_; }

    // ---- the I/O bus ----
    std::uint8_t In(std::uint16_t address);
    void Out(std::uint16_t address, std::uint8_t value);

    // ---- the clock ----
    std::int64_t Frequency() const { return timing_.counterFrequency; }
    std::int64_t Counter();
    void Sleep(unsigned milliseconds) { nowNs_ += std::uint64_t{milliseconds} * 1'000'000; }
    void AdvanceNs(std::uint64_t ns) { nowNs_ += ns; }
    std::uint64_t NowNs() const { return nowNs_; }
    SimTiming& Timing() { return timing_; }

    // ---- instrumentation ----
    const AccessCounters& Counters() const { return counters_; }
    void CountDeviceCall() { ++counters_.deviceCalls; }
    void ResetCounters() { counters_ = {}; }
    void EnableTrace(bool on) { tracing_ = on; }
    const std::vector<TraceEntry>& Trace() const { return trace_; }
    void ClearTrace() { trace_.clear(); }

  private:
    std::uint64_t Accesses() const { return counters_.portReads + counters_.portWrites; }
    void Tick();
    void UpdateTarget();

    SimTiming timing_;
    std::vector<std::unique_ptr<ParallelPort>> ports_;
    const CableWiring* cable_ = nullptr;
    CableFaults cableFaults_;
    ParallelPort* cablePort_ = nullptr;
    std::unique_ptr<SimTarget> target_;
    bool targetPower_ = true;
    std::uint64_t powerCutAt_ = UINT64_MAX;
    std::uint64_t actionAt_ = UINT64_MAX;
    std::function<void(SimMachine&)> action_;
    std::uint64_t nowNs_ = 0;
    AccessCounters counters_;
    bool tracing_ = false;
    std::vector<TraceEntry> trace_;
};

}  // namespace velkor::sim
