#include "files/profile_file.h"

#include <climits>
#include <cstdint>

#include "files/gbk_text.h"

namespace velkor {

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only ASCII letters fold. The text is UTF-8, whose multi-byte sequences never contain ASCII
// bytes, so a Chinese name can never match a different one by accident.
bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

// A "[name]" line gives its name; anything else gives null.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == npos) return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
};

// A "name=value" line gives both parts, blanks trimmed; comments and other lines give null.
std::optional<KeyLine> ParseKey(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == npos) return std::nullopt;
    const std::string_view name = TrimBlanks(trimmed.substr(0, equals));
    if (name.empty()) return std::nullopt;
    return KeyLine{name, TrimBlanks(trimmed.substr(equals + 1))};
}

// The longest prefix of GBK text that fits `limit` bytes without splitting a double-byte
// character (lead bytes are 0x81..0xFE).
std::size_t GbkPrefixLength(std::string_view gbk, std::size_t limit) {
    std::size_t length = 0;
    while (length < gbk.size()) {
        const std::size_t step = static_cast<unsigned char>(gbk[length]) >= 0x81 ? 2 : 1;
        if (length + step > limit) break;
        length += step;
    }
    return length;
}

}  // namespace

// Any line that opens with "[" ends the section above it, even a malformed header or one
// that is not valid GBK, so that the keys after it are never taken for that section's keys.
bool ProfileDocument::StartsSection(const Line& line) {
    const std::string_view trimmed = TrimBlanks(line.text);
    return !trimmed.empty() && trimmed.front() == '[';
}

int ProfileAtoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) break;  // saturated either way
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

ProfileDocument ProfileDocument::FromGbk(std::string_view bytes) {
    ProfileDocument document;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (std::optional<std::string> text = GbkToUtf8(line)) {
            document.lines_.push_back({std::move(*text), true});
        } else {
            document.lines_.push_back({std::string(line), false});
        }
    }
    return document;
}

std::string ProfileDocument::ToGbk() const {
    std::string bytes;
    for (const Line& line : lines_) {
        // Decoded lines came from GBK or were checked on the way in, so they convert back.
        bytes += line.decoded ? Utf8ToGbk(line.text).value_or(std::string()) : line.text;
        bytes += "\r\n";
    }
    return bytes;
}

std::size_t ProfileDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!lines_[i].decoded) continue;
        const std::optional<std::string_view> name = SectionName(lines_[i].text);
        if (name && EqualsNoCase(*name, section)) return i;
    }
    return npos;
}

std::size_t ProfileDocument::FindKey(std::size_t header, std::string_view key) const {
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (StartsSection(lines_[i])) break;
        if (!lines_[i].decoded) continue;
        const std::optional<KeyLine> line = ParseKey(lines_[i].text);
        if (line && EqualsNoCase(line->name, key)) return i;
    }
    return npos;
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
    const std::size_t header = FindSection(section);
    if (header == npos) return std::nullopt;
    const std::size_t at = FindKey(header, key);
    if (at == npos) return std::nullopt;
    return std::string(ParseKey(lines_[at].text)->value);
}

std::string ProfileDocument::GetWholeString(std::string_view section, std::string_view key,
                                            std::string_view fallback) const {
    const std::optional<std::string> found = Find(section, key);
    std::string_view value = found ? std::string_view(*found) : fallback;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string ProfileDocument::GetString(std::string_view section, std::string_view key,
                                       std::string_view fallback) const {
    const std::string value = GetWholeString(section, key, fallback);
    const std::optional<std::string> gbk = Utf8ToGbk(value);
    if (!gbk || gbk->size() < kProfileValueBufferSize) return value;
    const std::size_t fits = GbkPrefixLength(*gbk, kProfileValueBufferSize - 1);
    return GbkToUtf8(std::string_view(*gbk).substr(0, fits)).value_or(std::string());
}

int ProfileDocument::GetInt(std::string_view section, std::string_view key) const {
    return ProfileAtoi(GetString(section, key, ""));
}

bool ProfileDocument::SetString(std::string_view section, std::string_view key,
                                std::string_view value) {
    for (std::string_view text : {section, key, value}) {
        if (!CanStore(text)) return false;
    }
    std::string line = std::string(key) + "=" + std::string(value);
    std::size_t header = FindSection(section);
    if (header == npos) {
        lines_.push_back({"[" + std::string(section) + "]", true});
        lines_.push_back({std::move(line), true});
        return true;
    }
    const std::size_t at = FindKey(header, key);
    if (at != npos) {
        // Keep the name as the file spells it; only the value changes.
        lines_[at].text = std::string(ParseKey(lines_[at].text)->name) + "=" + std::string(value);
        return true;
    }
    // A new key goes after the section's last key, ahead of any comment or blank line that
    // separates it from the next section.
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (StartsSection(lines_[i])) break;
        if (lines_[i].decoded && ParseKey(lines_[i].text)) insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), {std::move(line), true});
    return true;
}

bool ProfileDocument::CanStore(std::string_view text) {
    return text.find_first_of("\r\n") == npos && Utf8ToGbk(text).has_value();
}

bool ProfileDocument::SetInt(std::string_view section, std::string_view key, int value) {
    return SetString(section, key, std::to_string(value));
}

}  // namespace velkor
