// The borderless, centred, topmost picture shown for two seconds before an interactive uninstall.
// The picture is a BMP file kept scrambled among the program's custom resources.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/splash_key.h"

enum
{
    IDR_SPLASH_TYPE = 1000,
    IDR_SPLASH_DEEP = 1000,  // picture for displays with more than 16 colours
    IDR_SPLASH_LOW = 1001,   // picture for displays with at most 16 colours
    IDI_SPLASH = 1000,
    IDB_SPLASH_PREFERRED = 7500
};

// Results of LoadDibFile.
enum
{
    DIB_OK = 0,
    DIB_NO_MEMORY = -1,       // no memory, or the file cannot be read
    DIB_CANNOT_OPEN = -2,
    DIB_NOT_BMP = -8,         // not a BMP file, or an unsupported bit count
    DIB_COMPRESSED = -16
};

struct DibFileResult
{
    HBITMAP bitmap;
    HPALETTE palette;   // null when the picture needs none
    int32_t width;
    int32_t height;
};

// 1 when the window is shown, 0 on failure (the error box has been shown where a picture is missing).
int ShowSplash(HINSTANCE instance);
// Hides and destroys the window and deletes its bitmap and palette. Always 0.
int CloseSplash(void);
HBITMAP LoadSplashBitmap(HPALETTE* palette);
int IsLowColourDisplay(void);
int LoadDibFile(const char* path, DibFileResult* result);
int PaintSplash(HDC dc);
LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The splash window, or null when none is shown (for the program's own checks and tests).
HWND GetSplashWindow(void);

// The palette for showing an 8-bit picture on a 256-colour screen: entries 10 to 245 are the
// picture's colour-table entries 0 to 235, the first and last ten are the screen's system colours.
// 'info' is the picture's information header followed by its colour table (256 entries).
HPALETTE BuildSplashPalette(HDC screen, const BITMAPINFOHEADER* info);

// Name of the temporary file the picture is unpacked into, in the Windows directory.
const char SPLASH_TEMP_NAME[] = "_bmp23_.bm_";
