// Conversion between the program's UTF-8 text and GBK, the code page velkor.ini is kept in so
// that files written by earlier versions and by the Windows build stay readable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// Null when the bytes are not valid GBK (a truncated double-byte character included).
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// Null when the text is not valid UTF-8 or holds a character GBK cannot represent.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

}  // namespace velkor
