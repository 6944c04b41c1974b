// The Windows side of the end-to-end suite. It runs inside the case's Wine prefix:
//
//   e2e_helper install <log> <explorer|progman> <uninstaller> [<peer seed out>]
//       plays the installer: creates every element the log's records name (files, shared files
//       with their counts, directories, shortcuts and groups or Program Manager seed lines, keys,
//       values, the product key, App Paths and the Uninstall entry that starts <uninstaller>).
//   e2e_helper check <expectations file>...
//       checks the prefix: one expectation a line (see CheckLine); prints every failure.
//   e2e_helper touch <file>...   /   e2e_helper mkdir <directory>...
//       puts files (and their folders) or directories in place; %PROGRAMS% as in check.
//   e2e_helper offset <log> <kind>
//       prints the file offset of the kind's first record.
//   e2e_helper hold <file> <release file>
//       keeps the file open without sharing until the release file appears, so that it is in use.
//   e2e_helper drive <step>...
//       drives the uninstaller's windows: "press:<caption>:<id>", "wait:<caption>:<id>" (until the
//       control is enabled), "quit:<caption>" (ends the window's thread's message loop),
//       "text:<caption>:<id>" (prints the control's text); each step waits for its window.
//       "signal:<name>" creates C:\e2e\<name>; "await:<name>" waits until it exists.
//
// Exit code 0 on success, 1 on a failed check or step, 2 on bad usage.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/string_list.h"
#include "engine/shell_actions.h"
#include "log/log_reader.h"

namespace {

const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

int g_failures = 0;

void Fail(const std::string& what)
{
    printf("FAILED: %s\n", what.c_str());
    fflush(stdout);
    ++g_failures;
}

// ---------------------------------------------------------------------------------------------
// Files and registry

std::string ParentOf(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 3 && trimmed.back() == '\\') trimmed.pop_back();
    // Step by characters: a trail byte of a double-byte character may equal a backslash.
    const char* text = trimmed.c_str();
    const char* lastSeparator = nullptr;
    for (const char* p = text; *p; p = CharNextA(p))
        if (*p == '\\') lastSeparator = p;
    if (!lastSeparator) return "";
    size_t length = (size_t)(lastSeparator - text);
    return trimmed.substr(0, length == 2 && text[1] == ':' ? 3 : length);
}

void MakeDirectories(const std::string& path)
{
    if (path.empty() || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    MakeDirectories(ParentOf(path));
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        Fail("cannot create directory " + path);
}

void MakeFile(const std::string& path, const char* content)
{
    MakeDirectories(ParentOf(path));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("cannot create file " + path);
        return;
    }
    DWORD written = 0;
    WriteFile(file, content, (DWORD)strlen(content), &written, nullptr);
    CloseHandle(file);
}

struct RootName {
    const char* name;
    HKEY root;
};

const RootName kRoots[] = {
    {"HKLM", HKEY_LOCAL_MACHINE}, {"HKCU", HKEY_CURRENT_USER}, {"HKCR", HKEY_CLASSES_ROOT},
    {"HKU", HKEY_USERS},          {"HKCC", HKEY_CURRENT_CONFIG},
};

// "HKLM\path" into a root and a path; false for an unknown root.
bool SplitKeyName(const std::string& text, HKEY& root, std::string& path)
{
    size_t slash = text.find('\\');
    std::string rootName = text.substr(0, slash);
    path = slash == std::string::npos ? "" : text.substr(slash + 1);
    for (const RootName& r : kRoots) {
        if (_stricmp(r.name, rootName.c_str()) == 0) {
            root = r.root;
            return true;
        }
    }
    return false;
}

// A log's key reference: the root as a decimal number, ";", the key path.
bool SplitKeyReference(const char* text, HKEY& root, std::string& path)
{
    const char* semicolon = strchr(text, ';');
    if (!semicolon) return false;
    // Only the low 32 bits name the root; predefined handles are sign-extended on 64-bit Windows.
    root = (HKEY)(intptr_t)(int32_t)(uint32_t)strtoll(text, nullptr, 10);
    path = semicolon + 1;
    size_t end = path.find(';');
    if (end != std::string::npos) path.resize(end);
    while (!path.empty() && path.front() == '\\') path.erase(0, 1);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return !path.empty();
}

void SetText(HKEY root, const std::string& path, const char* name, const std::string& data)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        Fail("cannot create key " + path);
        return;
    }
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
    RegCloseKey(key);
}

bool ReadValue(HKEY root, const std::string& path, const char* name, std::string& data, DWORD& type)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    BYTE buffer[2048];
    DWORD size = sizeof buffer - 1;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;
    if (type == REG_DWORD) data = std::to_string(*(const DWORD*)buffer);
    else data.assign((const char*)buffer, strnlen((const char*)buffer, size));
    return true;
}

