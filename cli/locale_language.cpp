// Which language the user's locale asks the log to be in.
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>

#include "cli/cli_app.h"

namespace velkor::cli {

Language LocaleLanguage() {
#ifdef _WIN32
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::kZh
                                                                     : Language::kEn;
#else
    // The order in which the C library itself chooses the messages' locale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
    }
    return Language::kEn;
#endif
}

}  // namespace velkor::cli
