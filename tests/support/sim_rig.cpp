#include "tests/support/sim_rig.h"

namespace velkor::test {

SimRig::SimRig(const SimBenchOptions& options) {
    engine.SetReports(&notes);
    bench = std::make_unique<SimBench>(engine, options);
}

std::vector<std::uint8_t> SimRig::DataWrites() const {
    std::vector<std::uint8_t> values;
    const std::uint16_t base = engine.PortBase();
    for (const sim::TraceEntry& e : bench->Machine().Trace()) {
        if (e.write && e.address == base) values.push_back(e.value);
    }
    return values;
}

std::vector<std::string> SimRig::LogLines() const {
    std::vector<std::string> lines;
    const std::string text = engine.LogText();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

}  // namespace velkor::test
