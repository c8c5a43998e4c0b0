#include "engine/engine_log.h"

namespace velkor {

void EngineLog::Append(const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (text == nullptr) {
        text_.clear();
    } else {
        text_ += text;
    }
}

void EngineLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.clear();
}

std::string EngineLog::Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
}

}  // namespace velkor
