// velkorisp-dude's command line: avrdude's options, for what this programmer can do, parsed
// into plain values. Options that have no meaning here are taken and noted, so that a
// Makefile's command line needs no other change than the program's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "messages/log_messages.h"

namespace velkor::dude {

enum class Memory {
    kFlash,
    kEeprom,
    kLowFuse,
    kHighFuse,
    kExtendedFuse,
    kFuse,
    kLock,
    kSignature,
    kCalibration
};
enum class Operation { kRead, kWrite, kVerify };

// One -U: memory, operation, file and its format letter ('a' detect, 'i', 's', 'r', 'e', 'm',
// and for reading 'h', 'd', 'o', 'b').
struct MemoryOperation {
    Memory memory = Memory::kFlash;
    Operation op = Operation::kWrite;
    std::string file;
    char format = 'a';
    std::string text;  // as given, for messages
};

struct DudeOptions {
    std::string part;        // -p
    std::string programmer;  // -c; empty: whichever of the cables is found
    std::string port;        // -P; empty: the search
    std::vector<MemoryOperation> operations;
    bool erase = false;           // -e
    bool noAutoErase = false;     // -D
    bool noWrite = false;         // -n
    bool noVerify = false;        // -V
    bool force = false;           // -F: go on when the signature does not match
    bool unsafeFuses = false;     // --unsafe-fuses: fuse bytes that end serial programming
    bool keepTrailingFF = false;  // -A
    int verbose = 0;              // -v, repeatable
    int quiet = 0;                // -q, repeatable
    // The clock half-period in delay units (about one microsecond each), from -i or -B.
    std::optional<std::uint32_t> delay;
    std::optional<Language> language;  // --lang
    bool help = false;
    // One line for each option taken but not applied.
    std::vector<std::string> notes;
};

struct DudeParseResult {
    DudeOptions options;
    std::string error;  // non-empty: a usage error
};

DudeParseResult ParseDudeCommandLine(int argc, const char* const* argv);
// Both read one table of the options, so that --help lists exactly what the parser takes.
std::string DudeHelpText();

// Parses one -U argument: "memtype:op:filename[:format]", or a lone file name for
// "flash:w:filename:a". Empty error: parsed.
std::string ParseMemoryOperation(const std::string& text, MemoryOperation& out);

const char* MemoryName(Memory memory);

}  // namespace velkor::dude
