// Prints the station's log line by line as it is appended, and a progress bar on a terminal.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include "station/station.h"

namespace velkor::cli {

class LogPrinter : public RunObserver {
  public:
    LogPrinter(const Station& station, std::ostream& out, std::ostream* bar)
        : station_(station), out_(out), bar_(bar) {}
    void OnLog() override;
    void OnProgress(int percent) override;
    void OnRunEnded() override {}
    // Prints whatever was appended without a notification (a quiet append is followed by a
    // posted one anyway, but the end of a command flushes it too).
    void Flush();

  private:
    void PrintNewText();
    void ClearBar();

    const Station& station_;
    std::ostream& out_;
    std::ostream* bar_;  // null: no bar
    std::mutex mutex_;
    LogCursor printed_;
    bool barShown_ = false;
};

}  // namespace velkor::cli
