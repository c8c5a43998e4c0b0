#include "tests/support/recording_notifier.h"

#include "engine/engine_types.h"

namespace velkor::test {

std::vector<int> RecordingNotifier::Progress() const {
    std::vector<int> values;
    for (const PostedMessage& m : Messages()) {
        if (m.message == WM_ISP_PROGRESS) values.push_back(static_cast<int>(m.lParam));
    }
    return values;
}

std::size_t RecordingNotifier::Count(unsigned message) const {
    std::size_t n = 0;
    for (const PostedMessage& m : Messages()) n += m.message == message ? 1 : 0;
    return n;
}

}  // namespace velkor::test
