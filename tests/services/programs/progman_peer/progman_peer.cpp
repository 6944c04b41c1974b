// A stand-in Program Manager for the tests: a DDE server "PROGMAN" (topic "PROGMAN") that keeps
// its groups and items in memory, carries out CreateGroup, ShowGroup, DeleteItem and DeleteGroup,
// answers group requests with a description line, and records every transaction it receives.
//
// Usage: progman_peer.exe <seed file> <record file> [<ready event> <quit event>]
//
// Seed file, one directive a line (names are the rest of the line):
//   group <name>      starts a group (it becomes the group the next lines describe)
//   file <path>       the group's file (default C:\WINDOWS\<n>.GRP)
//   show <n>          the group's show command (default 1)
//   extra <n>         the fifth field of the description (default 0)
//   item <name>       an item of the group
//   fields <4|5>      whether descriptions carry the fifth field (default 5)
//   stall <ms>        answers every command only after this long (a Program Manager that hangs)
//
// Record file: one line per transaction, "execute <command text>" or "request <item>", written
// before the transaction is answered. Beside it, "<record file>.state" lists the groups and items
// ("group <name>", "item <name>") after every change; it is first written once the service is
// registered, so its presence also says that the peer is ready.
// The peer ends when the quit event is signalled, or on "[ExitProgman()]".
#include <windows.h>
#include <ddeml.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

struct PeerItem {
    std::string name;
};

struct PeerGroup {
    std::string name;
    std::string file;
    long show = 1;
    long extra = 0;
    std::vector<PeerItem> items;
};

struct PeerState {
    DWORD instance = 0;
    HSZ service = nullptr;
    std::vector<PeerGroup> groups;
    std::string currentGroup;
    int fields = 5;
    DWORD stallMs = 0;
    bool quit = false;
    std::string recordPath;
    std::string statePath;
};

PeerState g_peer;

bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

PeerGroup* FindGroup(const std::string& name)
{
    for (PeerGroup& group : g_peer.groups)
        if (SameText(group.name, name)) return &group;
    return nullptr;
}

void AppendLine(const std::string& path, const std::string& line)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
}

// Written to a temporary name and moved over the old one, so a reader never sees half a state.
void SaveState()
{
    std::string text;
    for (const PeerGroup& group : g_peer.groups) {
        text += "group " + group.name + "\r\n";
        for (const PeerItem& item : group.items) text += "item " + item.name + "\r\n";
    }
    std::string temp = g_peer.statePath + ".new";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(temp.c_str(), g_peer.statePath.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ReadWholeFile(const char* path)
{
    std::string text;
    FILE* file = fopen(path, "rb");
    if (!file) return text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
}

// The group being described is named by index: adding a group may move the others.
void ApplySeedLine(const std::string& line, size_t& current)
{
    PeerGroup* group = current < g_peer.groups.size() ? &g_peer.groups[current] : nullptr;
    size_t blank = line.find(' ');
    std::string word = line.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (word == "group") {
        current = g_peer.groups.size();
        g_peer.groups.push_back(PeerGroup());
        g_peer.groups.back().name = rest;
        g_peer.groups.back().file = "C:\\WINDOWS\\" + std::to_string(current + 1) + ".GRP";
    } else if (word == "fields") {
        g_peer.fields = atoi(rest.c_str());
    } else if (word == "stall") {
        g_peer.stallMs = strtoul(rest.c_str(), nullptr, 10);
    } else if (group && word == "file") {
        group->file = rest;
    } else if (group && word == "show") {
        group->show = atol(rest.c_str());
    } else if (group && word == "extra") {
        group->extra = atol(rest.c_str());
    } else if (group && word == "item") {
        group->items.push_back(PeerItem{rest});
    }
}

void LoadSeed(const char* path)
{
    std::string text = ReadWholeFile(path);
    size_t current = (size_t)-1;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) ApplySeedLine(text.substr(start, end - start), current);
        start = end + 1;
    }
}

// One bracketed command: its name and its comma-separated arguments (quotes allowed).
struct PeerCommand {
    std::string name;
    std::vector<std::string> args;
};

