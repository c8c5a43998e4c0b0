// A reader and writer of the private-profile format (Windows .ini): "[section]" lines followed
// by "key=value" lines. It reads and writes the way the Windows profile functions do, so a
// velkor.ini moves freely between the Windows build and this one:
//  - section and key names match without regard to ASCII case, blanks around names and values
//    are ignored, and a value in matching single or double quotes loses the quotes;
//  - of repeated sections or keys the first one counts;
//  - a value is read through a 300-character buffer, so at most 299 bytes (in the file's GBK)
//    come back, never half a double-byte character;
//  - numbers read like the C runtime's atoi: leading blanks and a sign, then digits up to the
//    first other character, so a missing, empty or non-numeric value reads as 0;
//  - a write replaces the key's line in place, adds a missing key at the end of its section
//    and a missing section at the end of the file.
// Every other line (comments, blank lines, keys and sections this program does not know, and
// lines that are not valid GBK) is kept as it was, so a save loses nothing a person or a newer
// version put in the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// Size of the buffer a value is read through, terminating zero included.
inline constexpr std::size_t kProfileValueBufferSize = 300;

// atoi as the C runtime has it, saturating instead of overflowing.
int ProfileAtoi(std::string_view text);

class ProfileDocument {
  public:
    // The file's bytes in GBK; lines end in CR LF or LF.
    static ProfileDocument FromGbk(std::string_view bytes);
    // The file's bytes in GBK, every line ending in CR LF.
    std::string ToGbk() const;

    // The raw value (blanks trimmed, quotes kept), or null when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // The value as the profile functions return it, or `fallback` when the key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const;
    // The same without the buffer's cut, for values that are of no use cut short (paths).
    std::string GetWholeString(std::string_view section, std::string_view key,
                               std::string_view fallback) const;
    // The value read as a number; 0 when missing or not a number.
    int GetInt(std::string_view section, std::string_view key) const;

    // Writes the value, creating the section and key as needed. A value that cannot be stored
    // faithfully (a line break, which would split the line into new keys, or a character GBK
    // lacks) is refused: the document stays unchanged and the result is false.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    // Whether SetString can store this text.
    static bool CanStore(std::string_view text);
    bool SetInt(std::string_view section, std::string_view key, int value);

  private:
    struct Line {
        std::string text;  // UTF-8, or the original bytes when they are not valid GBK
        bool decoded = true;
    };

    static bool StartsSection(const Line& line);
    // Index of the first matching section's header line, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index of the key's line inside the section that starts at `header`, or npos.
    std::size_t FindKey(std::size_t header, std::string_view key) const;

    std::vector<Line> lines_;
};

}  // namespace velkor
