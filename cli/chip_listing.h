// Listings of the chip tables for the "chips" command.
#pragma once

#include <ostream>

namespace velkor::cli {

// The names a user can pass to --chip, per family.
void PrintChipNames(std::ostream& out);
// Every row of both tables, one tab-separated line per row in record field order.
void PrintAllChipRows(std::ostream& out);

}  // namespace velkor::cli
