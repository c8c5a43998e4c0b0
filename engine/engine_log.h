// The engine's log: its lines as message identities with their arguments, and their text in
// the language the user chose.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_seams.h"
#include "messages/log_messages.h"

namespace velkor {

// Where a reader of the log stands: the text it has taken so far, and which rendering of the
// log that text belongs to (a cleared log or a new language starts another).
struct LogCursor {
    std::uint64_t generation = 0;
    std::size_t bytes = 0;
};

// What a reader has not taken yet: the new text to append, or, when the log was emptied or
// rendered again since, its whole text to show instead.
struct LogDelta {
    bool replace = false;
    std::string text;
};

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
    // The text appended since `cursor`, which moves to the end: a view that appends only this
    // costs time in proportion to the new lines, not to the whole log.
    LogDelta Since(LogCursor& cursor) const;

  private:
    mutable std::mutex mutex_;
    Language language_ = Language::kZh;
    std::vector<LogLine> lines_;
    std::string text_;
    std::uint64_t generation_ = 1;
};

}  // namespace velkor
