// The resource script restates the window templates of app/ by hand; here each dialog is built
// from its resource and compared, control for control in creation order, with its template:
// id, window class and kind, caption, place and size (through the dialog's own unit
// conversion), visibility. The menu, the About string and the artwork are checked as the
// program loads them.
#include <gtest/gtest.h>
#include <windows.h>
// The system's GUI headers need <windows.h> before them.
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/calibration_dialog_presenter.h"
#include "app/lock_dialog_presenter.h"
#include "app/main_window_template.h"
#include "app/speed_dialog_presenter.h"
#include "controls/win32/artwork.h"
#include "files/utf8_path.h"

namespace velkor {
namespace {

INT_PTR CALLBACK Inert(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

struct Built {
    HWND hwnd = nullptr;
    std::vector<HWND> children;  // in creation order
    ~Built() {
        if (hwnd != nullptr) DestroyWindow(hwnd);
    }
};

void Build(int resourceId, Built& built) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    built.hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                    nullptr, &Inert, 0);
    ASSERT_NE(built.hwnd, nullptr) << "dialog " << resourceId << " does not load";
    for (HWND child = GetWindow(built.hwnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        built.children.push_back(child);
    }
}

std::string Class(HWND hwnd) {
    wchar_t name[64] = L"";
    GetClassNameW(hwnd, name, 64);
    return Utf8FromWide(name);
}

std::string Text(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

LONG_PTR Style(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, GWL_STYLE);
}

// The rectangle of `child` in its dialog's client area, and the template's in pixels.
RECT Placed(HWND dialog, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}
// The dialog manager converts position and size each on its own, as MapDialogRect does a
// rectangle's four numbers.
RECT Expected(HWND dialog, const DialogRect& d) {
    RECT r{d.x, d.y, d.width, d.height};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

void ExpectPlace(HWND dialog, HWND child, const DialogRect& rect, bool dropDown,
                 const std::string& what) {
    const RECT placed = Placed(dialog, child);
    const RECT expected = Expected(dialog, rect);
    EXPECT_EQ(placed.left, expected.left) << what;
    EXPECT_EQ(placed.top, expected.top) << what;
    EXPECT_EQ(placed.right, expected.right) << what;
    // A drop-down list's template height is its open list's; closed, it is one line high.
    if (!dropDown) {
        EXPECT_EQ(placed.bottom, expected.bottom) << what;
    }
}

int Id(HWND child) {
    const int id = GetDlgCtrlID(child);
    return id == 0xFFFF || id == -1 ? kNoControlId : id;
}

void ExpectFrame(HWND dialog, const char* caption, int width, int height) {
    EXPECT_EQ(Text(dialog), caption);
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT expected = Expected(dialog, {0, 0, width, height});
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
}

TEST(ResourceScript, MainDialogHoldsEveryControlOfTheTemplate) {
    Built built;
    ASSERT_NO_FATAL_FAILURE(Build(102, built));
    const MainWindowTemplate& t = MainTemplate();
    ExpectFrame(built.hwnd, t.caption, t.width, t.height);
    ASSERT_EQ(built.children.size(), t.controls.size());
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        const MainControl& c = t.controls[i];
        HWND child = built.children[i];
        const std::string what =
            "control #" + std::to_string(i) + " (" + std::to_string(c.id) + ")";
        EXPECT_EQ(Id(child), c.id) << what;
        const LONG_PTR style = Style(child);
        const LONG_PTR type = style & BS_TYPEMASK;
        bool dropDown = false;
        switch (c.kind) {
            case MainControlKind::GroupBox:
                EXPECT_EQ(Class(child), "Button") << what;
                EXPECT_EQ(type, BS_GROUPBOX) << what;
                break;
            case MainControlKind::ChipList:
            case MainControlKind::WizardList:
                EXPECT_EQ(Class(child), "ComboBox") << what;
                EXPECT_EQ(style & 3, CBS_DROPDOWNLIST) << what;
                // The presenter gives the entries in table order and selects by index.
                EXPECT_EQ(style & CBS_SORT, 0) << what;
                dropDown = true;
                break;
            case MainControlKind::Radio:
                EXPECT_EQ(type, BS_AUTORADIOBUTTON) << what;
                break;
            case MainControlKind::CheckBox:
            case MainControlKind::FuseBox:
                EXPECT_EQ(type, BS_AUTOCHECKBOX) << what;
                break;
            case MainControlKind::PushButton:
            case MainControlKind::IconButton:
                EXPECT_EQ(Class(child), "Button") << what;
                EXPECT_EQ(type, BS_PUSHBUTTON) << what;
                break;
            case MainControlKind::Hyperlink:
            case MainControlKind::StatusDisplay:
                EXPECT_EQ(Class(child), "Static") << what;
                break;
            case MainControlKind::LogBox:
                EXPECT_EQ(Class(child), "Edit") << what;
                EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL),
                          ES_MULTILINE | ES_READONLY | WS_VSCROLL)
                    << what;
                break;
        }
        if (!dropDown && c.kind != MainControlKind::LogBox) {
            EXPECT_EQ(Text(child), c.caption) << what;
        }
        ExpectPlace(built.hwnd, child, c.rect, dropDown, what);
    }
}

