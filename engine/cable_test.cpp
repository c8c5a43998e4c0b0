#include "engine/cable_test.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/isp_programmer.h"
#include "protocol/cable_pins.h"

namespace velkor {
namespace {

using Kind = CableTestFinding::Kind;

// The connector's status inputs, as the status register presents them.
constexpr int kInputPins[] = {10, 11, 12, 13, 15};
constexpr int kInputCount = 5;

// Level of each input pin (in kInputPins order) in one status byte; BUSY (pin 11) is
// presented inverted by the port hardware, so it is turned back here.
std::array<bool, kInputCount> PinLevels(std::uint8_t status) {
    return {(status & 0x40) != 0, (status & 0x80) == 0, (status & 0x20) != 0, (status & 0x10) != 0,
            (status & 0x08) != 0};
}

int InputIndex(int pin) {
    for (int i = 0; i < kInputCount; ++i) {
        if (kInputPins[i] == pin) return i;
    }
    return -1;
}

const char* PinName(int pin) {
    switch (pin) {
        case 10:
            return "ACK";
        case 11:
            return "BUSY";
        case 12:
            return "PAPER END";
        case 13:
            return "SELECT";
        case 15:
            return "ERROR";
        default:
            return "?";
    }
}

std::string InputText(int pin) {
    return std::string(PinName(pin)) + " (pin " + std::to_string(pin) + ")";
}

std::string DataText(int bit) {
    return "D" + std::to_string(bit) + " (pin " + std::to_string(bit + 2) + ")";
}

// The loopbacks by which each cable kind is recognised, in connector terms, in the order the
// port search tests them.
struct Signature {
    std::uint8_t kind;
    CableLink links[2];
    int count;
};
constexpr Signature kSignatures[] = {
    {kCableByteBlaster, {{5, 10, false}, {}}, 1},
    {kCableStk200, {{0, 12, false}, {}}, 1},
    {kCableUnnamed, {{7, 12, false}, {}}, 1},
    {kCableXilinx, {{6, 12, false}, {6, 11, false}}, 2},
    {kCableLattice, {{6, 12, false}, {}}, 1},
};

bool Contains(const std::vector<CableLink>& links, const CableLink& link) {
    return std::find(links.begin(), links.end(), link) != links.end();
}

const Signature* SignatureOf(std::uint8_t kind) {
    for (const Signature& s : kSignatures) {
        if (s.kind == kind) return &s;
    }
    return nullptr;
}

bool InSignature(const Signature* signature, const CableLink& link) {
    if (signature == nullptr) return false;
    for (int i = 0; i < signature->count; ++i) {
        if (signature->links[i] == link) return true;
    }
    return false;
}

// What the data register reads back for each value written: a port is there when anything
// but the floating bus comes back, and each data line that never reads back as written is
// stuck at the level it shows.
struct PortProbe {
    bool answers = false;
    std::uint8_t stuckHigh = 0;
    std::uint8_t stuckLow = 0;
};

PortProbe ProbePort(IspProgrammer& engine, std::uint16_t base) {
    PortProbe probe;
    engine.WritePort(static_cast<std::uint16_t>(base + 2), 0x00);
    std::uint8_t everHigh = 0;
    std::uint8_t everLow = 0;
    bool allFloating = true;
    auto check = [&](std::uint8_t value) {
        engine.WritePort(base, value);
        const std::uint8_t back = engine.ReadPort(base);
        allFloating = allFloating && back == 0xFF;
        // Bits that could not show the written level.
        everHigh |= static_cast<std::uint8_t>(value & back);
        everLow |= static_cast<std::uint8_t>(~value & ~back);
    };
    check(0x00);
    check(0xFF);
    for (int bit = 0; bit < 8; ++bit) {
        check(static_cast<std::uint8_t>(1u << bit));
        check(static_cast<std::uint8_t>(~(1u << bit)));
    }
    probe.answers = !allFloating;
    probe.stuckLow = static_cast<std::uint8_t>(~everHigh);
    probe.stuckHigh = static_cast<std::uint8_t>(~everLow);
    return probe;
}

void Add(CableTestResult& result, Kind kind, int dataBit, int pin, int otherPin, std::string text) {
    result.findings.push_back({kind, dataBit, pin, otherPin, std::move(text)});
}

}  // namespace

const char* CableTestKindName(std::uint8_t kind) {
    switch (kind) {
        case kCableStk200:
            return "STK200/STK300";
        case kCableXilinx:
            return "Xilinx download cable";
        case kCableLattice:
            return "Lattice download cable";
        case kCableByteBlaster:
            return "Altera ByteBlasterMV";
        case kCableUnnamed:
            return "unnamed cable (kind 7, D7 looped to PAPER END)";
        default:
            return "none";
    }
}

bool CableTestResult::Has(CableTestFinding::Kind kind) const {
    return std::any_of(findings.begin(), findings.end(),
                       [kind](const CableTestFinding& f) { return f.kind == kind; });
}

std::vector<std::string> CableTestResult::Lines() const {
    std::vector<std::string> lines;
    char text[64];
    if (portFound) {
        std::snprintf(text, sizeof text, "port: %s (0x%X)", portName.c_str(), portBase);
        lines.push_back(text);
    } else {
        lines.push_back("port: none");
    }
    for (const CableLink& link : links) {
        lines.push_back("loopback: " + DataText(link.dataBit) + " -> " + InputText(link.pin) +
                        (link.inverted ? ", inverted" : ""));
    }
    if (portFound) {
        std::string cable = std::string("cable: ") + CableTestKindName(cableKind);
        if (cableKind == 0 && nearestKind != 0) {
            cable += std::string(" (resembles ") + CableTestKindName(nearestKind) + ")";
        }
        lines.push_back(cable);
    }
    for (const CableTestFinding& f : findings) lines.push_back("problem: " + f.text);
    lines.push_back(Passed() ? "result: the cable is in order" : "result: fault found");
    return lines;
}

namespace {

// The port: the first candidate whose data register reads back cleanly, else the first that
// answers at all (its stuck data lines are then the first thing to report). -1: none answers.
int ChoosePort(IspProgrammer& engine, PortProbe* chosenProbe) {
    int chosen = -1;
    for (int i = 0; i < engine.PortCandidateCount(); ++i) {
        const PortProbe probe = ProbePort(engine, engine.PortCandidateAt(i).base);
        if (!probe.answers) continue;
        const bool clean = probe.stuckHigh == 0 && probe.stuckLow == 0;
        if (chosen < 0 || clean) {
            chosen = i;
            *chosenProbe = probe;
        }
        if (clean) break;
    }
    return chosen;
}

void ReportNoPort(IspProgrammer& engine, CableTestResult& result) {
    std::string tried;
    for (int i = 0; i < engine.PortCandidateCount(); ++i) {
        char one[32];
        std::snprintf(one, sizeof one, "%s%s (0x%X)", i == 0 ? "" : ", ",
                      engine.PortCandidateAt(i).name, engine.PortCandidateAt(i).base);
        tried += one;
    }
    Add(result, Kind::kNoPort, -1, 0, 0,
        "no parallel port answers at " + tried +
            ": check that the port is enabled in the BIOS setup and that this program may "
            "use it; a PCI or PCIe card needs its base address in the settings or "
            "--port-base");
}

void ReportStuckDataLines(const PortProbe& probe, CableTestResult& result) {
    for (int bit = 0; bit < 8; ++bit) {
        const bool high = ((probe.stuckHigh >> bit) & 1) != 0;
        const bool low = ((probe.stuckLow >> bit) & 1) != 0;
        if (!high && !low) continue;
        Add(result, Kind::kDataStuck, bit, bit + 2, 0,
            "data line " + DataText(bit) + " stays " + (high ? "high" : "low") +
                " whatever is written: the port is faulty, or something on pin " +
                std::to_string(bit + 2) + " holds the line; try the cable on another port");
    }
}

// A level for each status input, in kInputPins order, for each data line.
using InputLevels = std::array<bool, kInputCount>;
using PerDataLine = std::array<InputLevels, 8>;

// How the status inputs answered the walk over the data lines.
struct Walk {
    PerDataLine raised{};   // changed when the line alone went high against all low
    PerDataLine lowered{};  // changed when the line alone went low against all high
    // Went from high to low when the line alone went low: what a short to it does.
    PerDataLine dropped{};
    InputLevels everHigh{};  // high at some point of the walk
};

// The walk: each data line raised against all low, then lowered against all high. A loopback
// follows its data line both ways (and goes into `links`); a status line that only drops when
// either of two lines drops is two wires touching. Lines the target drives (MISO) may change
// with the cable's buffer enables, but never both ways with the same line.
Walk WalkDataLines(IspProgrammer& engine, std::uint16_t base, std::vector<CableLink>& links) {
    const auto status = static_cast<std::uint16_t>(base + 1);
    auto sense = [&](std::uint8_t data) {
        engine.WritePort(base, data);
        return PinLevels(engine.ReadPort(status));
    };
    engine.WritePort(static_cast<std::uint16_t>(base + 2), 0x00);
    const InputLevels lowBase = sense(0x00);
    const InputLevels highBase = sense(0xFF);
    Walk walk;
    for (int i = 0; i < kInputCount; ++i) walk.everHigh[i] = lowBase[i] || highBase[i];
    for (int bit = 0; bit < 8; ++bit) {
        const InputLevels up = sense(static_cast<std::uint8_t>(1u << bit));
        const InputLevels down = sense(static_cast<std::uint8_t>(~(1u << bit)));
        for (int i = 0; i < kInputCount; ++i) {
            walk.raised[bit][i] = up[i] != lowBase[i];
            walk.lowered[bit][i] = down[i] != highBase[i];
            walk.dropped[bit][i] = highBase[i] && !down[i];
            // The direction counts: a direct loopback goes high with its line, both times.
            if (walk.raised[bit][i] && walk.lowered[bit][i] && up[i] == !down[i]) {
                links.push_back({bit, kInputPins[i], !up[i]});
            }
            walk.everHigh[i] = walk.everHigh[i] || up[i] || down[i];
        }
    }
    return walk;
}

// The cable: the kind whose loopbacks match exactly, else the kind it resembles most.
void RecogniseCable(const Walk& walk, CableTestResult& result) {
    for (const Signature& s : kSignatures) {
        bool all = s.count == static_cast<int>(result.links.size());
        for (int i = 0; all && i < s.count; ++i) all = Contains(result.links, s.links[i]);
        if (all) {
            result.cableKind = s.kind;
            return;
        }
    }
    int bestShared = 0;
    for (const Signature& s : kSignatures) {
        int shared = 0;
        for (int i = 0; i < s.count; ++i) {
            const CableLink& l = s.links[i];
            // A loopback seen one way only (a short holds it down) still says which cable
            // this was meant to be.
            if (Contains(result.links, l) || walk.dropped[l.dataBit][InputIndex(l.pin)]) ++shared;
        }
        // Among equals prefer the kind with fewer loopbacks left unexplained.
        if (shared > bestShared) {
            bestShared = shared;
            result.nearestKind = s.kind;
        }
    }
}

// A status line that drops with each of two (or more) data lines but never rises with either.
void ReportShorts(const Walk& walk, CableTestResult& result) {
    for (int i = 0; i < kInputCount; ++i) {
        std::vector<int> bits;
        for (int bit = 0; bit < 8; ++bit) {
            if (walk.dropped[bit][i] && !walk.raised[bit][i]) bits.push_back(bit);
        }
        if (bits.size() < 2) continue;
        std::string names;
        for (std::size_t k = 0; k < bits.size(); ++k) {
            names += (k == 0 ? "" : k + 1 == bits.size() ? " and " : ", ") + DataText(bits[k]);
        }
        Add(result, Kind::kShort, bits[0], kInputPins[i], bits[1] + 2,
            InputText(kInputPins[i]) + " goes low with " + names +
                " alike: two of these wires touch (a short in the plug or a pinched cable); "
                "open the plug and check the solder joints");
    }
}

// Loopback inputs held low throughout.
void ReportInputsStuckLow(const Walk& walk, CableTestResult& result) {
    for (const int pin : {10, 11, 12}) {
        if (walk.everHigh[InputIndex(pin)]) continue;
        Add(result, Kind::kStuckLow, -1, pin, 0,
            InputText(pin) +
                " stays low whatever the data lines do: it is shorted to ground or held low; "
                "check the cable for a pinched wire and unplug the target to see if it is the "
                "cause");
    }
}

// Loopbacks the recognised (or resembled) cable should have but that are dead.
void ReportMissingLoopbacks(const Walk& walk, const Signature* expected, CableTestResult& result) {
    if (expected == nullptr) return;
    for (int k = 0; k < expected->count; ++k) {
        const CableLink& l = expected->links[k];
        if (Contains(result.links, l)) continue;
        const int i = InputIndex(l.pin);
        if (!walk.everHigh[i] || walk.dropped[l.dataBit][i]) continue;  // reported above
        Add(result, Kind::kMissingLoopback, l.dataBit, l.pin, l.dataBit + 2,
            std::string("this looks like a ") + CableTestKindName(expected->kind) + ", but " +
                InputText(l.pin) + " does not follow " + DataText(l.dataBit) +
                ": the loopback wire between pins " + std::to_string(l.dataBit + 2) + " and " +
                std::to_string(l.pin) + " is broken");
    }
}

// Links no cable wires.
void ReportUnknownLinks(const Signature* expected, CableTestResult& result) {
    for (const CableLink& link : result.links) {
        if (InSignature(expected, link)) continue;
        Add(result, Kind::kExtraLink, link.dataBit, link.pin, link.dataBit + 2,
            InputText(link.pin) + " follows " + DataText(link.dataBit) +
                ", which none of the known cables wires: the line touches another one (a "
                "short) or the cable is of an unknown kind");
    }
}

// Nothing follows and nothing else explains it: no cable, or its loopback wire is broken.
void ReportNoLoopback(const Signature* expected, CableTestResult& result) {
    if (!result.links.empty() || result.Has(Kind::kShort) || result.Has(Kind::kStuckLow) ||
        expected != nullptr) {
        return;
    }
    Add(result, Kind::kNoLoopback, -1, 0, 0,
        "no status line follows any data line: no cable is plugged in, the cable is not "
        "one of the five kinds, or its loopback wire is broken (an STK200/STK300 loops "
        "D0, pin 2, to PAPER END, pin 12)");
}

// The supply sense: ERROR (pin 15) is high while the target is powered. The ByteBlasterMV has
// no such line.
void ReportNoSupply(const Walk& walk, CableTestResult& result) {
    if (walk.everHigh[InputIndex(15)] || result.cableKind == kCableByteBlaster ||
        result.nearestKind == kCableByteBlaster) {
        return;
    }
    Add(result, Kind::kNoSupply, -1, 15, 0,
        "the target's supply is not sensed (ERROR, pin 15, reads low): switch the target "
        "board on, or check the cable's VCC wire to the target connector");
}

// Leaves the lines as a run leaves them: released for a recognised cable, else all low.
void ReleaseLines(IspProgrammer& engine, std::uint16_t base, std::uint8_t cableKind) {
    const CableStep* step = CableReleaseSteps(cableKind, engine.Settings().targetFamily);
    engine.WritePort(base, 0x00);
    for (; step->kind != CABLE_STEP_END; ++step) {
        if (step->kind == CABLE_STEP_DATA) engine.WritePort(base, step->value);
        if (step->kind == CABLE_STEP_CONTROL) {
            engine.WritePort(static_cast<std::uint16_t>(base + 2), step->value);
        }
    }
}

}  // namespace

CableTestResult RunCableTest(IspProgrammer& engine) {
    CableTestResult result;
    PortProbe probe;
    const int chosen = ChoosePort(engine, &probe);
    if (chosen < 0) {
        ReportNoPort(engine, result);
        return result;
    }
    const PortCandidate port = engine.PortCandidateAt(chosen);
    result.portFound = true;
    result.portName = port.name;
    result.portBase = port.base;
    ReportStuckDataLines(probe, result);

    const Walk walk = WalkDataLines(engine, port.base, result.links);
    RecogniseCable(walk, result);
    const std::uint8_t likeKind = result.cableKind != 0 ? result.cableKind : result.nearestKind;
    const Signature* expected = SignatureOf(likeKind);
    // In this order: a short or a grounded input explains the loopbacks it hides, which the
    // later checks then leave alone.
    ReportShorts(walk, result);
    ReportInputsStuckLow(walk, result);
    ReportMissingLoopbacks(walk, expected, result);
    ReportUnknownLinks(expected, result);
    ReportNoLoopback(expected, result);
    ReportNoSupply(walk, result);

    ReleaseLines(engine, port.base, likeKind);
    return result;
}

}  // namespace velkor
