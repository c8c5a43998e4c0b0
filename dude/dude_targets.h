// What avrdude's names mean here: its part names as rows of the chip tables, and its
// parallel-port programmer names as our cables.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace velkor::dude {

struct DudePart {
    std::uint32_t family = 0;  // kFamilyAvr or kFamily89S5x
    std::uint32_t row = 0;
    std::string name;  // the part's name as the chip tables spell it ("mega328P", "89S52")
};

// avrdude's part id ("m328p", "t85", "2313", "89s52") or its name ("ATmega328P", "AT90S2313"),
// in any case.
std::optional<DudePart> FindDudePart(const std::string& name);

// A programmer of avrdude's parallel-port family whose wires are those of one of our cables.
struct DudeProgrammer {
    const char* name;      // avrdude's id
    std::uint8_t cable;    // our cable kind (kCableStk200, ...)
    const char* simCable;  // the simulated bench's name for that wiring
    const char* wiring;    // avrdude's pins: reset, sck, sdo, sdi
};

const DudeProgrammer* FindDudeProgrammer(const std::string& name);
// "stk200, pony-stk200, ..." for messages.
std::string DudeProgrammerNames();
void PrintDudeProgrammers(std::ostream& out);
void PrintDudeParts(std::ostream& out);

}  // namespace velkor::dude
