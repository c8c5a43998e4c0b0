#include "engine/engine_log.h"

namespace velkor {

void EngineLog::Append(LogLine line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (line.Empty()) return;
    text_ += Render(line, language_);
    lines_.push_back(std::move(line));
}

void EngineLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
    text_.clear();
    ++generation_;
}

std::string EngineLog::Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
}

std::vector<Msg> EngineLog::Ids() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Msg> ids;
    ids.reserve(lines_.size());
    for (const LogLine& line : lines_) ids.push_back(line.id);
    return ids;
}

void EngineLog::SetLanguage(Language language) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (language == language_) return;
    language_ = language;
    ++generation_;
    text_.clear();
    for (const LogLine& line : lines_) text_ += Render(line, language_);
}

LogDelta EngineLog::Since(LogCursor& cursor) const {
    std::lock_guard<std::mutex> lock(mutex_);
    LogDelta delta;
    if (cursor.generation != generation_ || cursor.bytes > text_.size()) {
        delta.replace = true;
        delta.text = text_;
    } else {
        delta.text = text_.substr(cursor.bytes);
    }
    cursor = {generation_, text_.size()};
    return delta;
}

Language EngineLog::GetLanguage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return language_;
}

}  // namespace velkor
