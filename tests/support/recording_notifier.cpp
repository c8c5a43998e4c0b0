#include "tests/support/recording_notifier.h"

namespace velkor::test {

std::vector<int> RecordingNotifier::Progress() const {
    std::vector<int> values;
    for (const PostedMessage& m : Messages()) {
        if (m.kind == PostedMessage::kProgress) values.push_back(m.percent);
    }
    return values;
}

}  // namespace velkor::test
