#include "support/message_box_answerer.h"

namespace {
// The static control that carries a message box's text.
const int MESSAGE_BOX_TEXT_ID = 0xFFFF;
const DWORD POLL_MS = 20;

// The button drawn as the default one: what Enter presses.
int DefaultButton(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return GetDlgCtrlID(child);
    }
    return 0;
}
}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(const char* caption, int button)
    : caption_(caption), button_(button), count_(0), last_{std::string(), nullptr, 0}
{
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

int MessageBoxAnswerer::Count()
{
    EnterCriticalSection(&lock_);
    int count = count_;
    LeaveCriticalSection(&lock_);
    return count;
}

AnsweredBox MessageBoxAnswerer::Last()
{
    EnterCriticalSection(&lock_);
    AnsweredBox box = last_;
    LeaveCriticalSection(&lock_);
    return box;
}

DWORD WINAPI MessageBoxAnswerer::Watch(LPVOID self)
{
    MessageBoxAnswerer* answerer = static_cast<MessageBoxAnswerer*>(self);
    while (WaitForSingleObject(answerer->stop_, POLL_MS) == WAIT_TIMEOUT)
        answerer->AnswerOpenBoxes();
    return 0;
}

void MessageBoxAnswerer::AnswerOpenBoxes()
{
    HWND box = FindWindowA("#32770", caption_.c_str());
    if (!box || !IsWindowVisible(box))
        return;
    char text[4096] = "";
    GetDlgItemTextA(box, MESSAGE_BOX_TEXT_ID, text, sizeof text);
    AnsweredBox answered{text, GetWindow(box, GW_OWNER), DefaultButton(box)};
    EnterCriticalSection(&lock_);
    last_ = answered;
    ++count_;
    LeaveCriticalSection(&lock_);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button_)));
    // The box lingers until its own loop has read the click; it must not be answered twice.
    while (IsWindow(box) && WaitForSingleObject(stop_, POLL_MS) == WAIT_TIMEOUT) {
    }
}
