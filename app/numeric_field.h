// The numeric edit field of the option dialogs, without a toolkit: how its text is read as a
// number, how a number is shown, and its "Con&vert" context menu item, which switches the
// text between decimal and hexadecimal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor {

// Text is hexadecimal when it begins with "0x" or holds any of the upper-case letters A to F;
// otherwise it is unsigned decimal. So "1ff" is decimal 1, while "1FF" and "0x1ff" are 511.
bool IsHexadecimalText(std::string_view text);

// The value of the text: leading blanks are skipped, a leading "0x" is skipped for hexadecimal
// text, and reading stops at the first character that is not a digit of the form. Text without
// a leading digit gives 0. A value beyond 32 bits gives 0xFFFFFFFF rather than wrapping round
// to a small number that would pass a range check.
std::uint32_t ParseNumericText(std::string_view text);

// How a field shows a value when a dialog opens: "0x%x".
std::string FormatNumericText(std::uint32_t value);

// The "Con&vert" item is greyed when the text is empty or only "0x".
bool CanConvertNumericText(std::string_view text);

// The text in the other form: hexadecimal text becomes "%u", decimal text becomes "0x%X".
std::string ConvertNumericText(std::string_view text);

inline constexpr const char kConvertMenuText[] = "Con&vert";

}  // namespace velkor