void AddSharedCount(const std::string& path)
{
    std::string data;
    DWORD type = 0;
    DWORD count = ReadValue(HKEY_LOCAL_MACHINE, kSharedDlls, path.c_str(), data, type)
                      ? (DWORD)strtoul(data.c_str(), nullptr, 10) + 1
                      : 1;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        Fail("cannot open SharedDLLs");
        return;
    }
    RegSetValueExA(key, path.c_str(), 0, REG_DWORD, (const BYTE*)&count, sizeof count);
    RegCloseKey(key);
}

// ---------------------------------------------------------------------------------------------
// install

struct Record {
    std::string text;
    std::vector<std::string> list;
};

std::vector<Record> ReadKind(InstallLog* log, const char* kind)
{
    std::vector<Record> records;
    LogSelectKind(log, kind);
    for (int mode = READ_FIRST;; mode = READ_NEXT) {
        char text[LOG_RECORD_STRING_BUFFER_SIZE] = "";
        uint32_t flags = 0;
        uint32_t number = 0;
        StringList* list = ListCreate(0);
        int result = LogReadRecord(log, &flags, text, &number, list, mode);
        Record record;
        record.text = text;
        for (const char* entry = ListFirst(list); entry; entry = ListNext(list)) record.list.push_back(entry);
        ListDestroy(list);
        if (result != 0) {
            if (result < 0) Fail(std::string("cannot read the records of ") + kind);
            return records;
        }
        records.push_back(record);
    }
}

std::string Field(InstallLog* log, int id)
{
    char buffer[LOG_FIELD_BUFFER_SIZE] = "";
    LogGetField(log, id, buffer);
    return buffer;
}

// Program Manager seed: groups in first-seen order, each with its items.
struct SeedGroup {
    std::string name;
    std::vector<std::string> items;
};

SeedGroup& SeedGroupNamed(std::vector<SeedGroup>& seed, const std::string& name)
{
    for (SeedGroup& group : seed)
        if (_stricmp(group.name.c_str(), name.c_str()) == 0) return group;
    seed.push_back(SeedGroup{name, {}});
    return seed.back();
}

void InstallShellItem(const Record& record, bool explorer, std::vector<SeedGroup>& seed)
{
    if (record.list.size() < 2) return;
    if (!explorer) {
        SeedGroupNamed(seed, record.list[0]).items.push_back(record.list[1]);
        return;
    }
    char folder[MAX_PATH + 1];
    char link[MAX_PATH + 1];
    if (!ShellLinkPaths(record.list[0].c_str(), record.list[1].c_str(), folder, sizeof folder, link,
                        sizeof link)) {
        Fail("no shortcut path for " + record.list[1]);
        return;
    }
    MakeFile(link, "shortcut of the sample application");
}

void InstallShellGroup(const Record& record, bool explorer, std::vector<SeedGroup>& seed)
{
    if (!explorer) {
        SeedGroupNamed(seed, record.text);
        return;
    }
    char folder[MAX_PATH + 1];
    char link[MAX_PATH + 1];
    if (ShellLinkPaths(record.text.c_str(), "x", folder, sizeof folder, link, sizeof link))
        MakeDirectories(ParentOf(link));
}

void InstallRegistry(InstallLog* log, const std::string& uninstallCommand)
{
    for (const Record& record : ReadKind(log, "CRK")) {
        HKEY root;
        std::string path;
        if (SplitKeyReference(record.text.c_str(), root, path)) SetText(root, path, "Installed", "1");
    }
    for (const Record& record : ReadKind(log, "SRK")) {
        HKEY root;
        std::string path;
        if (record.list.size() >= 2 && SplitKeyReference(record.list[0].c_str(), root, path))
            SetText(root, path, record.list[1].c_str(), "sample");
    }
    if (!ReadKind(log, "URK").empty())
        SetText(HKEY_LOCAL_MACHINE, "Software\\" + Field(log, 9) + "\\" + Field(log, 1) + "\\" + Field(log, 2),
                "Version", Field(log, 2));
    if (!ReadKind(log, "MRK").empty()) {
        std::string names = Field(log, 8);
        size_t start = 0;
        while (start < names.size()) {
            size_t end = names.find(';', start);
            if (end == std::string::npos) end = names.size();
            if (end > start) SetText(HKEY_LOCAL_MACHINE, kAppPaths + names.substr(start, end - start), "", "C:\\app.exe");
            start = end + 1;
        }
        std::string entry = kUninstall + Field(log, 11);
        SetText(HKEY_LOCAL_MACHINE, entry, "DisplayName", Field(log, 1) + " (sample)");
        SetText(HKEY_LOCAL_MACHINE, entry, "UninstallString", uninstallCommand);
    }
}

