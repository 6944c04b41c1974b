#include "support/window_pixels.h"

#include <stdio.h>

WindowPixels CaptureClient(HWND window)
{
    WindowPixels capture;
    RECT client;
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
        return capture;
    capture.width = client.right;
    capture.height = client.bottom;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(windowDc);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, capture.width, capture.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* rows = static_cast<const uint32_t*>(bits);
    capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
    for (size_t i = 0; i < capture.pixels.size(); ++i) {
        uint32_t bgr = rows[i];  // 0x00RRGGBB in a DIB
        capture.pixels[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(section);
    ReleaseDC(window, windowDc);
    return capture;
}

bool SaveCaptureBmp(const WindowPixels& capture, const std::string& path)
{
    int stride = (capture.width * 3 + 3) & ~3;
    std::vector<unsigned char> rows(static_cast<size_t>(stride) * capture.height);
    for (int y = 0; y < capture.height; ++y) {
        unsigned char* row = &rows[static_cast<size_t>(capture.height - 1 - y) * stride];
        for (int x = 0; x < capture.width; ++x) {
            COLORREF c = capture.At(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    info.biSize = sizeof info;
    info.biWidth = capture.width;
    info.biHeight = capture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    FILE* out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
              fwrite(rows.data(), 1, rows.size(), out) == rows.size();
    return fclose(out) == 0 && ok;
}

bool PumpMessages()
{
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return quit;
}

std::string ColourText(COLORREF colour)
{
    char text[16];
    snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}
