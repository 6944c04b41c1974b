// Separator replacement and painting, on a real display so the drawn rows can be read back.
#include "ui/control_frames.h"

#include "support/window_pixels.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const COLORREF ETCHED_LIGHT = RGB(255, 251, 255);

struct ControlCase
{
    const char* name;
    const char* className;
    DWORD style;
    int id;
    int height;
    bool replaced;
};

const ControlCase CONTROL_CASES[] = {
    {"black frame separator", "static", SS_BLACKFRAME, 1300, 2, true},
    {"35 pixels high", "static", SS_BLACKFRAME, 1300, 35, true},
    {"class named in capitals", "STATIC", SS_BLACKFRAME, 1300, 1, true},
    {"36 pixels high", "static", SS_BLACKFRAME, 1300, 36, false},
    {"grey frame", "static", SS_GRAYFRAME, 1300, 2, false},
    {"black rectangle", "static", SS_BLACKRECT, 1300, 2, false},
    {"plain text", "static", SS_LEFT, 1300, 2, false},
    {"other identifier", "static", SS_BLACKFRAME, 1301, 2, false},
    {"group box (style 7) of the button class", "button", BS_GROUPBOX, 1300, 2, false},
};

class SeparatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent_ = CreateWindowExA(0, "static", "separator host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                  100, 100, 400, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        ASSERT_EQ(RegisterSeparatorClass(), 1);
    }
    void TearDown() override
    {
        DestroyWindow(parent_);
        PumpMessages();
    }

    HWND AddControl(const char* className, DWORD style, int id, int x, int y, int width, int height)
    {
        return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                               nullptr);
    }

    int CountSeparators()
    {
        int count = 0;
        for (HWND child = GetWindow(parent_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char name[80] = "";
            GetClassNameA(child, name, sizeof name);
            count += lstrcmpA(name, "CutClsName") == 0;
        }
        return count;
    }

    // Row 'row' of the separator window as painted now.
    COLORREF PaintedRow(HWND separator, int row, int x = 5)
    {
        InvalidateRect(separator, nullptr, FALSE);
        UpdateWindow(separator);
        WindowPixels pixels = CaptureClient(parent_);
        RECT bounds;
        GetWindowRect(separator, &bounds);
        POINT corner = {bounds.left, bounds.top};
        ScreenToClient(parent_, &corner);
        return pixels.At(corner.x + x, corner.y + row);
    }

    HWND parent_ = nullptr;
};

TEST_F(SeparatorTest, ReplacesOnlyBlackFrameStaticsOfId1300AtMost35PixelsHigh)
{
    for (const ControlCase& c : CONTROL_CASES) {
        SCOPED_TRACE(c.name);
        HWND control = AddControl(c.className, c.style, c.id, 12, 30, 300, c.height);
        ASSERT_NE(control, nullptr);
        HWND separator = ReplaceSeparator(control, parent_, 1);
        EXPECT_EQ(separator != nullptr, c.replaced);
        EXPECT_EQ(IsWindowVisible(control) != 0, !c.replaced);
        EXPECT_EQ(IsWindowEnabled(control) != 0, !c.replaced);
        if (separator)
            DestroyWindow(separator);
        DestroyWindow(control);
    }
}

TEST_F(SeparatorTest, SeparatorWindowTakesTheControlsPlaceAndWidth)
{
    const int styles[] = {1, 0};
    for (int threeDimensional : styles) {
        SCOPED_TRACE(threeDimensional ? "three-dimensional" : "flat");
        HWND control = AddControl("static", SS_BLACKFRAME, 1300, 17, 140, 303, 1);
        HWND separator = ReplaceSeparator(control, parent_, threeDimensional);
        ASSERT_NE(separator, nullptr);

        char text[40] = "";
        char className[40] = "";
        GetWindowTextA(separator, text, sizeof text);
        GetClassNameA(separator, className, sizeof className);
        EXPECT_STREQ(text, "CutWinName");
        EXPECT_STREQ(className, "CutClsName");
        EXPECT_EQ(static_cast<short>(GetDlgCtrlID(separator)), -1);
        EXPECT_EQ(GetParent(separator), parent_);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(separator, GWL_STYLE)) & ~WS_CLIPSIBLINGS,
                  static_cast<DWORD>(WS_CHILD | WS_VISIBLE));

        RECT bounds;
        GetWindowRect(separator, &bounds);
        POINT corner = {bounds.left, bounds.top};
        ScreenToClient(parent_, &corner);
        EXPECT_EQ(corner.x, 17);
        EXPECT_EQ(corner.y, 140);
        EXPECT_EQ(bounds.right - bounds.left, 303);
        EXPECT_EQ(bounds.bottom - bounds.top, threeDimensional ? 2 : 1);
        DestroyWindow(separator);
        DestroyWindow(control);
    }
}

