// Separator lines of the progress dialog. A black-frame static control of id 1300 is replaced by a
// small "CutClsName" window that draws either one black row (flat look) or a shadow row over a
// light row (etched, three-dimensional look).
#include "ui/control_frames.h"

namespace {

const char SEPARATOR_CLASS[] = "CutClsName";
const char SEPARATOR_TEXT[] = "CutWinName";
const int SEPARATOR_CONTROL_ID = 1300;
const int MAX_SEPARATOR_HEIGHT = 35;
// Not pure white: the light row of the etched line.
const COLORREF ETCHED_LIGHT = RGB(255, 251, 255);

bool g_classRegistered = false;
// Every separator paints in the style of the most recent replacement.
int g_threeDimensional = 0;

void DrawRow(HDC dc, int row, int width, COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, 0, row, nullptr);
    LineTo(dc, width, row);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void PaintSeparator(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (g_threeDimensional) {
        DrawRow(dc, 0, client.right, GetSysColor(COLOR_BTNSHADOW));
        DrawRow(dc, 1, client.right, ETCHED_LIGHT);
    } else {
        DrawRow(dc, 0, client.right, RGB(0, 0, 0));
    }
    EndPaint(window, &paint);
}

bool IsBlackFrameSeparator(HWND control)
{
    if (static_cast<short>(GetDlgCtrlID(control)) != SEPARATOR_CONTROL_ID)
        return false;
    RECT bounds;
    if (!GetWindowRect(control, &bounds) || bounds.bottom - bounds.top > MAX_SEPARATOR_HEIGHT)
        return false;
    char className[80];
    if (!GetClassNameA(control, className, sizeof className) || lstrcmpiA(className, "static") != 0)
        return false;
    return (GetWindowLongA(control, GWL_STYLE) & 0xF) == SS_BLACKFRAME;
}

} // namespace

int RegisterSeparatorClass(void)
{
    if (g_classRegistered)
        return 1;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA known;
    if (GetClassInfoA(instance, SEPARATOR_CLASS, &known)) {
        g_classRegistered = true;
        return 1;
    }
    WNDCLASSA separatorClass = {};
    separatorClass.style = CS_HREDRAW | CS_VREDRAW;
    separatorClass.lpfnWndProc = SeparatorWndProc;
    separatorClass.cbWndExtra = 4;
    separatorClass.hInstance = instance;
    separatorClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    separatorClass.lpszClassName = SEPARATOR_CLASS;
    if (!RegisterClassA(&separatorClass))
        return 0;
    g_classRegistered = true;
    return 1;
}

HWND ReplaceSeparator(HWND control, HWND dialog, int threeDimensional)
{
    RegisterSeparatorClass();
    int height = threeDimensional ? 2 : 1;
    if (!IsWindow(control) || !IsWindow(dialog))
        return nullptr;
    if (!IsBlackFrameSeparator(control))
        return nullptr;
    g_threeDimensional = threeDimensional ? 1 : 0;

    RECT bounds;
    GetWindowRect(control, &bounds);
    POINT topLeft = {bounds.left, bounds.top};
    ScreenToClient(dialog, &topLeft);
    HWND separator = CreateWindowExA(0, SEPARATOR_CLASS, SEPARATOR_TEXT, WS_CHILD | WS_VISIBLE,
                                     topLeft.x, topLeft.y, bounds.right - bounds.left, height, dialog,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                                     GetModuleHandleA(nullptr), nullptr);
    if (separator) {
        ShowWindow(control, SW_HIDE);
        EnableWindow(control, FALSE);
        ShowWindow(separator, SW_SHOW);
    }
    return separator;
}

int FrameSeparators(HWND dialog, int threeDimensional)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child && IsWindow(child);
         child = GetWindow(child, GW_HWNDNEXT))
        ReplaceSeparator(child, dialog, threeDimensional);
    return 1;
}

LRESULT CALLBACK SeparatorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PaintSeparator(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
