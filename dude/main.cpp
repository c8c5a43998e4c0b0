#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "dude/dude_app.h"
#ifdef _WIN32
#include "files/utf8_path.h"
#endif

namespace {
int Run(int argc, const char* const* argv) {
#ifdef _WIN32
    const bool terminal = _isatty(2) != 0;
#else
    const bool terminal = isatty(STDERR_FILENO) != 0;
#endif
    return velkor::dude::RunDude(argc, argv, std::cout, std::cerr, terminal ? &std::cerr : nullptr,
                                 velkor::cli::LocaleLanguage());
}
}  // namespace

#ifdef _WIN32
// The wide arguments, as UTF-8, keep file names outside the ANSI code page (see cli/main.cpp).
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(velkor::Utf8FromWide(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    return Run(argc, pointers.data());
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
