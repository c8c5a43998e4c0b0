// The red dot-matrix status sign drawn with GDI: 120 x 12 dots of 3 x 3 pixels inside a
// 2-pixel sunken edge (364 x 40 pixels), showing a text, a scrolling text or a progress bar.
// Binds to a static control of a dialog (1037 in the main window) by subclassing it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "controls/status_display_model.h"

namespace velkor::win32 {

class StatusDisplay {
  public:
    StatusDisplay();
    ~StatusDisplay();
    StatusDisplay(const StatusDisplay&) = delete;
    StatusDisplay& operator=(const StatusDisplay&) = delete;

    void Attach(HWND control);
    HWND Handle() const { return hwnd_; }

    // Dot style 3: 3 x 3-pixel cells from bitmap 135, colour-mapped; resizes the control,
    // keeping its position, to 364 x 40 pixels. Only style 3 exists; others change nothing.
    void SetDotStyle(int style);
    // Pure black, light grey and pure red of the dot bitmap are drawn in these colours.
    void SetColours(COLORREF background, COLORREF lit, COLORREF dark);

    void SetText(std::string_view utf8);
    void ShowBar(int litColumns);
    // Signed period in ms: positive moves the text left. Does nothing when already scrolling.
    void StartScrolling(int stepMs);
    void StopScrolling();

    const controls::StatusDisplayModel& Model() const { return *model_; }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void Paint(HDC dc);
    void BuildCells();

    std::unique_ptr<controls::GlyphRasteriser> rasteriser_;
    std::unique_ptr<controls::StatusDisplayModel> model_;
    HWND hwnd_ = nullptr;
    int dot_ = controls::kDotCell;
    COLORREF background_ = RGB(0, 0, 0);
    COLORREF lit_ = RGB(255, 60, 0);
    COLORREF dark_ = RGB(103, 30, 0);
    // The two cells of the dot bitmap after the colour mapping, dot_ x dot_ pixels each, as
    // 0x00RRGGBB.
    std::vector<std::uint32_t> darkCell_;
    std::vector<std::uint32_t> litCell_;
};

}  // namespace velkor::win32