TEST_F(SeparatorTest, FrameSeparatorsReplacesTheSeparatorAmongOtherChildren)
{
    AddControl("static", SS_LEFT, 700, 10, 10, 100, 20);
    HWND control = AddControl("static", SS_BLACKFRAME, 1300, 10, 150, 300, 1);
    AddControl("button", BS_PUSHBUTTON, 1, 300, 160, 60, 20);
    EXPECT_EQ(FrameSeparators(parent_, 1), 1);
    EXPECT_EQ(CountSeparators(), 1);
    EXPECT_FALSE(IsWindowVisible(control));
}

TEST_F(SeparatorTest, DialogWithoutSeparatorGetsNone)
{
    AddControl("static", SS_LEFT, 700, 10, 10, 100, 20);
    AddControl("static", SS_BLACKFRAME, 1299, 10, 150, 300, 1);
    EXPECT_EQ(FrameSeparators(parent_, 1), 1);
    EXPECT_EQ(CountSeparators(), 0);
}

TEST_F(SeparatorTest, EtchedStylePaintsShadowRowOverLightRow)
{
    HWND separator = ReplaceSeparator(AddControl("static", SS_BLACKFRAME, 1300, 10, 150, 300, 1), parent_, 1);
    ASSERT_NE(separator, nullptr);
    for (int x : {0, 150, 299}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(ColourText(PaintedRow(separator, 0, x)), ColourText(GetSysColor(COLOR_BTNSHADOW)));
        EXPECT_EQ(ColourText(PaintedRow(separator, 1, x)), ColourText(ETCHED_LIGHT));
    }
}

TEST_F(SeparatorTest, FlatStylePaintsOneBlackRow)
{
    HWND separator = ReplaceSeparator(AddControl("static", SS_BLACKFRAME, 1300, 10, 150, 300, 1), parent_, 0);
    ASSERT_NE(separator, nullptr);
    EXPECT_EQ(ColourText(PaintedRow(separator, 0, 0)), "000000");
    EXPECT_EQ(ColourText(PaintedRow(separator, 0, 299)), "000000");
}

TEST_F(SeparatorTest, EverySeparatorPaintsInTheStyleOfTheLatestReplacement)
{
    HWND etched = ReplaceSeparator(AddControl("static", SS_BLACKFRAME, 1300, 10, 100, 300, 1), parent_, 1);
    HWND flat = ReplaceSeparator(AddControl("static", SS_BLACKFRAME, 1300, 10, 150, 300, 1), parent_, 0);
    ASSERT_NE(etched, nullptr);
    ASSERT_NE(flat, nullptr);
    // The first one is still two pixels high, but now draws only the black row.
    EXPECT_EQ(ColourText(PaintedRow(etched, 0)), "000000");
    EXPECT_NE(ColourText(PaintedRow(etched, 1)), ColourText(ETCHED_LIGHT));
    EXPECT_EQ(ColourText(PaintedRow(flat, 0)), "000000");
}

TEST_F(SeparatorTest, ShadowRowFollowsTheColourSchemeButTheLightRowDoesNot)
{
    HWND separator = ReplaceSeparator(AddControl("static", SS_BLACKFRAME, 1300, 10, 150, 300, 1), parent_, 1);
    ASSERT_NE(separator, nullptr);
    int element = COLOR_BTNSHADOW;
    COLORREF original = GetSysColor(COLOR_BTNSHADOW);
    COLORREF changed = RGB(0, 96, 160);
    ASSERT_TRUE(SetSysColors(1, &element, &changed));
    COLORREF shadow = PaintedRow(separator, 0);
    COLORREF light = PaintedRow(separator, 1);
    SetSysColors(1, &element, &original);
    EXPECT_EQ(ColourText(shadow), ColourText(changed));
    EXPECT_EQ(ColourText(light), ColourText(ETCHED_LIGHT));
}

TEST(SeparatorArguments, MissingWindowsAreLeftAlone)
{
    EXPECT_EQ(ReplaceSeparator(nullptr, nullptr, 1), nullptr);
    HWND host = CreateWindowExA(0, "static", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 0, 0, 40, 1, host,
                                   reinterpret_cast<HMENU>(1300), nullptr, nullptr);
    EXPECT_EQ(ReplaceSeparator(control, nullptr, 1), nullptr);
    EXPECT_TRUE(IsWindowVisible(control) || !IsWindowVisible(host));
    EXPECT_EQ(RegisterSeparatorClass(), 1);  // registered once, answers 1 again
    DestroyWindow(host);
}

} // namespace
