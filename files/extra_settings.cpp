#include "files/extra_settings.h"

#include <algorithm>
#include <cctype>

#include "files/profile_file.h"

namespace velkor {
namespace {

bool SameWord(std::string text, std::string_view word) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text == word;
}

}  // namespace

ExtraSettings ReadExtraSettings(const ProfileDocument& file) {
    ExtraSettings settings;
    if (SameWord(file.GetString(kExtraSection, kVerifyScopeKey, ""), "file")) {
        settings.verifyScope = VerifyScope::kFile;
    }
    return settings;
}

void WriteExtraSettings(ProfileDocument& file, const ExtraSettings& settings) {
    if (settings.verifyScope != ExtraSettings{}.verifyScope ||
        file.Find(kExtraSection, kVerifyScopeKey)) {
        file.SetString(kExtraSection, kVerifyScopeKey,
                       settings.verifyScope == VerifyScope::kFile ? "file" : "chip");
    }
}

}  // namespace velkor
