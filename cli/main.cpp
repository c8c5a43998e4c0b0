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
#ifdef _WIN32
#include "files/utf8_path.h"
#endif

namespace {
bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(2) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

int Run(int argc, const char* const* argv) {
    std::ostream* bar = StderrIsTerminal() ? &std::cerr : nullptr;
    return velkor::cli::RunCli(argc, argv, std::cout, std::cerr, bar,
                               velkor::cli::LocaleLanguage());
}
}  // namespace

#ifdef _WIN32
// The narrow arguments are in the ANSI code page, where a file name in any other script turns
// into question marks; the wide ones, turned into UTF-8, arrive as the user typed them. The C
// runtime splits both from the command line the same way.
int wmain(int argc, wchar_t** argv) {
    // The log is UTF-8; a console shows it only in the UTF-8 code page. Put the user's code
    // page back afterwards so the console is left as it was found.
    const UINT consoleCodePage = GetConsoleOutputCP();
    if (consoleCodePage != 0) SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(velkor::Utf8FromWide(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    const int status = Run(argc, pointers.data());
    if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
    return status;
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
