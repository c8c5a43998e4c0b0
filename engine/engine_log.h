// The engine's log text and its change notifications to the owner window.
#pragma once

#include <mutex>
#include <string>

#include "engine/engine_seams.h"

namespace velkor {

// The run appends on its own thread while the window copies the text on another, so every
// access takes the lock; readers get a consistent copy, never a half-appended line.
class EngineLog {
  public:
    void Append(const char* text);  // null empties the text
    void Clear();
    std::string Text() const;

  private:
    mutable std::mutex mutex_;
    std::string text_;
};

}  // namespace velkor
