// Processor time uninst.exe uses while it only waits: (a) a finished interactive run waiting for
// OK, (b) an automatic run before its timer starts the session. Both should stay near zero.
//
//   main_loop_bench [seconds to wait for OK, default 10]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "log/log_format.h"
#include "log_writer.h"
#include "support/window_driver.h"

namespace {

const char kSuccessText[] = "Uninstall successfully completed.";

std::string BesideThisProgram(const char* name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1) + name;
}

double ProcessorSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return -1;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 1e7;
}

struct Run {
    PROCESS_INFORMATION process = {};
    bool Start(const std::string& arguments)
    {
        std::string command = "\"" + BesideThisProgram("uninst.exe") + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        return CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process) != 0;
    }
    ~Run()
    {
        if (process.hProcess) {
            WaitForExit(process.hProcess, 30000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

bool WriteLog(const std::string& path, const std::string& key)
{
    LogWriter* writer = LogWriterCreate(path.c_str());
    if (!writer)
        return false;
    LogWriterSetString(writer, LOG_FIELD_APPLICATION, "Benchmark App");
    LogWriterSetString(writer, LOG_FIELD_UNINSTALL_KEY, key);
    return LogWriterFinish(writer) == 0;
}

void RemoveEntry(const std::string& key)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                  ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key).c_str());
}

// (b): the process from its start until just before the third timer tick (4.5 s).
bool MeasureAutomaticWait(const std::string& log)
{
    Run run;
    if (!run.Start("-a -f" + log))
        return false;
    Sleep(1000);
    double afterStart = ProcessorSeconds(run.process.hProcess);
    Sleep(3300);
    double beforeTimer = ProcessorSeconds(run.process.hProcess);
    printf("automatic mode, 0 to 4.3 s after start (session not yet started): %.3f s processor\n",
           beforeTimer);
    printf("automatic mode, 1.0 to 4.3 s after start (waiting for the timer only): %.3f s processor\n",
           beforeTimer - afterStart);
    return WaitForExit(run.process.hProcess, 30000) == 0;
}

// (a): a finished interactive run (no confirmation) while it waits for OK.
bool MeasureFinishedWait(const std::string& log, DWORD waitMs)
{
    Run run;
    if (!run.Start("-y -f" + log))
        return false;
    DWORD id = run.process.dwProcessId;
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); !dialog && GetTickCount() - start < 20000;) {
        HWND candidate = WaitForWindow("#32770", nullptr, id, 200);
        if (candidate && GetDlgItem(candidate, 701))
            dialog = candidate;
    }
    if (!dialog)
        return false;
    for (DWORD start = GetTickCount(); ControlText(dialog, 701) != kSuccessText;) {
        if (GetTickCount() - start > 30000)
            return false;
        Sleep(50);
    }
    double finished = ProcessorSeconds(run.process.hProcess);
    Sleep(waitMs);
    double waited = ProcessorSeconds(run.process.hProcess);
    printf("finished interactive run waiting %.1f s for OK: %.3f s processor\n", waitMs / 1000.0,
           waited - finished);
    PressButton(dialog, IDOK);
    return WaitForExit(run.process.hProcess, 10000) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    DWORD waitMs = argc > 1 ? static_cast<DWORD>(atof(argv[1]) * 1000) : 10000;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string key = "UninstBench" + std::to_string(GetCurrentProcessId());
    std::string log = std::string(temp) + key + ".log";

    bool ok = WriteLog(log, key) && MeasureAutomaticWait(log);
    ok = ok && WriteLog(log, key) && MeasureFinishedWait(log, waitMs);
    DeleteFileA(log.c_str());
    RemoveEntry(key);
    if (!ok) {
        fprintf(stderr, "main_loop_bench: a run did not go as expected\n");
        return 1;
    }
    return 0;
}
