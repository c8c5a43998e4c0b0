#include "controls/status_display_model.h"

#include <algorithm>

#include "controls/display_width.h"

namespace velkor::controls {

StatusDisplayModel::StatusDisplayModel(GlyphRasteriser& rasteriser)
    : rasteriser_(rasteriser), grid_(kColumns * kRows, 0) {}

const std::vector<std::uint8_t>& StatusDisplayModel::Glyph(char32_t character, int width) {
    auto [it, inserted] = glyphs_.try_emplace({character, width});
    if (inserted) {
        it->second.assign(static_cast<std::size_t>(width) * kRows, 0);
        // Control characters (the log's line ends among them) keep their columns but show blank.
        if (character >= 0x20 && character != 0x7F) {
            rasteriser_.Render(character, width, it->second.data());
        }
    }
    return it->second;
}

void StatusDisplayModel::SetText(std::string_view utf8) {
    placed_.clear();
    int column = 0;
    while (!utf8.empty()) {
        const DecodedChar c = DecodeUtf8(utf8);
        const int width = c.columns * kSingleWidth;
        placed_.push_back({column, width, &Glyph(c.character, width)});
        column += width;
        utf8.remove_prefix(c.bytes);
    }
    // A short text still spans the whole display, so it scrolls out before it re-enters.
    textWidth_ = std::max(column, kColumns);
    FillFromOffset(0);
}

bool StatusDisplayModel::TextPixel(int column, int row) const {
    if (column < 0 || column >= textWidth_) return false;
    auto it = std::upper_bound(placed_.begin(), placed_.end(), column,
                               [](int c, const Placed& p) { return c < p.column; });
    if (it == placed_.begin()) return false;
    --it;
    const int x = column - it->column;
    if (x >= it->width) return false;  // the blank tail of a short text
    return (*it->glyph)[static_cast<std::size_t>(row) * it->width + x] != 0;
}

void StatusDisplayModel::FillFromOffset(int offset) {
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            grid_[row * kColumns + column] = TextPixel(offset + column, row) ? 1 : 0;
        }
    }
}

void StatusDisplayModel::ShowBar(int n) {
    n = std::clamp(n, 0, kColumns);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            grid_[row * kColumns + column] = column < n ? 1 : 0;
        }
    }
}

bool StatusDisplayModel::StartScrolling(int stepMs) {
    if (scrolling_ || stepMs == 0) return false;
    scrollStep_ = stepMs;
    scrolling_ = true;
    return true;
}

bool StatusDisplayModel::StartScrolling(int periodMs, ScrollDirection direction) {
    if (periodMs <= 0) return false;
    return StartScrolling(direction == ScrollDirection::Left ? periodMs : -periodMs);
}

bool StatusDisplayModel::StopScrolling() {
    if (!scrolling_) return false;
    scrolling_ = false;
    return true;
}

void StatusDisplayModel::Tick() {
    if (scrollStep_ > 0) {
        offset_ += kScrollStep;
        if (offset_ > textWidth_ - 1) offset_ = -kColumns;
    } else if (scrollStep_ < 0) {
        offset_ -= kScrollStep;
        if (offset_ < -kColumns) offset_ = textWidth_ - 1;
    }
    FillFromOffset(offset_);
}

}  // namespace velkor::controls
