// The watch on the flash HEX file, as the main window uses it. The file watcher implements
// it; a change it sees reaches the window's thread and calls the presenter's
// OnFlashFileChanged().
#pragma once

#include <string>

namespace velkor {

class FlashFileWatch {
  public:
    virtual ~FlashFileWatch() = default;
    // Replaces the watch with one on `path`; a path that cannot be watched leaves none.
    virtual void Watch(const std::string& path) = 0;
    // Removes the watch and returns when the watcher thread (if this was its last watch)
    // has ended.
    virtual void Unwatch() = 0;
};

}  // namespace velkor
