#include "support/window_driver.h"

namespace {

struct WindowSearch {
    const char* className;
    const char* caption;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    // A window is shown once it is set up (a dialog after its initialisation).
    if (!IsWindowVisible(window))
        return TRUE;
    char className[256];
    if (!GetClassNameA(window, className, sizeof className) ||
        lstrcmpA(className, search->className) != 0)
        return TRUE;
    if (search->caption && WindowText(window) != search->caption)
        return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (search->processId && processId != search->processId)
        return TRUE;
    search->found = window;
    return FALSE;
}

// Static control id of a message box's text.
const int kMessageBoxTextId = 0xFFFF;

BOOL CALLBACK FindShownIcon(HWND child, LPARAM parameter)
{
    char className[64];
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (GetClassNameA(child, className, sizeof className) && lstrcmpiA(className, "Static") == 0 &&
        (style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE) &&
        SendMessageA(child, STM_GETICON, 0, 0)) {
        *reinterpret_cast<bool*>(parameter) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForWindow(const char* className, const char* caption, DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = {className, caption, processId, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

std::string WindowText(HWND window)
{
    // Another process's windows answer from their stored text, without a message, so a program
    // that is busy (or waiting, as during its splash) can still be read.
    char text[2048];
    int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

std::string ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? WindowText(control) : std::string();
}

std::string MessageBoxText(HWND box) { return ControlText(box, kMessageBoxTextId); }

bool MessageBoxHasIcon(HWND box)
{
    bool shown = false;
    EnumChildWindows(box, FindShownIcon, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int WaitForExit(HANDLE process, DWORD timeoutMs)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

BoxAnswerer::BoxAnswerer(const char* caption, int button, DWORD timeoutMs)
    : caption_(caption), button_(button), timeoutMs_(timeoutMs)
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer() { Finish(); }

bool BoxAnswerer::Finish()
{
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return answered_;
}

DWORD WINAPI BoxAnswerer::Run(void* self)
{
    BoxAnswerer* answerer = static_cast<BoxAnswerer*>(self);
    HWND box = WaitForWindow("#32770", answerer->caption_.c_str(), GetCurrentProcessId(),
                             answerer->timeoutMs_);
    if (!box)
        return 0;
    answerer->text_ = MessageBoxText(box);
    answerer->hadIcon_ = MessageBoxHasIcon(box);
    answerer->answered_ = true;
    PressButton(box, answerer->button_);
    return 0;
}
