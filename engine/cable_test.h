// The cable self-test: finds the port, drives each data line in turn (once against all lines
// low, once against all lines high) and watches which status lines follow. From that it names
// the cable kind whose loopback matches, or says what is wrong in words a user can act on: no
// loopback, a loopback wire broken, two wires touching, a line stuck low, a port data line
// that does not read back, no target supply. Most "device not responding" reports are one of
// these, and none of them needs a chip to be found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/log_messages.h"

namespace velkor {

class IspProgrammer;

// A status input that follows a data output: data bit (0..7) to connector pin (10..15).
struct CableLink {
    int dataBit;
    int pin;
    bool inverted;  // the pin goes low when the data line goes high
    bool operator==(const CableLink&) const = default;
};

struct CableTestFinding {
    enum class Kind {
        kNoPort,           // no port answers at any candidate base
        kDataStuck,        // a data line of the port does not read back what was written
        kNoLoopback,       // no status line follows any data line
        kMissingLoopback,  // the cable looks like `cableKind`, but one of its loopbacks is dead
        kExtraLink,        // a status line follows a data line that no cable kind wires
        kShort,            // a status line follows two data lines at once: wires touching
        kStuckLow,         // a loopback input stays low whatever the data lines do
        kNoSupply,         // the cable's supply sense line (ERROR, pin 15) reads low
    };
    Kind kind;
    int dataBit = -1;  // the data line concerned (-1: none)
    int pin = 0;       // the connector pin concerned (0: none)
    int otherPin = 0;  // the second pin of a short or a missing loopback's source
    LogLine line;      // the report's line: what it means and what to do
};

struct CableTestResult {
    bool portFound = false;
    std::string portName;  // "LPT1".."LPT4"
    std::uint16_t portBase = 0;
    std::vector<CableLink> links;  // loopbacks seen in both directions
    std::uint8_t cableKind = 0;    // CableKind the loopbacks match exactly; 0: none
    std::uint8_t nearestKind = 0;  // the kind a damaged cable resembles most; 0: none
    std::vector<CableTestFinding> findings;
    // A cable was recognised and nothing is wrong with it.
    bool Passed() const { return cableKind != 0 && findings.empty(); }
    bool Has(CableTestFinding::Kind kind) const;
    // The report: port, each loopback, the cable, each finding and a verdict, one log line
    // each.
    std::vector<LogLine> LogLines() const;
    // The same report in English without line ends, as the command line prints it.
    std::vector<std::string> Lines() const;
};

// The term naming a cable kind in the test's report (kTermCableNone for 0).
Msg CableTestKindTerm(std::uint8_t kind);
// English name of a cable kind as the test reports it ("STK200/STK300", ...).
const char* CableTestKindName(std::uint8_t kind);

// Runs the test on the engine's port path. Touches only the port registers and leaves the
// cable lines released; the engine's port search state is not changed.
CableTestResult RunCableTest(IspProgrammer& engine);

}  // namespace velkor
