#include "messages/log_messages.h"

#include <cstdio>

namespace velkor {

namespace {

// One conversion of a format: its flags and width as written, and its letter.
struct Conversion {
    std::string flagsWidth;
    char letter = 0;
};

// Reads the conversion after a '%' at format[i]; i ends on its letter.
Conversion ReadConversion(const char* format, std::size_t& i) {
    Conversion c;
    ++i;
    while (format[i] == '0' || format[i] == '-' || format[i] == '+' || format[i] == ' ' ||
           format[i] == '#') {
        c.flagsWidth += format[i++];
    }
    while (format[i] >= '0' && format[i] <= '9') c.flagsWidth += format[i++];
    while (format[i] == 'l' || format[i] == 'h' || format[i] == 'z') ++i;  // width from the arg
    c.letter = format[i];
    return c;
}

std::string FormatNumber(const Conversion& c, long long value) {
    const std::string pattern = "%" + c.flagsWidth + "ll" + c.letter;
    char text[48];
    if (c.letter == 'd' || c.letter == 'i') {
        std::snprintf(text, sizeof text, pattern.c_str(), value);
    } else {
        // Unsigned conversions show the value as the unsigned type it was logged from would.
        std::snprintf(text, sizeof text, pattern.c_str(), static_cast<unsigned long long>(value));
    }
    return text;
}

std::string FormatText(const Conversion& c, const std::string& text) {
    if (c.flagsWidth.empty()) return text;
    const std::string pattern = "%" + c.flagsWidth + "s";
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, pattern.c_str(), text.c_str());
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return text;
    return buffer;
}

}  // namespace

std::string RenderFormat(const char* format, const std::vector<LogArg>& args, Language language) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; format[i] != '\0'; ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        const Conversion c = ReadConversion(format, i);
        if (c.letter == '\0') break;
        if (next >= args.size()) continue;
        const LogArg& arg = args[next++];
        if (c.letter == 's') {
            if (const auto* text = std::get_if<std::string>(&arg)) {
                out += FormatText(c, *text);
            } else if (const auto* term = std::get_if<Msg>(&arg)) {
                out += FormatText(c, MsgFormat(*term, language));
            } else if (const auto* run = std::get_if<std::vector<LogLine>>(&arg)) {
                std::string text;
                for (const LogLine& part : *run) text += Render(part, language);
                out += FormatText(c, text);
            } else {
                out += std::to_string(std::get<long long>(arg));
            }
        } else if (const auto* number = std::get_if<long long>(&arg)) {
            out += FormatNumber(c, *number);
        }
    }
    return out;
}

std::string Render(const LogLine& line, Language language) {
    if (static_cast<std::size_t>(line.id) >= std::size(kMessages)) return {};
    return RenderFormat(MsgFormat(line.id, language), line.args, language);
}

std::string Conversions(const char* format) {
    std::string letters;
    for (std::size_t i = 0; format[i] != '\0'; ++i) {
        if (format[i] != '%') continue;
        if (format[i + 1] == '%') {
            ++i;
            continue;
        }
        const Conversion c = ReadConversion(format, i);
        if (c.letter == '\0') break;
        letters += c.letter;
    }
    return letters;
}

std::optional<Language> ParseLanguage(std::string_view code) {
    if (code == "zh") return Language::kZh;
    if (code == "en") return Language::kEn;
    return std::nullopt;
}

const char* LanguageCode(Language language) {
    return language == Language::kEn ? "en" : "zh";
}

Language LanguageOfLocale(std::string_view locale) {
    return locale.substr(0, 2) == "zh" ? Language::kZh : Language::kEn;
}

}  // namespace velkor
