// The progress dialog, created from the program's own resources and read back pixel by pixel on a
// real display.
#include "ui/progress_dialog.h"

#include "app/platform.h"
#include "core/pool.h"
#include "support/window_pixels.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

const COLORREF PICTURE_FIELD = RGB(0, 128, 128);
const COLORREF CELL = RGB(0, 0, 128);
const COLORREF ETCHED_LIGHT = RGB(255, 251, 255);
const char HEADING_START[] = "unTamarack will remove the software '";
const char HEADING_END[] =
    "' from your computer.  Please wait while each of the following components is removed...";

// Black pixels of the check mark, by row.
const char* const CHECK_MARK_ROWS[10] = {
    "..........", "........##", ".......##.", "..#...##..", ".##..##...",
    ".##.##....", ".####.....", ".###......", ".##.......", "..........",
};

std::string Heading(const std::string& name)
{
    return HEADING_START + name + HEADING_END;
}

// ------------------------------------------------------------------ the dialog template

struct TemplateReader
{
    const unsigned char* p;

    WORD Word() { WORD w; memcpy(&w, p, 2); p += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, p, 4); p += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    // A string or an ordinal ("#n").
    std::string Name()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD c = first; c != 0; c = Word())
            text += static_cast<char>(c);
        return text;
    }
    void AlignDword(const unsigned char* base) { p += (4 - (p - base) % 4) % 4; }
};

struct TemplateItem
{
    int id;
    std::string className;
    std::string text;
    DWORD style;
    int x, y, cx, cy;
};

// Classes named by ordinal in a template: 0x80 button, 0x82 static.
std::string ClassOf(const std::string& name)
{
    if (name == "#128")
        return "button";
    if (name == "#130")
        return "static";
    std::string lower = name;
    for (char& c : lower)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return lower;
}

const DWORD CHILD = WS_CHILD | WS_VISIBLE;
const DWORD LABEL = CHILD | WS_GROUP | SS_LEFT;
const DWORD PLACEHOLDER = CHILD | WS_GROUP | SS_SIMPLE;

const TemplateItem EXPECTED_ITEMS[] = {
    {1, "button", "OK", CHILD | WS_DISABLED | WS_TABSTOP | BS_DEFPUSHBUTTON, 263, 201, 50, 14},
    {1300, "static", "", CHILD | SS_BLACKFRAME, 10, 196, 303, 1},
    {712, "static", "", PLACEHOLDER, 10, 12, 95, 166},
    {700, "static",
     "(DO NOT CHANGE-SHARED WINDOWS UNINSTALL MESSAGE)unTamarack will remove the software '%s' from your "
     "computer.  Please wait while each of the following components is removed...",
     LABEL, 121, 14, 180, 26},
    {-1, "static", "Shared program files...", LABEL, 150, 48, 133, 8},
    {-1, "static", "Standard program files...", LABEL, 150, 63, 133, 8},
    {-1, "static", "Folder items...", LABEL, 150, 78, 133, 8},
    {-1, "static", "Program folders...", LABEL, 150, 92, 133, 8},
    {-1, "static", "Program directories...", LABEL, 150, 106, 133, 8},
    {-1, "static", "Program registry entries...", LABEL, 150, 121, 133, 8},
    {701, "static", "Message", LABEL, 132, 161, 173, 31},
    {711, "static", "", PLACEHOLDER, 132, 142, 173, 12},
    {721, "static", "", PLACEHOLDER, 133, 47, 10, 10},
    {722, "static", "", PLACEHOLDER, 133, 62, 10, 10},
    {723, "static", "", PLACEHOLDER, 133, 77, 10, 10},
    {724, "static", "", PLACEHOLDER, 133, 91, 10, 10},
    {725, "static", "", PLACEHOLDER, 133, 105, 10, 10},
    {726, "static", "", PLACEHOLDER, 133, 120, 10, 10},
};

