// Drives the program's windows the way a user would, for tests: finds a window by class and caption
// (in this or another process), reads what it says and presses its buttons by message.
#pragma once

#include <windows.h>

#include <string>

// The first visible top-level window of that class and caption belonging to the process (0: any process),
// waiting up to timeoutMs for it to appear; null if none came.
HWND WaitForWindow(const char* className, const char* caption, DWORD processId, DWORD timeoutMs);

// The text of a window or of a dialog's control (id), in this or another process.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);

// The text of a message box (its static text control).
std::string MessageBoxText(HWND box);
// Whether a message box shows an icon.
bool MessageBoxHasIcon(HWND box);

// Presses the button with that id the way a click does (the dialog gets its command).
void PressButton(HWND dialog, int id);

// Waits until the process ends; its exit code, or -1 if it did not end within timeoutMs (it is
// then terminated).
int WaitForExit(HANDLE process, DWORD timeoutMs);

// A message box expected to come up on this thread: a helper thread waits for it, remembers its
// text and presses the given button.
class BoxAnswerer {
public:
    BoxAnswerer(const char* caption, int button, DWORD timeoutMs = 10000);
    ~BoxAnswerer();
    // Waits for the helper; true if the box came and was answered.
    bool Finish();
    const std::string& text() const { return text_; }
    bool hadIcon() const { return hadIcon_; }

private:
    static DWORD WINAPI Run(void* self);

    std::string caption_;
    int button_;
    DWORD timeoutMs_;
    HANDLE thread_ = nullptr;
    bool answered_ = false;
    bool hadIcon_ = false;
    std::string text_;
};
