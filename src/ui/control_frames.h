// The etched (or flat) separator line that replaces a black-frame static control of id 1300
// in the progress dialog, drawn by a small window of class "CutClsName".
#pragma once

#include <windows.h>

// Replaces every qualifying separator among the dialog's children. Always 1.
int FrameSeparators(HWND dialog, int threeDimensional);
// The new separator window, or null when the control does not qualify or cannot be replaced.
HWND ReplaceSeparator(HWND control, HWND dialog, int threeDimensional);
// 1 when "CutClsName" is registered (now or before), 0 when registration fails.
int RegisterSeparatorClass(void);
LRESULT CALLBACK SeparatorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
