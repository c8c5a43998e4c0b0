#include "sim/sim_machine.h"

#include <utility>

namespace velkor::sim {

SimMachine::SimMachine(SimTiming timing) : timing_(timing) {}

ParallelPort& SimMachine::AddPort(std::uint16_t base, PortMode mode) {
    ports_.push_back(std::make_unique<ParallelPort>(base, mode));
    return *ports_.back();
}

void SimMachine::PlugCable(const CableWiring* wiring, std::uint16_t base) {
    cable_ = wiring;
    cablePort_ = nullptr;
    for (auto& port : ports_) {
        const bool wanted = base != 0 ? port->Base() == base : port->Mode() != PortMode::kAbsent;
        if (wanted) {
            cablePort_ = port.get();
            break;
        }
    }
    UpdateTarget();
}

void SimMachine::AttachTarget(std::unique_ptr<SimTarget> target) {
    target_ = std::move(target);
    if (target_) target_->SetPower(targetPower_, nowNs_);
    UpdateTarget();
}

void SimMachine::SetTargetPower(bool on) {
    targetPower_ = on;
    if (target_) target_->SetPower(on, nowNs_);
    UpdateTarget();
}

void SimMachine::CutPowerAfter(std::uint64_t accesses) {
    if (accesses == 0) {
        powerCutAt_ = UINT64_MAX;
        SetTargetPower(false);
        return;
    }
    powerCutAt_ = accesses + Accesses();
}

void SimMachine::AfterAccesses(std::uint64_t accesses, std::function<void(SimMachine&)> action) {
    action_ = std::move(action);
    actionAt_ = action_ ? accesses + Accesses() : UINT64_MAX;
}

void SimMachine::Tick() {
    nowNs_ += timing_.portAccessNs;
    if (Accesses() >= actionAt_) {
        actionAt_ = UINT64_MAX;
        auto action = std::move(action_);
        action_ = nullptr;
        action(*this);
    }
    if (Accesses() >= powerCutAt_ && targetPower_) {
        powerCutAt_ = UINT64_MAX;
        SetTargetPower(false);
    }
}

void SimMachine::UpdateTarget() {
    ParallelPort* port = CablePort();
    if (target_ == nullptr || cable_ == nullptr || port == nullptr) return;
    const TargetLines lines = DriveTarget(*cable_, *port, cableFaults_);
    target_->SetLines(lines.reset, lines.sck, lines.mosi, nowNs_);
}

std::uint8_t SimMachine::In(std::uint16_t address) {
    ++counters_.portReads;
    std::uint8_t value = 0xFF;  // an undecoded address reads the floating bus
    for (auto& port : ports_) {
        if (!port->Decodes(address)) continue;
        const unsigned reg = address - port->Base();
        if (reg == 0) {
            value = port->ReadData();
        } else if (reg == 2) {
            value = port->ReadControl();
        } else if (cable_ != nullptr && port.get() == cablePort_) {
            const bool powered = target_ != nullptr ? target_->Powered() : targetPower_;
            const Level miso = target_ != nullptr ? target_->Miso() : Level::kFloating;
            value = port->ReadStatus(SenseInputs(*cable_, *port, miso, powered, cableFaults_));
        } else {
            value = port->ReadStatus(StatusPins{});
        }
        break;
    }
    if (tracing_) trace_.push_back({false, address, value});
    // The access completes before time moves on, as a write does: a power cut due after
    // this access must not already show in the value it returns.
    Tick();
    return value;
}

void SimMachine::Out(std::uint16_t address, std::uint8_t value) {
    ++counters_.portWrites;
    if (tracing_) trace_.push_back({true, address, value});
    for (auto& port : ports_) {
        if (!port->Decodes(address)) continue;
        const unsigned reg = address - port->Base();
        if (reg == 0) port->WriteData(value);
        if (reg == 2) port->WriteControl(value);
        if (reg != 1 && port.get() == cablePort_) UpdateTarget();
        break;
    }
    Tick();
}

std::int64_t SimMachine::Counter() {
    ++counters_.counterReads;
    nowNs_ += timing_.counterReadNs;
    if (timing_.counterFrequency == 0) return 0;
    // Ticks of the virtual counter: virtual nanoseconds scaled to its frequency.
    const std::uint64_t frequency = static_cast<std::uint64_t>(timing_.counterFrequency);
    const std::uint64_t seconds = nowNs_ / 1'000'000'000;
    const std::uint64_t rest = nowNs_ % 1'000'000'000;
    return static_cast<std::int64_t>(seconds * frequency + rest * frequency / 1'000'000'000);
}

}  // namespace velkor::sim
