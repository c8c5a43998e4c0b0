// What the main window's presenter needs from a window: set and read controls by their ids,
// show the log and the status display, ask for a file or a confirmation, open the other
// dialogs and end the window. A front end implements it with its toolkit and forwards every
// user action to the presenter; it decides nothing itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velkor {

// A file-open dialog: the filter's title, the initial file name (which carries the patterns
// shown, "*.hex" or "*.hex;*.eep") and the extension added to a name typed without one.
struct FileChoice {
    std::string filterTitle;
    std::string initialName;
    std::string defaultExtension;
};

// A file-save dialog: its title, the filter's title and patterns ("*.hex;*.eep"), the name
// offered (a folder may lead it), and the extension added to a name typed without one. The
// dialog asks before an existing file is replaced.
struct SaveChoice {
    std::string title;
    std::string filterTitle;
    std::string patterns;
    std::string suggestedName;
    std::string defaultExtension;
};

class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Controls and menu items by id. Texts are UTF-8.
    virtual void SetText(int id, const std::string& text) = 0;
    virtual void SetVisible(int id, bool visible) = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsChecked(int id) const = 0;
    // A drop-down list's entries in this order; selection -1 for none.
    virtual void SetListItems(int id, const std::vector<std::string>& items, int selection) = 0;
    // Where a link control leads.
    virtual void SetLinkTarget(int id, const std::string& target) = 0;

    // The log box shows this text (lines end in "\r\n") with its last line in view.
    virtual void ShowLog(const std::string& text) = 0;
    // The log box shows this text (whole lines) after what it shows, with its last line in
    // view: the cost is the new text's, however long the log already is.
    virtual void AppendLog(const std::string& text) = 0;

    // The status display.
    virtual void StatusText(const std::string& text) = 0;
    virtual void StatusBar(int litColumns) = 0;
    virtual void StatusStartScroll(int periodMs) = 0;
    virtual void StatusStopScroll() = 0;

    // The window's icon (an artwork resource id) and title.
    virtual void SetIcon(int iconId) = 0;
    virtual void SetTitle(const std::string& title) = 0;

    // Modal; the chosen path, or nothing after Cancel.
    virtual std::optional<std::string> ChooseFile(const FileChoice& choice) = 0;
    // Modal; the path to write, or nothing after Cancel (or when replacing was declined).
    virtual std::optional<std::string> ChooseSaveFile(const SaveChoice& choice) = 0;
    // Modal question with Yes and No; true for Yes.
    virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
    // Modal notice with OK, for what the user must not miss (lines end in "\r\n").
    virtual void ShowNotice(const std::string& text, const std::string& caption) = 0;
    virtual void ShowAbout(const std::string& text) = 0;
    // The option dialog of a menu command (Osc Cal. Bytes, Lock Byte, Setup Speed), modal.
    virtual void ShowOptionDialog(int menuId) = 0;

    // Closes the window; its modal run returns `accepted`.
    virtual void EndDialog(bool accepted) = 0;
};

}  // namespace velkor