TEST(ProgressTemplate, Dialog1001HasTheControlsInOrderWithTheirPlacesStylesAndTexts)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(1001), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(resource, nullptr);
    const unsigned char* base = static_cast<const unsigned char*>(LockResource(LoadResource(instance, resource)));
    TemplateReader reader = {base};

    DWORD style = reader.Dword();
    EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(reader.Dword(), 0u);
    WORD count = reader.Word();
    short x = reader.Short(), y = reader.Short(), cx = reader.Short(), cy = reader.Short();
    EXPECT_EQ(x, 9);
    EXPECT_EQ(y, 22);
    EXPECT_EQ(cx, 320);
    EXPECT_EQ(cy, 218);
    EXPECT_EQ(reader.Name(), "");  // no menu
    EXPECT_EQ(reader.Name(), "");  // the standard dialog class
    EXPECT_EQ(reader.Name(), "Remove Programs From Your Computer");
    EXPECT_EQ(reader.Word(), 8);
    EXPECT_EQ(reader.Name(), "MS Sans Serif");

    ASSERT_EQ(count, sizeof EXPECTED_ITEMS / sizeof EXPECTED_ITEMS[0]);
    for (const TemplateItem& expected : EXPECTED_ITEMS) {
        SCOPED_TRACE(expected.text.empty() ? std::to_string(expected.id) : expected.text);
        reader.AlignDword(base);
        TemplateItem item;
        item.style = reader.Dword();
        EXPECT_EQ(reader.Dword(), 0u);
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = reader.Short();
        item.className = ClassOf(reader.Name());
        item.text = reader.Name();
        WORD extra = reader.Word();
        reader.p += extra;
        EXPECT_EQ(item.id, expected.id);
        EXPECT_EQ(item.className, expected.className);
        EXPECT_EQ(item.text, expected.text);
        EXPECT_EQ(item.style, expected.style);
        EXPECT_EQ(item.x, expected.x);
        EXPECT_EQ(item.y, expected.y);
        EXPECT_EQ(item.cx, expected.cx);
        EXPECT_EQ(item.cy, expected.cy);
    }
}

// Pixels of a bitmap resource, top row first.
WindowPixels BitmapResourcePixels(int id)
{
    WindowPixels result;
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    BITMAP size = {};
    GetObjectA(bitmap, sizeof size, &size);
    result.width = size.bmWidth;
    result.height = size.bmHeight;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> bits(static_cast<size_t>(size.bmWidth) * size.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, size.bmHeight, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    for (DWORD b : bits)
        result.pixels.push_back(RGB((b >> 16) & 0xFF, (b >> 8) & 0xFF, b & 0xFF));
    return result;
}

TEST(ProgressBitmaps, CheckMarkIsDrawnPixelForPixel)
{
    WindowPixels mark = BitmapResourcePixels(IDB_PROGRESS_TICK);
    ASSERT_EQ(mark.width, 10);
    ASSERT_EQ(mark.height, 10);
    for (int row = 0; row < 10; ++row)
        for (int column = 0; column < 10; ++column) {
            SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
            bool black = CHECK_MARK_ROWS[row][column] == '#';
            EXPECT_EQ(ColourText(mark.At(column, row)), black ? "000000" : "C0C0C0");
        }
}

TEST(ProgressBitmaps, PictureIsA141By268SixteenColourPictureOnTheTealField)
{
    HRSRC resource = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_PROGRESS_PICTURE),
                                   MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    ASSERT_NE(resource, nullptr);
    const BITMAPINFOHEADER* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(GetModuleHandleA(nullptr), resource)));
    EXPECT_EQ(info->biWidth, 141);
    EXPECT_EQ(info->biHeight, 268);
    EXPECT_EQ(info->biBitCount, 4);
    WindowPixels picture = BitmapResourcePixels(IDB_PROGRESS_PICTURE);
    EXPECT_EQ(ColourText(picture.At(0, 0)), ColourText(PICTURE_FIELD));
    EXPECT_EQ(ColourText(picture.At(140, 267)), ColourText(PICTURE_FIELD));
}

