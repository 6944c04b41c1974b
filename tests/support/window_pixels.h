// Reads what a window shows, pixel by pixel, for tests that run on a real display.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

struct WindowPixels
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // row by row from the top, as 0x00BBGGRR

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// The window's client area as it is drawn now (read through the window's device context).
WindowPixels CaptureClient(HWND window);
// Writes the capture as a 24-bit BMP file; false on failure.
bool SaveCaptureBmp(const WindowPixels& capture, const std::string& path);

// Handles every message waiting in the thread's queue. true if the quit message was among them.
bool PumpMessages();

// "RRGGBB" of a colour value, for readable failure messages.
std::string ColourText(COLORREF colour);
