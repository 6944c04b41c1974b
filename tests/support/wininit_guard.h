// wininit.ini and the wininit.bak a restart leaves belong to the prefix: a test that lets the
// code write them, or restarts Windows, puts them back as they were when it ends.
#pragma once
#include <string>

class WininitGuard {
public:
    // Saves both files and removes wininit.ini, so that the test starts without one.
    WininitGuard();
    ~WininitGuard();
    const std::string& IniPath() const { return ini_; }

private:
    std::string ini_;
    std::string bak_;
    bool hadIni_;
    bool hadBak_;
    std::string savedIni_;
    std::string savedBak_;
};
