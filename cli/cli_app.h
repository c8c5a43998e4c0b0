// velkorisp-cli as a function, so that tests run it in process.
#pragma once

#include <ostream>

namespace velkor::cli {

// `progress`: where a progress bar goes (null: none).
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           std::ostream* progress);

}  // namespace velkor::cli
