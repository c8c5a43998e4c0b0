// Dialog units: the window layouts are given in the units of a dialog template, which scale
// with the dialog's font. One horizontal unit is a quarter of the font's average character
// width, one vertical unit an eighth of its height, so a layout keeps its proportions whatever
// the font and the screen's resolution. Both front ends convert through this one helper (the
// Win32 front end may use MapDialogRect instead, which computes the same).
#pragma once

#include <string_view>

namespace velkor {

// A rectangle of a dialog template: position and size in dialog units, or in pixels after
// conversion.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const DialogRect&) const = default;
};

struct DialogUnits {
    // Base units of the 9-point "宋体" font at 96 dots per inch: characters 6 pixels wide on
    // average and 12 pixels high.
    int baseX = 6;
    int baseY = 12;

    // Rounded like the system's MulDiv, so a layout lands on the same pixels as on Windows.
    constexpr int X(int units) const { return Scale(units, baseX, 4); }
    constexpr int Y(int units) const { return Scale(units, baseY, 8); }
    constexpr DialogRect ToPixels(const DialogRect& r) const {
        return {X(r.x), Y(r.y), X(r.width), Y(r.height)};
    }

    // Base units from a font's measures: the summed advance of the 52 letters A-Z a-z (the
    // average the system uses, rounded) and the character height in pixels.
    static constexpr DialogUnits FromFontMetrics(int alphabetWidth, int height) {
        DialogUnits u;
        u.baseX = (alphabetWidth / 26 + 1) / 2;
        u.baseY = height;
        if (u.baseX < 1) u.baseX = 1;
        if (u.baseY < 1) u.baseY = 1;
        return u;
    }
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

  private:
    static constexpr int Scale(int value, int numerator, int denominator) {
        const int product = value * numerator;
        return product >= 0 ? (product + denominator / 2) / denominator
                            : -((-product + denominator / 2) / denominator);
    }
};

}  // namespace velkor