TEST(ResourceScript, OptionDialogsHoldEveryControlOfTheirTemplates) {
    for (const DialogTemplate* t :
         {&CalibrationDialogTemplate(), &LockDialogTemplate(), &SpeedDialogTemplate()}) {
        Built built;
        ASSERT_NO_FATAL_FAILURE(Build(t->resourceId, built));
        ExpectFrame(built.hwnd, t->caption, t->width, t->height);
        ASSERT_EQ(built.children.size(), t->controls.size()) << t->resourceId;
        for (std::size_t i = 0; i < t->controls.size(); ++i) {
            const ControlTemplate& c = t->controls[i];
            HWND child = built.children[i];
            const std::string what =
                std::to_string(t->resourceId) + " control #" + std::to_string(i);
            EXPECT_EQ(Id(child), c.id) << what;
            const LONG_PTR style = Style(child);
            switch (c.kind) {
                case ControlKind::GroupBox:
                    EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX) << what;
                    break;
                case ControlKind::Label:
                    EXPECT_EQ(Class(child), "Static") << what;
                    break;
                case ControlKind::RadioButton:
                    EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON) << what;
                    break;
                case ControlKind::ReadOnlyEdit:
                case ControlKind::NumericEdit:
                    EXPECT_EQ(Class(child), "Edit") << what;
                    EXPECT_EQ((style & ES_READONLY) != 0, c.kind == ControlKind::ReadOnlyEdit)
                        << what;
                    break;
                case ControlKind::PushButton:
                    EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << what;
                    break;
                case ControlKind::DefaultButton:
                    EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON) << what;
                    break;
                case ControlKind::Slider:
                    EXPECT_EQ(Class(child), "msctls_trackbar32") << what;
                    break;
            }
            if (c.kind != ControlKind::Slider) {
                EXPECT_EQ(Text(child), c.text) << what;
            }
            EXPECT_EQ((style & WS_VISIBLE) == 0, c.hidden) << what;
            ExpectPlace(built.hwnd, child, c.rect, false, what);
        }
    }
}

TEST(ResourceScript, MenuAndAboutEntryMatchTheTemplate) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(138));
    ASSERT_NE(menu, nullptr);
    const MainWindowTemplate& t = MainTemplate();
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(t.menu.size()));
    wchar_t text[128];
    for (std::size_t p = 0; p < t.menu.size(); ++p) {
        GetMenuStringW(menu, static_cast<UINT>(p), text, 128, MF_BYPOSITION);
        EXPECT_EQ(Utf8FromWide(text), t.menu[p].caption);
        HMENU popup = GetSubMenu(menu, static_cast<int>(p));
        ASSERT_NE(popup, nullptr);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(t.menu[p].items.size()));
        for (std::size_t i = 0; i < t.menu[p].items.size(); ++i) {
            EXPECT_EQ(static_cast<int>(GetMenuItemID(popup, static_cast<int>(i))),
                      t.menu[p].items[i].id);
            GetMenuStringW(popup, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            EXPECT_EQ(Utf8FromWide(text), t.menu[p].items[i].caption);
        }
    }
    DestroyMenu(menu);

    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), 101, text, 128), 0);
    EXPECT_EQ(Utf8FromWide(text), t.aboutEntry);
}

TEST(ResourceScript, ArtworkLoadsAtItsSizesWithTheDotStripsColours) {
    for (int id : {128, 130, 131, 140, 145, 150, 151}) {
        for (int size : {16, 32}) {
            HICON icon = win32::LoadArtworkIcon(id, size);
            ASSERT_NE(icon, nullptr) << id;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP shape{};
            GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(shape),
                       &shape);
            EXPECT_EQ(shape.bmWidth, size) << id;
            if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
    // The dot strip: the display maps exactly black, light grey and pure red to its colours.
    HBITMAP dots = win32::LoadArtworkBitmap(135);
    ASSERT_NE(dots, nullptr);
    std::uint32_t pixels[18] = {};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), 6, -3, 1, 32, BI_RGB};
    HDC dc = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(dc, dots, 0, 3, pixels, &info, DIB_RGB_COLORS), 3);
    ReleaseDC(nullptr, dc);
    DeleteObject(dots);
    const std::uint32_t k = 0x000000, g = 0xC0C0C0, r = 0xFF0000;
    const std::uint32_t expected[18] = {k, k, k, k, k, k, k, g, g, k, r, r, k, g, g, k, r, r};
    for (int i = 0; i < 18; ++i) EXPECT_EQ(pixels[i] & 0xFFFFFF, expected[i]) << "pixel " << i;
}

}  // namespace
}  // namespace velkor
