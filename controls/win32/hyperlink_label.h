// A coloured link text bound to a static control of a dialog: link colour, visited colour after
// a successful open, hover colour and an underline while the mouse is over it, a hand cursor
// and a tooltip with the target. A click opens the target; a failure beeps and shows "Unable to
// open hyperlink:" with the reason.
//
// The dialog forwards WM_CTLCOLORSTATIC (TextColour) and the label's STN_CLICKED (Clicked),
// found with FromHandle.
#pragma once

#include <windows.h>

#include <string>

#include "controls/hyperlink_model.h"

namespace velkor::win32 {

class HyperlinkLabel {
  public:
    HyperlinkLabel() = default;
    ~HyperlinkLabel();
    HyperlinkLabel(const HyperlinkLabel&) = delete;
    HyperlinkLabel& operator=(const HyperlinkLabel&) = delete;

    void Attach(HWND control);
    HWND Handle() const { return hwnd_; }
    static HyperlinkLabel* FromHandle(HWND control);

    // An empty target takes the caption, an empty caption the target; the label fits its text.
    void SetLink(const std::wstring& caption, const std::wstring& target);
    const std::wstring& Link() const { return link_; }
    void SetColours(const controls::HyperlinkColours& colours);
    void SetVisited(bool visited);
    bool Visited() const { return visited_; }
    bool Hovered() const { return hovered_; }

    // WM_CTLCOLORSTATIC for this label: sets the colours, returns the background brush.
    HBRUSH TextColour(HDC dc) const;
    void Clicked();

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void SetHovered(bool hovered);
    void FitToText();
    // ShellExecute's result for the link, with the browser for ".htm" as the fallback.
    int Open() const;

    HWND hwnd_ = nullptr;
    std::wstring link_;
    controls::HyperlinkColours colours_;
    bool visited_ = false;
    bool hovered_ = false;
    HFONT normalFont_ = nullptr;
    HFONT underlinedFont_ = nullptr;
    HWND tooltip_ = nullptr;
};

}  // namespace velkor::win32