// ------------------------------------------------------------------ the running dialog

class ProgressDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedPlatform_ = gPlatform;
        gPlatform.windows95 = 1;  // the three-dimensional look
    }
    void TearDown() override
    {
        ProgressDestroy(progress_);
        PumpMessages();
        gPlatform = savedPlatform_;
    }

    void Create(const char* name = "Sample Application", bool show = true)
    {
        progress_ = ProgressCreate(GetModuleHandleA(nullptr), name);
        ASSERT_NE(progress_, nullptr);
        window_ = ProgressGetWindow(progress_);
        ASSERT_NE(window_, nullptr);
        if (show) {
            ShowWindow(window_, SW_SHOWNORMAL);
            UpdateWindow(window_);
            ProgressShow(progress_);
        }
    }

    RECT ControlRect(int id)
    {
        RECT bounds = {};
        GetWindowRect(GetDlgItem(window_, id), &bounds);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&bounds), 2);
        return bounds;
    }

    std::string ControlText(int id)
    {
        char text[512] = "";
        GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }

    // The rectangle in which the cells are drawn.
    RECT CellArea()
    {
        RECT bar = ControlRect(IDC_PROGRESS_BAR);
        InflateRect(&bar, -4, -4);
        return bar;
    }

    int CountFilledCells(const WindowPixels& pixels)
    {
        RECT area = CellArea();
        int filled = 0;
        for (int i = 0; i < progress_->cellCount; ++i) {
            int x = area.left + i * progress_->cellWidth + (progress_->cellWidth - 2) / 2;
            if (pixels.Contains(x, area.top + 1) && pixels.At(x, area.top + 1) == CELL)
                ++filled;
        }
        return filled;
    }

    bool MarkShown(const WindowPixels& pixels, int mark)
    {
        RECT place = ControlRect(IDC_PROGRESS_FIRST_MARK + mark);
        int left = place.left + (place.right - place.left - 10) / 2;
        int top = place.top + (place.bottom - place.top - 10) / 2;
        COLORREF face = GetSysColor(COLOR_BTNFACE);
        for (int row = 0; row < 10; ++row)
            for (int column = 0; column < 10; ++column) {
                COLORREF expected = CHECK_MARK_ROWS[row][column] == '#' ? RGB(0, 0, 0) : face;
                if (pixels.At(left + column, top + row) != expected)
                    return false;
            }
        return true;
    }

    bool AreaIsPlain(const WindowPixels& pixels, RECT area, COLORREF colour)
    {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (pixels.At(x, y) != colour)
                    return false;
        return true;
    }

    PlatformInfo savedPlatform_ = {};
    ProgressWindow* progress_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(ProgressDialogTest, IsCreatedHiddenAndCentredWithItsCaption)
{
    Create("Sample Application", false);
    EXPECT_FALSE(IsWindowVisible(window_));
    char caption[80] = "";
    GetWindowTextA(window_, caption, sizeof caption);
    EXPECT_STREQ(caption, "Remove Programs From Your Computer");
    RECT bounds;
    GetWindowRect(window_, &bounds);
    EXPECT_EQ(bounds.left, (GetSystemMetrics(SM_CXSCREEN) - (bounds.right - bounds.left)) / 2);
    EXPECT_EQ(bounds.top, (GetSystemMetrics(SM_CYSCREEN) - (bounds.bottom - bounds.top)) / 2);
    EXPECT_EQ(progress_->total, 0);
    EXPECT_EQ(progress_->current, 0);
    for (int mark = 0; mark < PROGRESS_MARK_COUNT; ++mark)
        EXPECT_EQ(progress_->ticked[mark], 0);
    EXPECT_NE(progress_->pictureBitmap, nullptr);
    EXPECT_NE(progress_->tickBitmap, nullptr);
}

struct HeadingCase
{
    const char* name;
    const char* displayName;
    std::string expected;
};

