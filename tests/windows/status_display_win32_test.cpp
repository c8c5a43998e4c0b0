// The GDI dot display as it paints: a bar lights its columns in the lit colour and leaves the
// rest in the dark colour, every cell keeps the background's top row and left column (the dot
// bitmap's black), and the control takes the 364 x 40 pixels of dot style 3.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "controls/win32/status_display.h"

namespace velkor {
namespace {

constexpr COLORREF kBackground = RGB(0, 0, 0);
constexpr COLORREF kLit = RGB(255, 60, 0);
constexpr COLORREF kDark = RGB(103, 30, 0);

class StatusDisplayWin32 : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 60, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20,
                                       parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(control, nullptr);
        display_.Attach(control);
        display_.SetDotStyle(3);
        display_.SetColours(kBackground, kLit, kDark);
    }
    void TearDown() override {
        if (parent_ != nullptr) DestroyWindow(parent_);
    }

    // The client area as the control paints it.
    std::vector<COLORREF> Painted(int& width, int& height) {
        RECT client{};
        GetClientRect(display_.Handle(), &client);
        width = client.right;
        height = client.bottom;
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(dc, bitmap);
        SendMessageW(display_.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) pixels[y * width + x] = GetPixel(dc, x, y);
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return pixels;
    }

    HWND parent_ = nullptr;
    win32::StatusDisplay display_;
};

TEST_F(StatusDisplayWin32, BarLightsItsColumnsInTheLitColourOverTheDotBitmap) {
    RECT window{};
    GetWindowRect(display_.Handle(), &window);
    EXPECT_EQ(window.right - window.left, 364);
    EXPECT_EQ(window.bottom - window.top, 40);

    display_.ShowBar(50);
    int width = 0;
    int height = 0;
    const std::vector<COLORREF> p = Painted(width, height);
    ASSERT_EQ(width, 360);
    ASSERT_EQ(height, 36);
    const auto at = [&](int column, int row, int dx, int dy) {
        return p[(row * 3 + dy) * width + column * 3 + dx];
    };
    for (int row : {0, 11}) {
        EXPECT_EQ(at(0, row, 1, 1), kLit);
        EXPECT_EQ(at(49, row, 2, 2), kLit);
        EXPECT_EQ(at(50, row, 1, 1), kDark);
        EXPECT_EQ(at(119, row, 2, 2), kDark);
        EXPECT_EQ(at(0, row, 0, 0), kBackground);
        EXPECT_EQ(at(49, row, 0, 2), kBackground);
        EXPECT_EQ(at(50, row, 2, 0), kBackground);
    }

    display_.ShowBar(0);
    const std::vector<COLORREF> dark = Painted(width, height);
    EXPECT_EQ(dark[1 * width + 1], kDark);
}

}  // namespace
}  // namespace velkor
