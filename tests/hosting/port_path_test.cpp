#include "hosting/port_path.h"

#include <gtest/gtest.h>

#include "engine/isp_programmer.h"

namespace velkor {
namespace {

PortPathOptions SimPath(PortPathKind kind, const char* chip = "mega8") {
    PortPathOptions o;
    o.kind = kind;
    o.bench.chip = chip;
    return o;
}

TEST(PortPath, TheDriverPathOverTheSimulatorRunsAndLeavesNothingBoundBehind) {
    IspProgrammer engine;
    {
        std::string problem;
        auto path = PortPath::Bind(engine, SimPath(PortPathKind::kDriverSim), &problem);
        ASSERT_NE(path, nullptr) << problem;
        EXPECT_EQ(path->Kind(), PortPathKind::kDriverSim);
        EXPECT_NE(path->DeviceChannel(), nullptr);
        EXPECT_EQ(path->Describe(), "simulator via driver: mega8 on stk200");
        EXPECT_EQ(engine.UsesDriver(), 1);
        EXPECT_EQ(engine.OpenPort(), 0);
        engine.ReleasePort();
    }
    // The engine outlives the path: it must hold no pointer into what went away.
    EXPECT_EQ(engine.Backend().Direct(), nullptr);
    EXPECT_EQ(engine.Backend().Driver(), nullptr);
    EXPECT_EQ(engine.UsesDriver(), 0);
}

TEST(PortPath, AnUnknownSimulatedChipIsAProblemNotAPath) {
    IspProgrammer engine;
    std::string problem;
    EXPECT_EQ(PortPath::Bind(engine, SimPath(PortPathKind::kSim, "mega9999"), &problem), nullptr);
    EXPECT_EQ(problem, "unknown chip 'mega9999' for the simulated bench");
    EXPECT_EQ(engine.Backend().Direct(), nullptr);
}

}  // namespace
}  // namespace velkor
