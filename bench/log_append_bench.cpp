// What a long log costs the window: a run's lines reach the view through the presenter one
// report at a time. Each report hands the view only the new text, so 10,000 lines should take
// about ten times as long as 1,000; a view given the whole log each time would take a hundred.
// Prints the ratio, measured side by side in one run (the best of several rounds of each).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/main_window_presenter.h"
#include "station/station.h"

namespace {

using namespace velkor;

// A view that keeps the log as a window's text box would: whole text or appended text.
class LogOnlyView : public MainWindowView {
  public:
    void SetText(int, const std::string&) override {}
    void SetVisible(int, bool) override {}
    void SetEnabled(int, bool) override {}
    void SetChecked(int, bool) override {}
    bool IsChecked(int) const override { return false; }
    void SetListItems(int, const std::vector<std::string>&, int) override {}
    void SetLinkTarget(int, const std::string&) override {}
    void ShowLog(const std::string& text) override { log = text; }
    void AppendLog(const std::string& text) override { log += text; }
    void StatusText(const std::string&) override {}
    void StatusBar(int) override {}
    void StatusStartScroll(int) override {}
    void StatusStopScroll() override {}
    void SetIcon(int) override {}
    void SetTitle(const std::string&) override {}
    std::optional<std::string> ChooseFile(const FileChoice&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const SaveChoice&) override { return {}; }
    bool Confirm(const std::string&, const std::string&) override { return false; }
    void ShowNotice(const std::string&, const std::string&) override {}
    void ShowAbout(const std::string&) override {}
    void ShowOptionDialog(int) override {}
    void EndDialog(bool) override {}
    std::string log;
};

// Seconds for `lines` log lines, each delivered to the window as its own report.
double LogLines(const std::string& ini, int lines) {
    Station station;
    LogOnlyView view;
    MainWindowPresenter presenter(station, view, ini);
    presenter.Initialise();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < lines; ++i) {
        station.Log({Msg::kNote, {"0x" + std::to_string(i * 64) + ": 写入 64 字节\r\n"}});
        presenter.OnLog();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (view.log.size() < static_cast<std::size_t>(lines) * 10) std::printf("log lost\n");
    presenter.OnEscape();
    return took.count();
}

}  // namespace

int main() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velkor-log-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string ini = (dir / "velkor.ini").string();
    std::ofstream(ini) << "[SIMULATOR]\nEnabled=1\nChip=mega8\n";
    double small = 1e9;
    double large = 1e9;
    for (int round = 0; round < 5; ++round) {
        small = std::min(small, LogLines(ini, 1000));
        large = std::min(large, LogLines(ini, 10000));
    }
    std::filesystem::remove_all(dir);
    std::printf("log lines shown in the window, one report each\n");
    std::printf("  1,000 lines: %.4f s\n  10,000 lines: %.4f s\n", small, large);
    std::printf("  ratio 10,000 / 1,000 lines: %.1f (linear: 10, whole log each time: 100)\n",
                large / small);
    return 0;
}