const char* SkipBlanks(const char* p)
{
    while (*p == ' ') ++p;
    return p;
}

// Double-byte characters are stepped whole, so a trail byte is never taken for a delimiter.
const char* TakeUntil(const char* p, const char* stops, std::string& out)
{
    out.clear();
    while (*p && !strchr(stops, *p)) {
        const char* next = CharNextA(p);
        out.append(p, next - p);
        p = next;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return p;
}

const char* ParseArgument(const char* p, std::string& arg)
{
    p = SkipBlanks(p);
    if (*p == '"') {
        p = TakeUntil(p + 1, "\"", arg);
        if (*p != '"') return nullptr;
        return SkipBlanks(p + 1);
    }
    return TakeUntil(p, ",)", arg);
}

// False when the text is not a sequence of well-formed bracketed commands.
bool ParseCommands(const char* text, std::vector<PeerCommand>& commands)
{
    const char* p = SkipBlanks(text);
    if (*p != '[') return false;
    while (*p == '[') {
        PeerCommand command;
        p = TakeUntil(SkipBlanks(p + 1), "( ]", command.name);
        p = SkipBlanks(p);
        if (*p == '(') {
            ++p;
            while (*SkipBlanks(p) != ')') {
                std::string arg;
                p = ParseArgument(p, arg);
                if (!p) return false;
                command.args.push_back(arg);
                if (*p == ',') ++p;
                else if (*p != ')') return false;
            }
            p = SkipBlanks(p) + 1;
        }
        p = SkipBlanks(p);
        if (*p != ']') return false;
        p = SkipBlanks(p + 1);
        commands.push_back(command);
    }
    return *p == 0;
}

bool CreateGroupCommand(const PeerCommand& command)
{
    if (command.args.empty() || command.args[0].empty()) return false;
    if (!FindGroup(command.args[0])) {
        PeerGroup group;
        group.name = command.args[0];
        group.file = command.args.size() > 1 ? command.args[1] : "C:\\WINDOWS\\NEW.GRP";
        g_peer.groups.push_back(group);
    }
    g_peer.currentGroup = command.args[0];
    return true;
}

bool ShowGroupCommand(const PeerCommand& command)
{
    if (command.args.size() < 2) return false;
    PeerGroup* group = FindGroup(command.args[0]);
    long show = atol(command.args[1].c_str());
    if (!group || show < 1 || show > 8) return false;
    group->show = show;
    g_peer.currentGroup = group->name;
    return true;
}

bool DeleteItemCommand(const PeerCommand& command)
{
    PeerGroup* group = FindGroup(g_peer.currentGroup);
    if (command.args.empty() || !group) return false;
    for (size_t i = 0; i < group->items.size(); ++i) {
        if (SameText(group->items[i].name, command.args[0])) {
            group->items.erase(group->items.begin() + i);
            return true;
        }
    }
    return false;
}

bool DeleteGroupCommand(const PeerCommand& command)
{
    if (command.args.empty()) return false;
    for (size_t i = 0; i < g_peer.groups.size(); ++i) {
        if (SameText(g_peer.groups[i].name, command.args[0])) {
            if (SameText(g_peer.currentGroup, command.args[0])) g_peer.currentGroup.clear();
            g_peer.groups.erase(g_peer.groups.begin() + i);
            return true;
        }
    }
    return false;
}

bool ExitCommand(const PeerCommand&)
{
    g_peer.quit = true;
    return true;
}

struct CommandHandler {
    const char* name;
    bool (*run)(const PeerCommand&);
};

const CommandHandler kHandlers[] = {
    {"CreateGroup", CreateGroupCommand}, {"ShowGroup", ShowGroupCommand},
    {"DeleteItem", DeleteItemCommand},   {"DeleteGroup", DeleteGroupCommand},
    {"ExitProgman", ExitCommand},
};

bool RunCommand(const PeerCommand& command)
{
    for (const CommandHandler& handler : kHandlers)
        if (lstrcmpiA(handler.name, command.name.c_str()) == 0) return handler.run(command);
    return false;
}

HDDEDATA OnExecute(HDDEDATA data)
{
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string text(size, '\0');
    if (size) DdeGetData(data, (LPBYTE)&text[0], size, 0);
    text.resize(strlen(text.c_str()));
    AppendLine(g_peer.recordPath, "execute " + text);
    if (g_peer.stallMs) Sleep(g_peer.stallMs);

    std::vector<PeerCommand> commands;
    bool ok = ParseCommands(text.c_str(), commands);
    for (size_t i = 0; ok && i < commands.size(); ++i) ok = RunCommand(commands[i]);
    SaveState();
    return (HDDEDATA)(UINT_PTR)(ok ? DDE_FACK : DDE_FNOTPROCESSED);
}

std::string Describe(const PeerGroup& group)
{
    std::string text = "\"" + group.name + "\"," + group.file + "," +
                       std::to_string(group.items.size()) + "," + std::to_string(group.show);
    if (g_peer.fields >= 5) text += "," + std::to_string(group.extra);
    text += "\r\n";
    for (const PeerItem& item : group.items)
        text += "\"" + item.name + "\",\"" + item.name + ".EXE\",,,0,0,0,0,0\r\n";
    return text;
}

std::string GroupList()
{
    std::string text;
    for (const PeerGroup& group : g_peer.groups) text += group.name + "\r\n";
    return text;
}

HDDEDATA OnRequest(UINT format, HSZ item)
{
    char name[1024] = "";
    DdeQueryStringA(g_peer.instance, item, name, sizeof name, CP_WINANSI);
    AppendLine(g_peer.recordPath, std::string("request ") + name);
    if (format != CF_TEXT) return nullptr;

    std::string text;
    if (const PeerGroup* group = FindGroup(name)) text = Describe(*group);
    else if (lstrcmpiA(name, "Groups") == 0) text = GroupList();
    else return nullptr;
    return DdeCreateDataHandle(g_peer.instance, (LPBYTE)text.c_str(), (DWORD)text.size() + 1, 0,
                               item, CF_TEXT, 0);
}

HDDEDATA CALLBACK PeerCallback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA data,
                               ULONG_PTR, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(UINT_PTR)(DdeCmpStringHandles(topic, g_peer.service) == 0);
    case XTYP_EXECUTE:
        return OnExecute(data);
    case XTYP_REQUEST:
        return OnRequest(format, item);
    default:
        return nullptr;
    }
}

