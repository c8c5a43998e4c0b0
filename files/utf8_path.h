// File names as the program holds them, in UTF-8, handed to the operating system. Linux takes
// the bytes as they are. Windows' narrow calls (fopen, open, the "A" functions, and
// std::filesystem::path built from a std::string) read them in the ANSI code page instead, where
// a Chinese name means another file or none; there every name goes through UTF-16 and the wide
// calls.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace velkor {

// std::fopen of a UTF-8 name.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// open(2) of a UTF-8 name; `mode` is used only when the call creates the file.
int OpenDescriptorUtf8(const std::string& path, int flags, int mode = 0);

// unlink(2) of a UTF-8 name.
int RemoveFileUtf8(const std::string& path);

// A std::filesystem path naming the file `utf8` names, and the reverse.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

#ifdef _WIN32
// Bytes that are not UTF-8 (or UTF-16 halves without their pair) become U+FFFD, so they name
// no file the user meant rather than failing the conversion itself.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
#endif

}  // namespace velkor
