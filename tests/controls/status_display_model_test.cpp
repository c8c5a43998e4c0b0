#include "controls/status_display_model.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "controls/display_width.h"

namespace velkor::controls {
namespace {

// Marks each character's first column in row 0 and its last column in row 1, so the dot
// grid shows where every character starts and ends. Records the widths asked for.
class MarkerRasteriser : public GlyphRasteriser {
  public:
    void Render(char32_t character, int width, std::uint8_t* cell) override {
        widths[character] = width;
        ++calls;
        cell[0] = 1;
        cell[width + width - 1] = 1;
    }
    std::map<char32_t, int> widths;
    int calls = 0;
};

std::set<int> LitColumns(const StatusDisplayModel& m, int row) {
    std::set<int> lit;
    for (int c = 0; c < StatusDisplayModel::kColumns; ++c) {
        if (m.Lit(c, row)) lit.insert(c);
    }
    return lit;
}

int LitDots(const StatusDisplayModel& m) {
    int n = 0;
    for (std::uint8_t d : m.Grid()) n += d != 0;
    return n;
}

class StatusDisplayModelTest : public ::testing::Test {
  protected:
    MarkerRasteriser glyphs;
    StatusDisplayModel model{glyphs};
};

TEST_F(StatusDisplayModelTest, TwentyColumnTextMixingCjkAndAsciiFillsTheDisplayExactly) {
    model.SetText("   hex文件已经更新  ");
    EXPECT_EQ(glyphs.widths[U'h'], 6);
    EXPECT_EQ(glyphs.widths[U'文'], 12);
    EXPECT_EQ(model.TextWidth(), 120);
    const std::set<int> starts{0, 6, 12, 18, 24, 30, 36, 48, 60, 72, 84, 96, 108, 114};
    const std::set<int> ends{5, 11, 17, 23, 29, 35, 47, 59, 71, 83, 95, 107, 113, 119};
    EXPECT_EQ(LitColumns(model, 0), starts);
    EXPECT_EQ(LitColumns(model, 1), ends);
    EXPECT_EQ(LitDots(model), 28);
}

TEST_F(StatusDisplayModelTest, ShortTextLeavesTheRestDarkAndLongTextShowsItsBeginning) {
    model.SetText("A中B");
    EXPECT_EQ(LitColumns(model, 0), (std::set<int>{0, 6, 18}));
    EXPECT_EQ(LitColumns(model, 1), (std::set<int>{5, 17, 23}));
    EXPECT_EQ(model.TextWidth(), 120);  // a short text still spans the display

    // 25 characters: only the first 20 are visible, the text image keeps all of them.
    model.SetText("abcdefghijklmnopqrstuvwxy");
    EXPECT_EQ(model.TextWidth(), 150);
    EXPECT_EQ(LitColumns(model, 0).size(), 20u);
    EXPECT_EQ(*LitColumns(model, 1).rbegin(), 119);
}

TEST_F(StatusDisplayModelTest, LineEndsShowBlankAndABrokenByteShowsAReplacementInOneColumnEach) {
    model.SetText(
        "a\r\n\xFF"
        "b");
    EXPECT_EQ(LitColumns(model, 0), (std::set<int>{0, 18, 24}));
    EXPECT_EQ(glyphs.widths[U'\uFFFD'], 6);
    EXPECT_EQ(glyphs.widths.count(U'\r'), 0u);
    // Each distinct character is drawn once, however often it occurs.
    glyphs.calls = 0;
    model.SetText(std::string(500, 'a'));
    EXPECT_EQ(glyphs.calls, 0);
}

TEST_F(StatusDisplayModelTest, BarLightsTheFirstColumnsOfEveryRow) {
    model.SetText("   hex文件已经更新  ");
    model.ShowBar(0);
    EXPECT_EQ(LitDots(model), 0);
    model.ShowBar(50);
    EXPECT_EQ(LitDots(model), 50 * 12);
    for (int row = 0; row < 12; ++row) {
        EXPECT_TRUE(model.Lit(49, row));
        EXPECT_FALSE(model.Lit(50, row));
    }
    model.ShowBar(120);
    EXPECT_EQ(LitDots(model), 120 * 12);
    model.ShowBar(500);  // out of range values are clamped
    EXPECT_EQ(LitDots(model), 120 * 12);
    model.ShowBar(-3);
    EXPECT_EQ(LitDots(model), 0);
}

TEST_F(StatusDisplayModelTest, OneTickMovesTheTextTwoColumnsEitherWay) {
    model.SetText("A中B");
    ASSERT_TRUE(model.StartScrolling(100, ScrollDirection::Left));
    EXPECT_EQ(model.ScrollStep(), 100);
    model.Tick();
    EXPECT_EQ(model.ScrollOffset(), 2);
    EXPECT_EQ(LitColumns(model, 0), (std::set<int>{4, 16}));
    EXPECT_EQ(LitColumns(model, 1), (std::set<int>{3, 15, 21}));

    ASSERT_TRUE(model.StopScrolling());
    ASSERT_TRUE(model.StartScrolling(100, ScrollDirection::Right));
    EXPECT_EQ(model.ScrollStep(), -100);
    model.Tick();
    model.Tick();
    EXPECT_EQ(model.ScrollOffset(), -2);
    EXPECT_EQ(LitColumns(model, 0), (std::set<int>{2, 8, 20}));
}

TEST_F(StatusDisplayModelTest, ScrolledOutTextReentersFromTheOtherEdge) {
    model.SetText("A中B");  // 120 columns wide
    model.StartScrolling(100);
    for (int i = 0; i < 59; ++i) model.Tick();
    EXPECT_EQ(model.ScrollOffset(), 118);
    EXPECT_EQ(LitColumns(model, 1), (std::set<int>{}));  // only blank columns remain
    model.Tick();  // past the last column: blank, then the text enters at the right edge
    EXPECT_EQ(model.ScrollOffset(), -120);
    EXPECT_EQ(LitDots(model), 0);
    model.Tick();
    EXPECT_EQ(LitColumns(model, 0), (std::set<int>{118}));
}

TEST_F(StatusDisplayModelTest, RightScrolledTextReentersWithItsLastColumn) {
    model.SetText("A中B" + std::string(15, ' ') + "Z");  // Z ends at column 119
    model.StartScrolling(-100);
    // Offsets -2 .. -120 still show the text's beginning; the next tick wraps to its end.
    for (int i = 0; i < 60; ++i) model.Tick();
    EXPECT_EQ(model.ScrollOffset(), -120);
    EXPECT_EQ(LitDots(model), 0);
    model.Tick();
    EXPECT_EQ(model.ScrollOffset(), 119);
    EXPECT_EQ(LitColumns(model, 0), (std::set<int>{}));
    EXPECT_EQ(LitColumns(model, 1), (std::set<int>{0}));
}

TEST_F(StatusDisplayModelTest, ScrollingStartsAndStopsOnlyOnce) {
    EXPECT_FALSE(model.StartScrolling(0));
    EXPECT_FALSE(model.StopScrolling());
    EXPECT_TRUE(model.StartScrolling(100));
    EXPECT_FALSE(model.StartScrolling(-50));
    EXPECT_EQ(model.ScrollStep(), 100);
    EXPECT_TRUE(model.StopScrolling());
    EXPECT_FALSE(model.Scrolling());
    // Ticks before any text leave the display blank.
    model.Tick();
    EXPECT_EQ(LitDots(model), 0);
}

TEST(DisplayWidthTest, NonAsciiCountsTwoColumnsAndBrokenBytesOne) {
    EXPECT_EQ(DisplayColumns("VelkorISP－AVR系列MCU在线下载软件"), 9 + 2 + 3 + 4 + 3 + 12);
    EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80").character, U'\U0001F600');
    // Overlong, surrogate, truncated and stray continuation bytes are one column per byte.
    EXPECT_EQ(DisplayColumns("\xC0\xAF"), 2);
    EXPECT_EQ(DisplayColumns("\xED\xA0\x80"), 3);
    EXPECT_EQ(DisplayColumns("\xE4\xB8"), 2);
    EXPECT_EQ(DisplayColumns("\x80"), 1);
}

}  // namespace
}  // namespace velkor::controls
