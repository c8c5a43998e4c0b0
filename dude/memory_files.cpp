#include "dude/memory_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "files/elf_image.h"
#include "files/hex_reader.h"
#include "files/hex_writer.h"
#include "files/safe_file.h"

namespace velkor::dude {
namespace {

// ELF files carry symbols and debugging sections besides the program; allow for them.
constexpr std::size_t kMaxInputFileBytes = 64 * 1024 * 1024;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool IsFlashOrEeprom(Memory memory) {
    return memory == Memory::kFlash || memory == Memory::kEeprom;
}

char DetectFormat(const std::string& text) {
    if (LooksLikeElf(Bytes(text))) return 'e';
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return 0;
    if (text[first] == ':') return 'i';
    if (text[first] == 'S' && first + 1 < text.size() && text[first + 1] >= '0' &&
        text[first + 1] <= '9') {
        return 's';
    }
    return 0;
}

// The bytes a fuse, lock or signature memory takes from an image read from a file: from
// address 0, as avrdude keeps each such memory in a file of its own.
std::vector<std::uint8_t> LeadingBytes(const MemoryImage& image) {
    return {image.bytes.begin(), image.bytes.begin() + image.Length()};
}

void FromElf(const MemoryOperation& op, const ElfImage& elf, int fuseIndex, MemoryInput& in) {
    switch (op.memory) {
        case Memory::kFlash:
            in.image = elf.flash;
            break;
        case Memory::kEeprom:
            in.image = elf.eeprom;
            break;
        case Memory::kLock:
            if (elf.lock) in.bytes = {*elf.lock};
            break;
        default:
            if (fuseIndex >= 0 && static_cast<std::size_t>(fuseIndex) < elf.fuses.size()) {
                in.bytes = {elf.fuses[static_cast<std::size_t>(fuseIndex)]};
            }
            break;
    }
    if (IsFlashOrEeprom(op.memory) ? !in.image.HasData() : in.bytes.empty()) {
        in.error = op.file + ": the ELF file holds nothing for " + MemoryName(op.memory);
    }
}

void Append(std::string& text, const char* format, unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    text += buffer;
}

// Motorola S-records: a header, data records of 32 bytes with addresses of 2, 3 or 4 bytes as
// the memory needs, and the matching end record.
std::string SRecordText(std::span<const std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    const unsigned addressBytes = size <= 0x10000 ? 2 : size <= 0x1000000 ? 3 : 4;
    auto record = [&](char type, std::uint32_t address, std::span<const std::uint8_t> data,
                      unsigned width) {
        std::string line = "S";
        line += type;
        const unsigned count = width + static_cast<unsigned>(data.size()) + 1;
        unsigned sum = count;
        Append(line, "%02X", count);
        for (unsigned i = width; i-- > 0;) {
            const unsigned b = (address >> (8 * i)) & 0xFF;
            sum += b;
            Append(line, "%02X", b);
        }
        for (std::uint8_t b : data) {
            sum += b;
            Append(line, "%02X", b);
        }
        Append(line, "%02X", ~sum & 0xFF);
        return line + "\n";
    };
    static const std::uint8_t kHeader[] = {'v', 'e', 'l', 'k', 'o', 'r'};
    std::string text = record('0', 0, kHeader, 2);
    const char dataType = static_cast<char>('0' + addressBytes - 1);
    for (std::size_t a = 0; a < size; a += 32) {
        text += record(dataType, static_cast<std::uint32_t>(a),
                       bytes.subspan(a, std::min<std::size_t>(32, size - a)), addressBytes);
    }
    const char endType = static_cast<char>('0' + 11 - addressBytes);
    return text + record(endType, 0, {}, addressBytes);
}

}  // namespace

std::string ParseImmediateBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t begin = text.find_first_not_of(", \t", at);
        if (begin == std::string::npos) break;
        std::size_t end = text.find_first_of(", \t", begin);
        if (end == std::string::npos) end = text.size();
        std::string number = text.substr(begin, end - begin);
        int base = 0;
        if (number.size() > 2 && number[0] == '0' && (number[1] == 'b' || number[1] == 'B')) {
            number = number.substr(2);
            base = 2;
        }
        errno = 0;
        char* stop = nullptr;
        const unsigned long value = std::strtoul(number.c_str(), &stop, base);
        if (number.empty() || number[0] == '-' || *stop != '\0' || errno != 0 || value > 0xFF) {
            return "'" + text.substr(begin, end - begin) + "' is not a byte value";
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        at = end;
    }
    if (bytes.empty()) return "no byte values in '" + text + "'";
    return {};
}

