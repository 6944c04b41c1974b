#include "support/chooser_watch.h"

namespace {
const int PATH_EDIT_ID = 1161;
const int FILE_NAME_EDIT_ID = 1152;
std::vector<ChooserSighting>* gSightings = nullptr;
}  // namespace

ChooserWatch::ChooserWatch()
{
    static std::vector<ChooserSighting> sightings;
    sightings.clear();
    gSightings = &sightings;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
}

ChooserWatch::~ChooserWatch()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
}

const std::vector<ChooserSighting>& ChooserWatch::Sightings() const
{
    return *gSightings;
}

LRESULT CALLBACK ChooserWatch::AfterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITDIALOG && GetDlgItem(message->hwnd, PATH_EDIT_ID) &&
        GetDlgItem(message->hwnd, FILE_NAME_EDIT_ID)) {
        ChooserSighting sighting;
        char text[MAX_PATH + 1] = "";
        GetDlgItemTextA(message->hwnd, PATH_EDIT_ID, text, sizeof text);
        sighting.pathText = text;
        GetWindowRect(message->hwnd, &sighting.window);
        sighting.visible = IsWindowVisible(message->hwnd) != FALSE;
        sighting.owner = GetWindow(message->hwnd, GW_OWNER);
        gSightings->push_back(sighting);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
