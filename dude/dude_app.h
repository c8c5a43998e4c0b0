// velkorisp-dude as a function, so that tests run it in process: avrdude's command line
// driving the programming station.
#pragma once

#include <ostream>

#include "messages/log_messages.h"

namespace velkor::dude {

// `out` receives what -U ...:r:- reads; `err` the log, notes and the failure line, as avrdude
// keeps its own output on the error stream. `progress`: where a progress bar goes (null:
// none). Returns 0 when everything asked was done, else 1.
int RunDude(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            std::ostream* progress, Language defaultLanguage = Language::kEn);

}  // namespace velkor::dude
