#include "ui/control_frames.h"

int FrameSeparators(HWND, int) { return 1; }
HWND ReplaceSeparator(HWND, HWND, int) { return nullptr; }
int RegisterSeparatorClass(void) { return 0; }
LRESULT CALLBACK SeparatorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
