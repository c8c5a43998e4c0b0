// The engine's log: its lines as message identities with their arguments, and their text in
// the language the user chose.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_seams.h"
#include "messages/log_messages.h"

namespace velkor {

// The run appends on its own thread while the window copies the text on another, so every
// access takes the lock; readers get a consistent copy, never a half-appended line.
class EngineLog {
  public:
    void Append(LogLine line);
    void Clear();
    std::string Text() const;
    // The lines' identities in order, whatever the language.
    std::vector<Msg> Ids() const;
    // Renders every line again, so a log already shown appears in the new language.
    void SetLanguage(Language language);
    Language GetLanguage() const;

  private:
    mutable std::mutex mutex_;
    Language language_ = Language::kZh;
    std::vector<LogLine> lines_;
    std::string text_;
};

}  // namespace velkor
