// Records the engine's reports in the order they were made.
#pragma once

#include <mutex>
#include <vector>

#include "engine/engine_seams.h"

namespace velkor::test {

// One report: new log text (percent unused) or a progress value.
struct PostedMessage {
    enum Kind { kLog, kProgress } kind;
    int percent = 0;
    bool operator==(const PostedMessage&) const = default;
};

class RecordingNotifier : public EngineReports {
  public:
    void OnLog() override { Add({PostedMessage::kLog, 0}); }
    void OnProgress(int percent) override { Add({PostedMessage::kProgress, percent}); }
    std::vector<PostedMessage> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::vector<int> Progress() const;

  private:
    void Add(PostedMessage m) {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(m);
    }
    mutable std::mutex mutex_;
    std::vector<PostedMessage> messages_;
};

}  // namespace velkor::test
