// Processor time the program uses while it only waits: (a) a finished interactive run waiting for
// OK, (b) an automatic run before its timer starts the session. Both should stay near zero.
// The program runs inside this process, so that the process's own processor time is its time;
// a second thread watches it, reads the clock and presses OK.
//
//   main_loop_bench [seconds to wait for OK, default 10]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "app/startup.h"
#include "log/log_format.h"
#include "log_writer.h"
#include "support/window_driver.h"

namespace {

const char kSuccessText[] = "Uninstall successfully completed.";

double ProcessorSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 1e7;
}

bool WriteLog(const std::string& path, const std::string& key)
{
    LogWriter* writer = LogWriterCreate(path.c_str());
    if (!writer)
        return false;
    LogWriterSetString(writer, LOG_FIELD_APPLICATION, "Benchmark App");
    LogWriterSetString(writer, LOG_FIELD_UNINSTALL_KEY, key);
    return LogWriterFinish(writer) == 0;
}

struct Watch {
    DWORD waitMs;
    bool ok;
};

// (b): from the start of the run until just before the third timer tick (4.5 s).
DWORD WINAPI WatchAutomaticRun(void* parameter)
{
    Watch* watch = static_cast<Watch*>(parameter);
    double atStart = ProcessorSeconds();
    Sleep(1000);
    double afterStartUp = ProcessorSeconds();
    Sleep(3300);
    double beforeTimer = ProcessorSeconds();
    printf("automatic mode, 0 to 4.3 s after start (session not yet started): %.3f s processor\n",
           beforeTimer - atStart);
    printf("automatic mode, 1.0 to 4.3 s after start (only waiting for the timer): %.3f s "
           "processor\n",
           beforeTimer - afterStartUp);
    watch->ok = true;
    return 0;
}

// (a): a finished interactive run (no confirmation) while it waits for OK.
DWORD WINAPI WatchFinishedRun(void* parameter)
{
    Watch* watch = static_cast<Watch*>(parameter);
    DWORD id = GetCurrentProcessId();
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); !dialog && GetTickCount() - start < 20000;) {
        HWND candidate = WaitForWindow("#32770", nullptr, id, 200);
        if (candidate && GetDlgItem(candidate, 701))
            dialog = candidate;
    }
    if (!dialog)
        return 0;
    for (DWORD start = GetTickCount(); ControlText(dialog, 701) != kSuccessText;) {
        if (GetTickCount() - start > 30000)
            return 0;
        Sleep(50);
    }
    double finished = ProcessorSeconds();
    Sleep(watch->waitMs);
    double waited = ProcessorSeconds();
    printf("finished interactive run waiting %.1f s for OK: %.3f s processor\n",
           watch->waitMs / 1000.0, waited - finished);
    watch->ok = true;
    PressButton(dialog, IDOK);
    return 0;
}

bool RunWatched(const std::string& arguments, LPTHREAD_START_ROUTINE watcher, Watch* watch)
{
    HANDLE thread = CreateThread(nullptr, 0, watcher, watch, 0, nullptr);
    if (!thread)
        return false;
    RunUninstaller(GetModuleHandleA(nullptr), arguments.c_str());
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return watch->ok;
}

}  // namespace

int main(int argc, char** argv)
{
    Watch watch = {argc > 1 ? static_cast<DWORD>(atof(argv[1]) * 1000) : 10000, false};
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string key = "UninstBench" + std::to_string(GetCurrentProcessId());
    std::string log = std::string(temp) + key + ".log";

    bool ok = WriteLog(log, key) && RunWatched("-a -f" + log, WatchAutomaticRun, &watch);
    watch.ok = false;
    ok = ok && WriteLog(log, key) && RunWatched("-y -f" + log, WatchFinishedRun, &watch);
    DeleteFileA(log.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                  ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key).c_str());
    if (!ok) {
        fprintf(stderr, "main_loop_bench: a run did not go as expected\n");
        return 1;
    }
    return 0;
}