bool StartService()
{
    UINT flags = APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_SKIP_REGISTRATIONS |
                 CBF_SKIP_UNREGISTRATIONS;
    if (DdeInitializeA(&g_peer.instance, PeerCallback, flags, 0) != DMLERR_NO_ERROR) return false;
    g_peer.service = DdeCreateStringHandleA(g_peer.instance, "PROGMAN", CP_WINANSI);
    return g_peer.service && DdeNameService(g_peer.instance, g_peer.service, nullptr, DNS_REGISTER);
}

void StopService()
{
    DdeNameService(g_peer.instance, g_peer.service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(g_peer.instance, g_peer.service);
    DdeUninitialize(g_peer.instance);
}

void RunUntilQuit(HANDLE quitEvent)
{
    DWORD count = quitEvent ? 1 : 0;
    while (!g_peer.quit) {
        DWORD woken = MsgWaitForMultipleObjects(count, &quitEvent, FALSE, INFINITE, QS_ALLINPUT);
        if (count && woken == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: progman_peer <seed file> <record file> [<ready> <quit>]\n");
        return 2;
    }
    LoadSeed(argv[1]);
    g_peer.recordPath = argv[2];
    g_peer.statePath = std::string(argv[2]) + ".state";
    HANDLE ready = argc > 3 ? OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]) : nullptr;
    HANDLE quit = argc > 4 ? OpenEventA(SYNCHRONIZE, FALSE, argv[4]) : nullptr;

    if (!StartService()) {
        fprintf(stderr, "progman_peer: cannot register the DDE service\n");
        return 1;
    }
    SaveState();
    if (ready) SetEvent(ready);
    RunUntilQuit(quit);
    StopService();
    if (ready) CloseHandle(ready);
    if (quit) CloseHandle(quit);
    return 0;
}
