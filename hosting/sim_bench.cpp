#include "hosting/sim_bench.h"

#include "devices/chip_table.h"
#include "hosting/sim_chip_catalog.h"

namespace velkor {

SimBench::SimBench(IspProgrammer& engine, const SimBenchOptions& options, std::string* error)
    : engine_(engine), machine_(options.timing), io_(machine_), clock_(machine_) {
    if (options.base != 0) machine_.AddPort(options.base, options.portMode);
    if (!options.cable.empty()) {
        const sim::CableWiring* wiring = sim::WiringByName(options.cable);
        if (wiring == nullptr && error != nullptr) *error = "unknown cable '" + options.cable + "'";
        machine_.PlugCable(wiring);
        machine_.SetCableFaults(options.cableFaults);
    }
    machine_.SetTargetPower(options.targetPower);
    if (!options.chip.empty()) {
        if (int row = FindChipByName(kFamilyAvr, options.chip); row >= 0) {
            auto chip = MakeSimAvrChip(static_cast<unsigned>(row), options.faults);
            if (chip == nullptr && error != nullptr)
                *error = "no simulated part '" + options.chip + "'";
            avr_ = chip.get();
            machine_.AttachTarget(std::move(chip));
            family_ = kFamilyAvr;
            row_ = row;
        } else if (int row89 = FindChipByName(kFamily89S5x, options.chip); row89 >= 0) {
            auto chip = MakeSimAt89Chip(static_cast<unsigned>(row89));
            if (chip == nullptr && error != nullptr)
                *error = "no simulated part '" + options.chip + "'";
            at89_ = chip.get();
            machine_.AttachTarget(std::move(chip));
            family_ = kFamily89S5x;
            row_ = row89;
        } else if (error != nullptr) {
            *error = "unknown chip '" + options.chip + "'";
        }
    }
    engine_.Backend().BindDirect(&io_);
    engine_.SetClock(&clock_);
}

SimBench::~SimBench() {
    if (engine_.Backend().Direct() == &io_) engine_.Backend().BindDirect(nullptr);
    engine_.SetClock(nullptr);
}

}  // namespace velkor