MemoryInput ReadMemoryInput(const MemoryOperation& op, std::size_t imageSize, int fuseIndex) {
    MemoryInput in;
    const bool image = IsFlashOrEeprom(op.memory);
    const std::size_t size = image ? imageSize : 0x10000;
    if (op.format == 'm') {
        std::vector<std::uint8_t> values;
        if (std::string error = ParseImmediateBytes(op.file, values); !error.empty()) {
            in.error = "-U " + op.text + ": " + error;
            return in;
        }
        in.image = ReadRawImage(values, size);
        if (!image) in.bytes = values;
        return in;
    }
    std::string text;
    std::string problem;
    if (ReadWholeFile(op.file, text, problem, kMaxInputFileBytes) != FileReadStatus::kRead) {
        in.error = "cannot read '" + op.file + "': " + problem;
        return in;
    }
    char format = op.format;
    if (format == 'a') {
        format = DetectFormat(text);
        if (format == 0) {
            in.error = op.file +
                       ": neither ELF, Intel HEX nor S-record; give its format (:r for "
                       "raw binary)";
            return in;
        }
    }
    if (format == 'e') {
        const ElfImage elf = ReadElfImage(Bytes(text), size, size);
        if (!elf.Ok()) {
            in.error = ElfProblemLine(elf, op.file);
            return in;
        }
        FromElf(op, elf, fuseIndex, in);
        return in;
    }
    if (format == 'r') {
        in.image = ReadRawImage(Bytes(text), size);
    } else {
        in.image = EmptyMemoryImage(size);
        std::uint32_t length = 0;
        const int faulty = ReadHexText(text, in.image.bytes, length, &in.image.extent);
        if (faulty != 0) {
            in.error = op.file + ": faulty record at line " + std::to_string(faulty);
            return in;
        }
    }
    if (!in.image.HasData()) {
        in.error = op.file + ": no data";
        return in;
    }
    if (!image) in.bytes = LeadingBytes(in.image);
    return in;
}

std::string MemoryOutputText(std::span<const std::uint8_t> bytes, char format) {
    switch (format) {
        case 'i':
            return IntelHexText(bytes);
        case 's':
            return SRecordText(bytes);
        case 'h':
        case 'd':
        case 'o':
        case 'b': {
            std::string text;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (i != 0) text += ',';
                const unsigned v = bytes[i];
                if (format == 'h') {
                    Append(text, "0x%02x", v);
                } else if (format == 'd') {
                    Append(text, "%u", v);
                } else if (format == 'o') {
                    Append(text, v < 8 ? "%o" : "0%o", v);
                } else {
                    text += "0b";
                    for (int bit = 7; bit >= 0; --bit) text += (v >> bit) & 1 ? '1' : '0';
                }
            }
            return text + "\n";
        }
        default:  // r, and a: raw binary, as avrdude writes files by default
            return {bytes.begin(), bytes.end()};
    }
}

std::string WriteMemoryOutput(const std::string& path, char format,
                              std::span<const std::uint8_t> bytes, std::ostream& standardOutput) {
    const std::string text = MemoryOutputText(bytes, format);
    if (path == "-") {
        standardOutput << text;
        standardOutput.flush();
        return {};
    }
    std::string error;
    if (!ReplaceFileContents(path, text, error)) return error;
    return {};
}

}  // namespace velkor::dude
