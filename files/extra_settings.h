// Settings added after velkor.ini's original layout, kept in a section of their own ("EXTRA")
// so that a file without it reads exactly as before and the original sections and keys are
// never touched. Both desktop programs keep them; the command line reads them with --ini.
#pragma once

#include <string>

namespace velkor {

class ProfileDocument;

inline constexpr const char kExtraSection[] = "EXTRA";
inline constexpr const char kVerifyScopeKey[] = "VerifyScope";

// What a verify compares: the whole chip (the program's original behaviour) or only the
// addresses the loaded files gave data for (IspProgrammer::verifyFileOnly).
enum class VerifyScope { kChip, kFile };

struct ExtraSettings {
    VerifyScope verifyScope = VerifyScope::kChip;  // EXTRA/VerifyScope: "chip" or "file"
};

// A missing section or key, or a value other than "chip" and "file" (in any letter case),
// gives the default.
ExtraSettings ReadExtraSettings(const ProfileDocument& file);

// Writes a key only when the file has it already or its value is not the default, so a file
// of a user who never changed these settings stays as it was.
void WriteExtraSettings(ProfileDocument& file, const ExtraSettings& settings);

}  // namespace velkor
