#include "controls/display_width.h"

namespace velkor::controls {

DecodedChar DecodeUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {U'\uFFFD', 1, 1};
    }
    if (text.size() < length) return {U'\uFFFD', 1, 1};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {U'\uFFFD', 1, 1};
        value = (value << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {U'\uFFFD', 1, 1};
    }
    return {value, length, 2};
}

int DisplayColumns(std::string_view utf8) {
    int columns = 0;
    while (!utf8.empty()) {
        const DecodedChar c = DecodeUtf8(utf8);
        columns += c.columns;
        utf8.remove_prefix(c.bytes);
    }
    return columns;
}

}  // namespace velkor::controls
