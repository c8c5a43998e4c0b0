#include "app/numeric_field.h"

#include <cstdio>

namespace velkor {
namespace {

int DigitValue(char c, unsigned base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithPrefix(std::string_view text) {
    return text.substr(0, 2) == "0x";
}

}  // namespace

bool IsHexadecimalText(std::string_view text) {
    if (StartsWithPrefix(text)) return true;
    for (char c : text) {
        if (c >= 'A' && c <= 'F') return true;
    }
    return false;
}

std::uint32_t ParseNumericText(std::string_view text) {
    const unsigned base = IsHexadecimalText(text) ? 16 : 10;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    text.remove_prefix(i);
    if (base == 16 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    for (char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) break;
        value = value * base + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(value);
}

std::string FormatNumericText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

bool CanConvertNumericText(std::string_view text) {
    return !text.empty() && text != "0x";
}

std::string ConvertNumericText(std::string_view text) {
    const std::uint32_t value = ParseNumericText(text);
    char converted[16];
    std::snprintf(converted, sizeof converted, IsHexadecimalText(text) ? "%u" : "0x%X",
                  static_cast<unsigned>(value));
    return converted;
}

}  // namespace velkor
