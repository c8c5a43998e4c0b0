#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <iostream>

#include "cli/cli_app.h"

namespace {
bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(2) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}
}  // namespace

int main(int argc, char** argv) {
    std::ostream* bar = StderrIsTerminal() ? &std::cerr : nullptr;
    return velkor::cli::RunCli(argc, argv, std::cout, std::cerr, bar);
}
