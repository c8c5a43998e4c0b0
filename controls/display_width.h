// Display width of the program's UTF-8 texts. The texts were GBK originally, where every
// character outside ASCII takes two bytes and the dot display gives it two columns; counting
// every non-ASCII character as double width keeps that layout.
#pragma once

#include <cstddef>
#include <string_view>

namespace velkor::controls {

struct DecodedChar {
    char32_t character;  // U+FFFD for a byte that starts no valid sequence
    std::size_t bytes;   // bytes consumed, at least 1
    int columns;         // 1 for ASCII and for an invalid byte, 2 otherwise
};

// Decodes the character at the start of a non-empty text.
DecodedChar DecodeUtf8(std::string_view text);

// Columns of a whole text.
int DisplayColumns(std::string_view utf8);

}  // namespace velkor::controls
