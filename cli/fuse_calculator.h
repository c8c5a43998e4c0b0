// velkorisp-cli fuses: the window's fuse panel and wizard run on given fuse bytes, printed as
// tab-separated records, one a line, so that scripts (and tests) can read what the window
// would show.
#pragma once

#include <ostream>

#include "cli/cli_options.h"

namespace velkor::cli {

// Returns the exit status: 0, or 2 after a usage error it has reported on `err`.
int RunFuseCalculator(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace velkor::cli