TEST_F(ProgressDialogTest, HeadingNamesTheApplicationAsPlainText)
{
    const HeadingCase cases[] = {
        {"plain name", "Sample Application", Heading("Sample Application")},
        {"percent signs are text", "100% %s %d %% Tools", Heading("100% %s %d %% Tools")},
        {"empty name", "", Heading("")},
        {"no name", nullptr, Heading("")},
    };
    for (const HeadingCase& c : cases) {
        SCOPED_TRACE(c.name);
        Create(c.displayName, false);
        EXPECT_EQ(ControlText(IDC_PROGRESS_HEADING), c.expected);
        ProgressDestroy(progress_);
        progress_ = nullptr;
    }
}

TEST_F(ProgressDialogTest, LongNameIsShortenedSoTheSentenceStaysWhole)
{
    std::string name(99, 'n');
    Create((name + "tail beyond the ninety-ninth character").c_str(), false);
    EXPECT_EQ(std::string(progress_->displayName), name);
    std::string heading = ControlText(IDC_PROGRESS_HEADING);
    EXPECT_LE(heading.size(), 199u);
    EXPECT_EQ(heading.substr(0, strlen(HEADING_START)), HEADING_START);
    EXPECT_EQ(heading.substr(heading.size() - strlen(HEADING_END)), HEADING_END);
    EXPECT_NE(heading.find("nnn...'"), std::string::npos);
}

TEST_F(ProgressDialogTest, MessageLineTakesTheText)
{
    Create();
    ProgressSet(progress_, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>(""));
    EXPECT_EQ(ControlText(IDC_PROGRESS_MESSAGE), "");
    ProgressSet(progress_, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>("Uninstall successfully completed."));
    EXPECT_EQ(ControlText(IDC_PROGRESS_MESSAGE), "Uninstall successfully completed.");
    EXPECT_EQ(ProgressSet(progress_, 99, 5), 0);  // unknown kinds do nothing
}

TEST_F(ProgressDialogTest, BarGeometryComesFromItsPlaceholder)
{
    Create();
    RECT bar = ControlRect(IDC_PROGRESS_BAR);
    InflateRect(&bar, -2, -2);
    EXPECT_EQ(progress_->cellWidth, bar.bottom - bar.top - 1);
    EXPECT_EQ(progress_->cellCount, (bar.right - bar.left) / progress_->cellWidth);
    EXPECT_GT(progress_->cellCount, 5);
}

TEST_F(ProgressDialogTest, WithoutATotalStepsChangeNothingAndTheBarStaysEmpty)
{
    Create();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ProgressStep(progress_), 0);
    EXPECT_EQ(progress_->current, 0);
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    RECT bar = ControlRect(IDC_PROGRESS_BAR);
    InflateRect(&bar, 1, 1);  // the frame's highlight reaches one row below its rectangle
    EXPECT_TRUE(AreaIsPlain(CaptureClient(window_), bar, GetSysColor(COLOR_BTNFACE)));
}

TEST_F(ProgressDialogTest, CellsAreAddedExactlyWhenTheirShareIsReached)
{
    Create();
    const int totals[] = {progress_->cellCount * 3, progress_->cellCount - 3, 7, 1};
    for (int total : totals) {
        SCOPED_TRACE(testing::Message() << "total " << total);
        progress_->current = 0;
        InvalidateRect(window_, nullptr, TRUE);
        ProgressSet(progress_, PROGRESS_TOTAL, total);
        UpdateWindow(window_);
        EXPECT_EQ(CountFilledCells(CaptureClient(window_)), 0);
        for (int step = 1; step <= total + 2; ++step) {
            ProgressStep(progress_);
            int done = step < total ? step : total;
            ASSERT_EQ(progress_->current, done);
            ASSERT_EQ(CountFilledCells(CaptureClient(window_)), done * progress_->cellCount / total)
                << "after step " << step;
        }
    }
}

