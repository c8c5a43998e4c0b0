// An engine on a simulated bench in one line: `SimRig rig({.chip = "mega8", .cable = "stk200"});`
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/isp_programmer.h"
#include "hosting/sim_bench.h"
#include "tests/support/engine_edit.h"
#include "tests/support/recording_notifier.h"

namespace velkor::test {

struct SimRig {
    explicit SimRig(const SimBenchOptions& options = {});

    IspProgrammer engine;
    RecordingNotifier notes;
    std::unique_ptr<SimBench> bench;

    sim::SimMachine& Machine() { return bench->Machine(); }
    // Data-register writes recorded since tracing was switched on.
    std::vector<std::uint8_t> DataWrites() const;
    // The log split into lines, each keeping its line end.
    std::vector<std::string> LogLines() const;
};

}  // namespace velkor::test