void WriteSeed(const std::vector<SeedGroup>& seed, const char* path)
{
    FILE* file = fopen(path, "wb");
    if (!file) {
        Fail(std::string("cannot write ") + path);
        return;
    }
    for (const SeedGroup& group : seed) {
        fprintf(file, "group %s\r\n", group.name.c_str());
        for (const std::string& item : group.items) fprintf(file, "item %s\r\n", item.c_str());
    }
    fclose(file);
}

int Install(int argc, char** argv)
{
    if (argc < 5) return 2;
    const char* logPath = argv[2];
    bool explorer = strcmp(argv[3], "explorer") == 0;
    InstallLog* log = LogOpen(logPath, LOG_OPEN_EXISTING);
    if (!log) {
        Fail("cannot open the log: " + std::to_string(LogLastError()));
        return 1;
    }
    for (const Record& record : ReadKind(log, "CDR")) MakeDirectories(record.text);
    for (const Record& record : ReadKind(log, "CF")) MakeFile(record.text, "file of the sample application");
    for (const Record& record : ReadKind(log, "CSF")) {
        if (record.list.size() < 2) continue;
        MakeFile(record.list[1], "shared file of the sample application");
        AddSharedCount(record.list[1]);
    }
    std::vector<SeedGroup> seed;
    for (const Record& record : ReadKind(log, "CPG")) InstallShellGroup(record, explorer, seed);
    for (const char* kind : {"API", "RPI"})
        for (const Record& record : ReadKind(log, kind)) InstallShellItem(record, explorer, seed);
    InstallRegistry(log, std::string(argv[4]) + " -f" + logPath);
    LogClose(log);
    if (!explorer && argc > 5) WriteSeed(seed, argv[5]);
    return g_failures ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// check

// A pattern such as C:\windows\_detmp.* is there when anything matches it.
bool FileIsThere(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(path.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

bool KeyIsThere(const std::string& name)
{
    HKEY root;
    std::string path;
    HKEY key;
    if (!SplitKeyName(name, root, path) || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// "key|value name" (an empty name is the default value).
bool ValueOf(const std::string& keyAndName, std::string& data)
{
    size_t bar = keyAndName.find('|');
    HKEY root;
    std::string path;
    DWORD type = 0;
    if (bar == std::string::npos || !SplitKeyName(keyAndName.substr(0, bar), root, path)) return false;
    return ReadValue(root, path, keyAndName.substr(bar + 1).c_str(), data, type);
}

// "file|text": the file holds the text somewhere.
bool FileHasText(const std::string& fileAndText)
{
    size_t bar = fileAndText.find('|');
    FILE* file = fopen(fileAndText.substr(0, bar).c_str(), "rb");
    if (!file) return false;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    fclose(file);
    return bar != std::string::npos && text.find(fileAndText.substr(bar + 1)) != std::string::npos;
}

// One expectation: "<verb> <argument>". Verbs: present/absent (file, directory or pattern),
// key-present/key-absent (HKLM\...), value-present/value-absent ("key|name"),
// value-is ("key|name|data"), text-has/text-lacks ("file|text"). Blank lines and "#" comments are skipped.
void CheckLine(const std::string& line)
{
    if (line.empty() || line[0] == '#') return;
    size_t blank = line.find(' ');
    std::string verb = line.substr(0, blank);
    std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
    std::string data;
    bool ok;
    if (verb == "present") ok = FileIsThere(argument);
    else if (verb == "absent") ok = !FileIsThere(argument);
    else if (verb == "key-present") ok = KeyIsThere(argument);
    else if (verb == "key-absent") ok = !KeyIsThere(argument);
    else if (verb == "value-present") ok = ValueOf(argument, data);
    else if (verb == "value-absent") ok = !ValueOf(argument, data);
    else if (verb == "value-is") {
        size_t bar = argument.rfind('|');
        ok = ValueOf(argument.substr(0, bar), data) && data == argument.substr(bar + 1);
        if (!ok) printf("  (found \"%s\")\n", data.c_str());
    } else if (verb == "text-has") ok = FileHasText(argument);
    else if (verb == "text-lacks") ok = !FileHasText(argument);
    else {
        Fail("unknown expectation: " + line);
        return;
    }
    if (!ok) Fail(line);
}

// "%PROGRAMS%" stands for the user's Programs folder, whose path depends on the user's name.
std::string ExpandPrograms(std::string line)
{
    const std::string token = "%PROGRAMS%";
    size_t at = line.find(token);
    if (at == std::string::npos) return line;
    std::string programs;
    DWORD type = 0;
    if (!ReadValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "Programs", programs, type))
        Fail("no Programs folder in Shell Folders");
    return line.replace(at, token.size(), programs);
}

int Check(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) {
        FILE* file = fopen(argv[i], "rb");
        if (!file) {
            Fail(std::string("cannot read ") + argv[i]);
            continue;
        }
        char line[2048];
        while (fgets(line, sizeof line, file)) {
            line[strcspn(line, "\r\n")] = 0;
            CheckLine(ExpandPrograms(line));
        }
        fclose(file);
    }
    return g_failures ? 1 : 0;
}

// touch: files (with their folders) that the case puts in place besides the installation.
int Touch(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) MakeFile(ExpandPrograms(argv[i]), "left by someone else");
    return g_failures ? 1 : 0;
}

int MakeDirectoryCommand(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) MakeDirectories(argv[i]);
    return g_failures ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// the log's layout

uint32_t FirstRecordOffset(const char* path, const char* kind)
{
    InstallLog* log = LogOpen(path, LOG_OPEN_EXISTING);
    uint32_t offset = 0;
    LogKindInfo info;
    for (int i = 0; log && LogGetKind(log, i, &info); ++i)
        if (strcmp(info.name, kind) == 0) offset = info.firstRecord;
    LogClose(log);
    return offset;
}

int PrintRecordOffset(int argc, char** argv)
{
    if (argc < 4) return 2;
    uint32_t offset = FirstRecordOffset(argv[2], argv[3]);
    printf("%u\n", offset);
    return offset ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// hold

int Hold(int argc, char** argv)
{
    if (argc < 4) return 2;
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail(std::string("cannot open ") + argv[2]);
        return 1;
    }
    printf("holding %s\n", argv[2]);
    fflush(stdout);
    for (int waited = 0; waited < 120000 && !FileIsThere(argv[3]); waited += 100) Sleep(100);
    CloseHandle(file);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// drive

struct DialogSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    DialogSearch* search = (DialogSearch*)parameter;
    char className[64] = "";
    char caption[512] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (strcmp(className, "#32770") == 0 && strcmp(caption, search->caption) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for a visible dialog with the caption (and, when id is not 0, an enabled control id).
HWND WaitForDialog(const char* caption, int id)
{
    for (int waited = 0; waited < 60000; waited += 100) {
        DialogSearch search = {caption, nullptr};
        EnumWindows(MatchDialog, (LPARAM)&search);
        if (search.found) {
            HWND control = id ? GetDlgItem(search.found, id) : nullptr;
            if (!id || (control && IsWindowEnabled(control))) return search.found;
        }
        Sleep(100);
    }
    return nullptr;
}

// Steps that meet the script half way: "signal:<name>" creates C:\e2e\<name>, "await:<name>"
// waits until the script has created it.
bool Rendezvous(const std::string& verb, const std::string& name)
{
    std::string path = "C:\\e2e\\" + name;
    if (verb == "signal") {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    }
    for (int waited = 0; waited < 60000; waited += 100) {
        if (FileIsThere(path)) return true;
        Sleep(100);
    }
    return false;
}

bool RunStep(const std::string& step)
{
    size_t colon = step.find(':');
    std::string verb = step.substr(0, colon);
    if (verb == "signal" || verb == "await") {
        bool ok = colon != std::string::npos && Rendezvous(verb, step.substr(colon + 1));
        if (!ok) Fail("step " + step);
        printf("done: %s\n", step.c_str());
        fflush(stdout);
        return ok;
    }
    size_t first = colon;
    size_t last = step.rfind(':');
    std::string caption = verb == "quit" ? step.substr(first + 1) : step.substr(first + 1, last - first - 1);
    int id = verb == "quit" ? 0 : atoi(step.substr(last + 1).c_str());
    HWND dialog = WaitForDialog(caption.c_str(), id);
    if (!dialog) {
        Fail("no window for step " + step);
        return false;
    }
    if (verb == "wait") {
        // The window and its control are there and enabled: nothing more to do.
    } else if (verb == "press") {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    } else if (verb == "quit") {
        PostThreadMessageA(GetWindowThreadProcessId(dialog, nullptr), WM_QUIT, 0, 0);
    } else if (verb == "text") {
        char text[1024] = "";
        GetDlgItemTextA(dialog, id, text, sizeof text);
        printf("text: %s\n", text);
    } else {
        Fail("unknown step " + step);
        return false;
    }
    printf("done: %s\n", step.c_str());
    fflush(stdout);
    // Let the window take the command before the next step looks for its successor.
    Sleep(300);
    return true;
}

int Drive(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i)
        if (!RunStep(argv[i])) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    std::string command = argv[1];
    if (command == "install") return Install(argc, argv);
    if (command == "check") return Check(argc, argv);
    if (command == "hold") return Hold(argc, argv);
    if (command == "offset") return PrintRecordOffset(argc, argv);
    if (command == "touch") return Touch(argc, argv);
    if (command == "mkdir") return MakeDirectoryCommand(argc, argv);
    if (command == "drive") return Drive(argc, argv);
    fprintf(stderr, "unknown command %s\n", argv[1]);
    return 2;
}