TEST_F(ProgressDialogTest, CellsAreDarkBlueWithTwoPixelGaps)
{
    Create();
    ProgressSet(progress_, PROGRESS_TOTAL, 2);
    ProgressStep(progress_);
    ProgressStep(progress_);
    WindowPixels pixels = CaptureClient(window_);
    RECT area = CellArea();
    int width = progress_->cellWidth;
    for (int i = 0; i < progress_->cellCount; ++i) {
        SCOPED_TRACE(testing::Message() << "cell " << i);
        int x = area.left + i * width;
        EXPECT_EQ(ColourText(pixels.At(x, area.top)), ColourText(CELL));
        EXPECT_EQ(ColourText(pixels.At(x + width - 3, area.bottom - 1)), ColourText(CELL));
        EXPECT_NE(ColourText(pixels.At(x + width - 2, area.top)), ColourText(CELL));
        EXPECT_NE(ColourText(pixels.At(x, area.bottom)), ColourText(CELL));
    }
}

TEST_F(ProgressDialogTest, MarkTickedOutOfOrderShowsAloneAndSurvivesRepainting)
{
    Create();
    ProgressSet(progress_, PROGRESS_TICK, 3);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "drawn at once" : "after repainting");
        WindowPixels pixels = CaptureClient(window_);
        for (int mark = 0; mark < PROGRESS_MARK_COUNT; ++mark)
            EXPECT_EQ(MarkShown(pixels, mark), mark == 3) << "mark " << mark;
        InvalidateRect(window_, nullptr, TRUE);
        UpdateWindow(window_);
    }
    ProgressSet(progress_, PROGRESS_TICK, 6);  // not a mark: ignored
    ProgressSet(progress_, PROGRESS_TICK, -1);
    EXPECT_EQ(progress_->ticked[3], 1);
}

