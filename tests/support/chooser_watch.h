// Watches the test's own thread for runs of the program's directory chooser: every dialog that
// carries the chooser's path edit is noted once it has been initialised.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct ChooserSighting {
    std::string pathText;  // the path edit's text after initialisation
    RECT window;           // where the dialog was placed
    bool visible;
    HWND owner;
};

class ChooserWatch {
public:
    ChooserWatch();
    ~ChooserWatch();
    const std::vector<ChooserSighting>& Sightings() const;

private:
    static LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_;
};
