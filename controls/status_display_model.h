// The dot-matrix status sign's state: a 120 x 12 grid of dots showing a text, a scrolling
// text or a progress bar. Toolkit-free: a view paints the grid and drives the scroll timer.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace velkor::controls {

// Renders one character into a cell of `width` x 12 pixels (6 for a single-width character,
// 12 for a double-width one). `cell` holds width * 12 bytes, row by row, all 0 on entry; the
// rasteriser sets a byte to 1 where the character has ink.
class GlyphRasteriser {
  public:
    virtual ~GlyphRasteriser() = default;
    virtual void Render(char32_t character, int width, std::uint8_t* cell) = 0;
};

enum class ScrollDirection { Left, Right };

// Dot style 3: each dot is a 3 x 3-pixel cell cut from the dot bitmap, a strip of two cells
// (dark, then lit). The control adds a 2-pixel frame on every side: 364 x 40 pixels.
inline constexpr int kDotCell = 3;
inline constexpr int kDotFrame = 2;

// What a pixel of the dot bitmap stands for: its pure red is drawn in the lit colour, its
// light grey in the dark colour and everything else in the background colour.
enum class DotPixel { Background, Dark, Lit };
constexpr DotPixel ClassifyDotBitmapPixel(int r, int g, int b) {
    if (r == 255 && g == 0 && b == 0) return DotPixel::Lit;
    if (r == 192 && g == 192 && b == 192) return DotPixel::Dark;
    return DotPixel::Background;
}

class StatusDisplayModel {
  public:
    static constexpr int kColumns = 120;
    static constexpr int kRows = 12;
    static constexpr int kSingleWidth = 6;  // pixels of a single-width character
    static constexpr int kScrollStep = 2;   // dot columns per tick

    // The rasteriser must outlive the model.
    explicit StatusDisplayModel(GlyphRasteriser& rasteriser);

    // Renders a UTF-8 text and shows its first 120 columns; the scroll offset is kept.
    void SetText(std::string_view utf8);
    // Lights columns 0 to n - 1 of every row and darkens the rest; n is clamped to 0..120.
    void ShowBar(int n);

    // Signed step in ms: positive scrolls to the left, negative to the right. Returns false
    // (and changes nothing) when already scrolling or when the step is 0.
    bool StartScrolling(int stepMs);
    bool StartScrolling(int periodMs, ScrollDirection direction);
    // Returns false when it was not scrolling.
    bool StopScrolling();
    bool Scrolling() const { return scrolling_; }
    int ScrollStep() const { return scrollStep_; }
    // One timer tick: moves the offset two columns and refills the grid.
    void Tick();

    bool Lit(int column, int row) const { return grid_[row * kColumns + column] != 0; }
    const std::vector<std::uint8_t>& Grid() const { return grid_; }
    int TextWidth() const { return textWidth_; }
    int ScrollOffset() const { return offset_; }

  private:
    struct Placed {
        int column;  // first text column of the character
        int width;
        const std::vector<std::uint8_t>* glyph;
    };

    const std::vector<std::uint8_t>& Glyph(char32_t character, int width);
    bool TextPixel(int column, int row) const;
    void FillFromOffset(int offset);

    GlyphRasteriser& rasteriser_;
    std::vector<std::uint8_t> grid_;
    // The text image, kept as placed glyphs: a long log text costs one entry per character,
    // and each distinct character is rasterised once.
    std::vector<Placed> placed_;
    std::map<std::pair<char32_t, int>, std::vector<std::uint8_t>> glyphs_;
    int textWidth_ = 0;
    int offset_ = 0;
    int scrollStep_ = 0;
    bool scrolling_ = false;
};

}  // namespace velkor::controls
