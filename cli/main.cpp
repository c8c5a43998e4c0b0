#include <unistd.h>

#include <iostream>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    std::ostream* bar = isatty(STDERR_FILENO) ? &std::cerr : nullptr;
    return velkor::cli::RunCli(argc, argv, std::cout, std::cerr, bar);
}
