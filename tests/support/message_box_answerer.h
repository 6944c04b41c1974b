// Answers message boxes that the code under test shows on the test's own thread: a helper thread
// watches for a "#32770" window with the given caption, notes what the box showed and presses a
// button through the box's window, as a user would.
#pragma once
#include <windows.h>
#include <string>

struct AnsweredBox {
    std::string text;  // the box's message text
    HWND owner;        // the window that owns the box
    int defaultButton; // the control id of the default button (IDYES, IDNO, ...), 0 if none
};

class MessageBoxAnswerer {
public:
    // Answers every box with this caption by pressing `button` (IDYES, IDNO, IDOK, ...).
    MessageBoxAnswerer(const char* caption, int button);
    ~MessageBoxAnswerer();

    // Boxes answered so far.
    int Count();
    // The last box answered.
    AnsweredBox Last();

private:
    static DWORD WINAPI Watch(LPVOID self);
    void AnswerOpenBoxes();

    std::string caption_;
    int button_;
    HANDLE stop_;
    HANDLE thread_;
    CRITICAL_SECTION lock_;
    int count_;
    AnsweredBox last_;
};