TEST_F(ProgressDialogTest, OnlyAClickOfTheEnabledOkEndsTheProgram)
{
    Create();
    HWND ok = GetDlgItem(window_, IDOK);
    EXPECT_FALSE(IsWindowEnabled(ok));

    // Before the end: OK (also through the Enter key), Escape, the close box and other commands do nothing.
    SendMessageA(window_, WM_COMMAND, IDOK, 0);
    SendMessageA(window_, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(700, 0), 0);
    SendMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    for (WPARAM key : {static_cast<WPARAM>(VK_ESCAPE), static_cast<WPARAM>(VK_RETURN)}) {
        MSG message = {window_, WM_KEYDOWN, key, 0, 0, {0, 0}};
        IsDialogMessageA(window_, &message);
    }
    EXPECT_FALSE(PumpMessages());
    EXPECT_TRUE(IsWindow(window_));

    EXPECT_EQ(ProgressFinish(progress_), 0);
    EXPECT_TRUE(IsWindowEnabled(ok));
    EXPECT_EQ(GetFocus(), ok);
    SendMessageA(window_, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(PumpMessages());
    SendMessageA(ok, BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpMessages());
}

TEST_F(ProgressDialogTest, FinishedDialogShowsMarksCellsPictureAndEtchedSeparator)
{
    Create();
    const int total = 42;
    ProgressSet(progress_, PROGRESS_TOTAL, total);
    for (int step = 1; step <= total; ++step) {
        ProgressStep(progress_);
        if (step % 7 == 0)
            ProgressSet(progress_, PROGRESS_TICK, step / 7 - 1);
    }
    ProgressFinish(progress_);
    ProgressSet(progress_, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>("Uninstall successfully completed."));
    UpdateWindow(window_);
    WindowPixels pixels = CaptureClient(window_);
    SaveCaptureBmp(pixels, "progress_finished.bmp");

    for (int mark = 0; mark < PROGRESS_MARK_COUNT; ++mark)
        EXPECT_TRUE(MarkShown(pixels, mark)) << "mark " << mark;
    EXPECT_EQ(CountFilledCells(pixels), progress_->cellCount);

    // The picture: its own pixels in the middle of its placeholder, the teal field around it,
    // and the sunken frame on its edges.
    RECT place = ControlRect(IDC_PROGRESS_PICTURE);
    int width = place.right - place.left;
    int height = place.bottom - place.top;
    WindowPixels picture = BitmapResourcePixels(IDB_PROGRESS_PICTURE);
    int left = place.left + (width - picture.width) / 2;
    int top = place.top + (height - picture.height) / 2;
    int mismatches = 0;
    for (int y = 1; y < height - 1; ++y)
        for (int x = 1; x < width - 1; ++x) {
            int px = place.left + x - left;
            int py = place.top + y - top;
            COLORREF expected = picture.Contains(px, py) ? picture.At(px, py) : PICTURE_FIELD;
            mismatches += pixels.At(place.left + x, place.top + y) != expected;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(ColourText(pixels.At(place.left + 5, place.top + 5)), ColourText(PICTURE_FIELD));
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ(ColourText(pixels.At(place.left, place.top)), ColourText(shadow));
    EXPECT_EQ(ColourText(pixels.At(place.right - 2, place.top)), ColourText(shadow));
    EXPECT_EQ(ColourText(pixels.At(place.left, place.bottom - 2)), ColourText(shadow));
    EXPECT_EQ(ColourText(pixels.At(place.left + 1, place.bottom - 1)), "FFFFFF");
    EXPECT_EQ(ColourText(pixels.At(place.right - 1, place.top + 1)), "FFFFFF");

    // The separator above OK: the shadow row, then the light row.
    RECT line = ControlRect(IDC_PROGRESS_SEPARATOR);
    for (int x = line.left; x < line.right; x += 50) {
        EXPECT_EQ(ColourText(pixels.At(x, line.top)), ColourText(shadow));
        EXPECT_EQ(ColourText(pixels.At(x, line.top + 1)), ColourText(ETCHED_LIGHT));
    }
}

TEST_F(ProgressDialogTest, FlatLookDrawsOneBlackSeparatorRow)
{
    gPlatform.windows95 = 0;
    gPlatform.explorerShell = 0;
    Create();
    RECT line = ControlRect(IDC_PROGRESS_SEPARATOR);
    WindowPixels pixels = CaptureClient(window_);
    EXPECT_EQ(ColourText(pixels.At(line.left + 10, line.top)), "000000");
    EXPECT_NE(ColourText(pixels.At(line.left + 10, line.top + 1)), ColourText(ETCHED_LIGHT));
}

TEST_F(ProgressDialogTest, DestroyingTheDialogReleasesItsPool)
{
    Create();
    MemoryPool pool = progress_->pool;
    EXPECT_GE(PoolSegmentCount(pool), 0);
    EXPECT_EQ(ProgressDestroy(progress_), 0);
    progress_ = nullptr;
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(PoolSegmentCount(pool), -1);
}

TEST(ProgressNullRecord, EveryOperationAnswersItsFailureValue)
{
    EXPECT_EQ(ProgressDestroy(nullptr), -1);
    EXPECT_EQ(ProgressGetWindow(nullptr), nullptr);
    EXPECT_EQ(ProgressSet(nullptr, PROGRESS_TOTAL, 5), 0);
    EXPECT_EQ(ProgressStep(nullptr), -1);
    EXPECT_EQ(ProgressShow(nullptr), -1);
    EXPECT_EQ(ProgressFinish(nullptr), -1);
}

TEST(ProgressCreation, FailsWithoutTheDialogTemplateAndReleasesItsPool)
{
    // kernel32 has no dialog 1001.
    ProgressWindow* progress = ProgressCreate(GetModuleHandleA("kernel32.dll"), "x");
    EXPECT_EQ(progress, nullptr);
    MemoryPool probe = PoolCreate(100, POOL_STANDARD);
    EXPECT_NE(probe, POOL_NONE);
    PoolDestroy(probe);
}

// ------------------------------------------------------------------ drawing helpers

class MemoryCanvas
{
public:
    MemoryCanvas(int width, int height, COLORREF fill) : width_(width), height_(height)
    {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        previous_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~MemoryCanvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

TEST(SunkenFrame, ShadowUpTheLeftAndAlongTheTopHighlightBelowAndAtTheRight)
{
    struct FaceCase
    {
        const char* name;
        COLORREF face;
        bool whiteHighlight;
    };
    const FaceCase cases[] = {{"grey face", RGB(192, 192, 192), true}, {"white face", RGB(255, 255, 255), false}};
    int element = COLOR_BTNFACE;
    COLORREF original = GetSysColor(COLOR_BTNFACE);
    COLORREF background = RGB(10, 20, 30);
    for (const FaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetSysColors(1, &element, &c.face));
        MemoryCanvas canvas(40, 30, background);
        RECT frame = {5, 5, 25, 15};
        DrawSunkenFrame(canvas.Dc(), &frame);
        std::string shadow = ColourText(GetSysColor(COLOR_BTNSHADOW));
        std::string highlight = c.whiteHighlight ? "FFFFFF" : shadow;
        std::string none = ColourText(background);
        EXPECT_EQ(ColourText(canvas.At(5, 15)), shadow);      // from (l, b)
        EXPECT_EQ(ColourText(canvas.At(5, 6)), shadow);
        EXPECT_EQ(ColourText(canvas.At(5, 5)), shadow);       // along the top
        EXPECT_EQ(ColourText(canvas.At(24, 5)), shadow);
        EXPECT_EQ(ColourText(canvas.At(25, 5)), none);        // end point excluded
        EXPECT_EQ(ColourText(canvas.At(6, 16)), highlight);   // from (l + 1, b + 1)
        EXPECT_EQ(ColourText(canvas.At(23, 16)), highlight);
        EXPECT_EQ(ColourText(canvas.At(24, 16)), highlight);  // up the right at r - 1
        EXPECT_EQ(ColourText(canvas.At(24, 6)), highlight);
        EXPECT_EQ(ColourText(canvas.At(5, 16)), none);
        EXPECT_EQ(ColourText(canvas.At(15, 10)), none);       // the inside is untouched
    }
    SetSysColors(1, &element, &original);
}

TEST(TransparentBitmap, KeyColouredPixelsShowTheBackground)
{
    const COLORREF key = RGB(192, 192, 192);
    const COLORREF target = RGB(0, 128, 128);
    MemoryCanvas canvas(20, 20, target);
    MemoryCanvas source(4, 3, key);
    SetPixel(source.Dc(), 1, 1, RGB(255, 0, 0));
    SetPixel(source.Dc(), 3, 2, RGB(0, 0, 0));
    SetPixel(source.Dc(), 0, 0, RGB(193, 192, 192));  // near the key is not the key

    HBITMAP sourceBitmap = static_cast<HBITMAP>(GetCurrentObject(source.Dc(), OBJ_BITMAP));
    RECT rect = {2, 2, 6, 5};
    HBITMAP background = nullptr;
    HDC scratch = CreateCompatibleDC(canvas.Dc());
    HBITMAP detached = CreateCompatibleBitmap(canvas.Dc(), 4, 3);
    HGDIOBJ old = SelectObject(source.Dc(), detached);  // the source must not stay selected elsewhere
    HBITMAP result = MakeTransparentBitmap(canvas.Dc(), &rect, sourceBitmap, key, &background);
    ASSERT_NE(result, nullptr);
    ASSERT_NE(background, nullptr);
    SelectObject(scratch, result);
    EXPECT_EQ(ColourText(GetPixel(scratch, 1, 1)), "FF0000");
    EXPECT_EQ(ColourText(GetPixel(scratch, 3, 2)), "000000");
    EXPECT_EQ(ColourText(GetPixel(scratch, 0, 0)), "C1C0C0");
    EXPECT_EQ(ColourText(GetPixel(scratch, 2, 0)), ColourText(target));
    EXPECT_EQ(ColourText(GetPixel(scratch, 0, 2)), ColourText(target));
    SelectObject(source.Dc(), old);
    DeleteDC(scratch);
    DeleteObject(result);
    DeleteObject(background);
    DeleteObject(detached);
}

} // namespace
