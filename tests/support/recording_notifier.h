// Records the engine's window messages in the order they were posted.
#pragma once

#include <mutex>
#include <vector>

#include "engine/engine_seams.h"

namespace velkor::test {

struct PostedMessage {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const PostedMessage&) const = default;
};

class RecordingNotifier : public EngineNotifier {
  public:
    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back({message, wParam, lParam});
    }
    std::vector<PostedMessage> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::vector<int> Progress() const;
    std::size_t Count(unsigned message) const;

  private:
    mutable std::mutex mutex_;
    std::vector<PostedMessage> messages_;
};

}  // namespace velkor::test
