#include "support/progman_peer_host.h"

#include <stdio.h>

namespace {

bool WriteTextFile(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && ok;
}

std::string UniqueFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int serial = 0;
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%sprogman_peer_%lu_%d", temp, GetCurrentProcessId(), ++serial);
    CreateDirectoryA(folder, nullptr);
    return folder;
}

std::string EventName(const char* what)
{
    static int serial = 0;
    char name[64];
    snprintf(name, sizeof name, "ProgmanPeer%s_%lu_%d", what, GetCurrentProcessId(), ++serial);
    return name;
}

}  // namespace

ProgmanServiceLock::ProgmanServiceLock()
{
    mutex_ = CreateMutexA(nullptr, FALSE, "UninstTestsProgmanService");
    // An owner that died leaves the mutex abandoned, which still hands it over.
    DWORD waited = mutex_ ? WaitForSingleObject(mutex_, 240000) : WAIT_FAILED;
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

ProgmanServiceLock::~ProgmanServiceLock()
{
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
}

std::string SiblingProgramPath(const char* fileName)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string self(path, length);
    return self.substr(0, self.find_last_of('\\') + 1) + fileName;
}

std::vector<std::string> ReadTextLines(const std::string& path)
{
    std::vector<std::string> lines;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(file);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool ProgmanPeerHost::Start(const std::string& seed)
{
    Stop();
    lock_ = new ProgmanServiceLock();
    if (!lock_->Held()) return false;
    folder_ = UniqueFolder();
    std::string seedPath = folder_ + "\\seed.txt";
    recordPath_ = folder_ + "\\record.txt";
    if (!WriteTextFile(seedPath, seed)) return false;

    std::string readyName = EventName("Ready");
    std::string quitName = EventName("Quit");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    quit_ = CreateEventA(nullptr, TRUE, FALSE, quitName.c_str());
    std::string command = "\"" + SiblingProgramPath("progman_peer.exe") + "\" \"" + seedPath +
                          "\" \"" + recordPath_ + "\" " + readyName + " " + quitName;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    bool started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_);
    HANDLE waits[2] = {ready, process_.hProcess};
    bool serving = started && WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    CloseHandle(ready);
    if (!serving) Stop();
    return serving;
}

void ProgmanPeerHost::Stop()
{
    if (process_.hProcess) {
        SetEvent(quit_);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = PROCESS_INFORMATION{};
    }
    if (quit_) CloseHandle(quit_);
    quit_ = nullptr;
    if (!folder_.empty()) {
        for (const char* name : {"seed.txt", "record.txt", "record.txt.state"})
            DeleteFileA((folder_ + "\\" + name).c_str());
        RemoveDirectoryA(folder_.c_str());
        folder_.clear();
    }
    delete lock_;
    lock_ = nullptr;
}

std::vector<std::string> ProgmanPeerHost::Transactions() const
{
    return ReadTextLines(recordPath_);
}

std::vector<std::string> ProgmanPeerHost::Commands() const
{
    std::vector<std::string> commands;
    const std::string prefix = "execute ";
    for (const std::string& line : Transactions())
        if (line.compare(0, prefix.size(), prefix) == 0) commands.push_back(line.substr(prefix.size()));
    return commands;
}

std::vector<std::string> ProgmanPeerHost::State() const
{
    return ReadTextLines(recordPath_ + ".state");
}
