// velkorisp-cli as a function, so that tests run it in process.
#pragma once

#include <ostream>

#include "messages/log_messages.h"

namespace velkor::cli {

// `progress`: where a progress bar goes (null: none).
// `defaultLanguage`: the log's language when --lang is not given.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           std::ostream* progress, Language defaultLanguage = Language::kZh);

// The language the user's locale asks for: Chinese when the first set of LC_ALL, LC_MESSAGES
// and LANG starts with "zh" (on Windows: when the user's display language is Chinese), else
// English.
Language LocaleLanguage();

}  // namespace velkor::cli
