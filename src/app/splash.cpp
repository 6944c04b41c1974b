#include "app/splash.h"

int ShowSplash(HINSTANCE) { return 0; }
int CloseSplash(void) { return 0; }
HBITMAP LoadSplashBitmap(HPALETTE* palette)
{
    if (palette)
        *palette = nullptr;
    return nullptr;
}
int IsLowColourDisplay(void) { return 0; }
int LoadDibFile(const char*, DibFileResult*) { return DIB_CANNOT_OPEN; }
int PaintSplash(HDC) { return 0; }
LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
HWND GetSplashWindow(void) { return nullptr; }
