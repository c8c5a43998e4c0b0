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

void Add(CableTestResult& result, Kind kind, int dataBit, int pin, int otherPin, LogLine line) {
    result.findings.push_back({kind, dataBit, pin, otherPin, std::move(line)});
}

}  // namespace

Msg CableTestKindTerm(std::uint8_t kind) {
    switch (kind) {
        case kCableStk200:
            return Msg::kTermCableStk200;
        case kCableXilinx:
            return Msg::kTermCableXilinx;
        case kCableLattice:
            return Msg::kTermCableLattice;
        case kCableByteBlaster:
            return Msg::kTermCableByteBlaster;
        case kCableUnnamed:
            return Msg::kTermCableUnnamed;
        default:
            return Msg::kTermCableNone;
    }
}

const char* CableTestKindName(std::uint8_t kind) {
    return MsgEn(CableTestKindTerm(kind));
}

bool CableTestResult::Has(CableTestFinding::Kind kind) const {
    return std::any_of(findings.begin(), findings.end(),
                       [kind](const CableTestFinding& f) { return f.kind == kind; });
}

std::vector<LogLine> CableTestResult::LogLines() const {
    std::vector<LogLine> lines;
    if (portFound) {
        lines.push_back({Msg::kCablePort, {portName, Num(portBase)}});
    } else {
        lines.push_back(Msg::kCablePortNone);
    }
    for (const CableLink& link : links) {
        lines.push_back(
            {Msg::kCableLoopback,
             {Num(link.dataBit), Num(link.dataBit + 2), std::string(PinName(link.pin)),
              Num(link.pin), link.inverted ? LogArg{Msg::kTermInverted} : LogArg{std::string()}}});
    }
    if (portFound) {
        if (cableKind == 0 && nearestKind != 0) {
            lines.push_back({Msg::kCableKindResembles,
                             {CableTestKindTerm(cableKind), CableTestKindTerm(nearestKind)}});
        } else {
            lines.push_back({Msg::kCableKind, {CableTestKindTerm(cableKind)}});
        }
    }
    for (const CableTestFinding& f : findings) lines.push_back(f.line);
    lines.push_back(Passed() ? Msg::kCableInOrder : Msg::kCableFault);
    return lines;
}

std::vector<std::string> CableTestResult::Lines() const {
    std::vector<std::string> lines;
    for (const LogLine& line : LogLines()) {
        std::string text = Render(line, Language::kEn);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        lines.push_back(std::move(text));
    }
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
    Add(result, Kind::kNoPort, -1, 0, 0, {Msg::kCableNoPort, {tried}});
}

void ReportStuckDataLines(const PortProbe& probe, CableTestResult& result) {
    for (int bit = 0; bit < 8; ++bit) {
        const bool high = ((probe.stuckHigh >> bit) & 1) != 0;
        const bool low = ((probe.stuckLow >> bit) & 1) != 0;
        if (!high && !low) continue;
        Add(result, Kind::kDataStuck, bit, bit + 2, 0,
            {Msg::kCableDataStuck,
             {Num(bit), Num(bit + 2), high ? Msg::kTermLevelHigh : Msg::kTermLevelLow,
              Num(bit + 2)}});
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
        std::vector<LogLine> names;
        for (std::size_t k = 0; k < bits.size(); ++k) {
            const Msg item = k == 0                 ? Msg::kCableListLine
                             : k + 1 == bits.size() ? Msg::kCableListLastLine
                                                    : Msg::kCableListNextLine;
            names.push_back({item, {Num(bits[k]), Num(bits[k] + 2)}});
        }
        Add(result, Kind::kShort, bits[0], kInputPins[i], bits[1] + 2,
            {Msg::kCableShort,
             {std::string(PinName(kInputPins[i])), Num(kInputPins[i]), std::move(names)}});
    }
}

// Loopback inputs (ACK, BUSY, PAPER END: the first three of kInputPins) held low throughout.
void ReportInputsStuckLow(const Walk& walk, CableTestResult& result) {
    for (int i = 0; i < 3; ++i) {
        const int pin = kInputPins[i];
        if (walk.everHigh[i]) continue;
        Add(result, Kind::kStuckLow, -1, pin, 0,
            {Msg::kCableStuckLow, {std::string(PinName(pin)), Num(pin)}});
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
            {Msg::kCableMissingLoopback,
             {CableTestKindTerm(expected->kind), std::string(PinName(l.pin)), Num(l.pin),
              Num(l.dataBit), Num(l.dataBit + 2), Num(l.dataBit + 2), Num(l.pin)}});
    }
}

// Links no cable wires.
void ReportUnknownLinks(const Signature* expected, CableTestResult& result) {
    for (const CableLink& link : result.links) {
        if (InSignature(expected, link)) continue;
        Add(result, Kind::kExtraLink, link.dataBit, link.pin, link.dataBit + 2,
            {Msg::kCableExtraLink,
             {std::string(PinName(link.pin)), Num(link.pin), Num(link.dataBit),
              Num(link.dataBit + 2)}});
    }
}

// Nothing follows and nothing else explains it: no cable, or its loopback wire is broken.
void ReportNoLoopback(const Signature* expected, CableTestResult& result) {
    if (!result.links.empty() || result.Has(Kind::kShort) || result.Has(Kind::kStuckLow) ||
        expected != nullptr) {
        return;
    }
    Add(result, Kind::kNoLoopback, -1, 0, 0, Msg::kCableNoLoopback);
}

// The supply sense: ERROR (pin 15) is high while the target is powered. The ByteBlasterMV has
// no such line.
void ReportNoSupply(const Walk& walk, CableTestResult& result) {
    if (walk.everHigh[InputIndex(15)] || result.cableKind == kCableByteBlaster ||
        result.nearestKind == kCableByteBlaster) {
        return;
    }
    Add(result, Kind::kNoSupply, -1, 15, 0, Msg::kCableNoSupply);
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
