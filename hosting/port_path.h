// The composition root: the one place that chooses how the program reaches the parallel
// port (the Windows driver, port instructions, ppdev or the built-in simulator), binds that
// path to the engine and owns everything the path needs for as long as it is used. The
// command line and the windows all build their port path here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driverclient/driver_channel.h"
#include "engine/isp_programmer.h"
#include "hosting/sim_bench.h"
#include "messages/log_messages.h"

namespace velkor {

enum class PortPathKind { kAuto, kSim, kDriverSim, kDriver, kPpdev, kDirect };

struct PortPathOptions {
    PortPathKind kind = PortPathKind::kAuto;
    std::string ppdevDevice;  // a /dev/parportN to use as LPT1 on the ppdev path; empty: search
    SimBenchOptions bench;    // the simulated bench of the sim and driver-sim paths
    std::optional<std::uint64_t> simPowerCut;  // the bench's supply fails after this many accesses
};

// The short name of a path, as the command line spells it ("auto", "sim", "driver-sim",
// "driver", "ppdev", "direct").
const char* PortPathName(PortPathKind kind);

class PortPath {
  public:
    // Chooses the path (kAuto: the driver on Windows, whether or not Tarnel.sys lies beside
    // the program, unless this build cannot load a driver there; on Linux ppdev when a
    // parport device exists, else the simulator), binds it to the engine and returns it. Null after
    // a problem the caller must report (an unknown simulated chip, a path this platform does not
    // have, a driver this build cannot load here), with `problem` saying what it was.
    static std::unique_ptr<PortPath> Bind(IspProgrammer& engine, const PortPathOptions& options,
                                          std::string* problem);
    ~PortPath();
    PortPath(const PortPath&) = delete;
    PortPath& operator=(const PortPath&) = delete;

    PortPathKind Kind() const { return kind_; }
    // When the path was chosen automatically, one log line saying which and why; kNone
    // otherwise.
    const LogLine& ChoiceLine() const { return choiceLine_; }
    // The same line in English without its line end, as the command line prints it; empty
    // when the path was not chosen automatically.
    const std::string& ChoiceNote() const { return choiceNote_; }
    // A short description for a window title: "ppdev", "simulator: mega8 on stk200", ...
    std::string Describe() const;
    // The simulated bench (sim and driver-sim paths), else null.
    SimBench* Bench() const { return bench_.get(); }
    // The device channel of the driver paths (driver, driver-sim), else null.
    DriverChannel* DeviceChannel() const { return deviceChannel_; }

  private:
    struct Owned;
    explicit PortPath(IspProgrammer& engine);

    IspProgrammer& engine_;
    PortPathKind kind_ = PortPathKind::kAuto;
    void SetChoice(LogLine line);

    LogLine choiceLine_;
    std::string choiceNote_;
    std::string benchChip_;
    std::string benchCable_;
    std::unique_ptr<SimBench> bench_;
    std::unique_ptr<Owned> owned_;
    DriverChannel* deviceChannel_ = nullptr;
};

}  // namespace velkor
