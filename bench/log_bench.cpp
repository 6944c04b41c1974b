// Log reader benchmark: builds logs of 1,000, 100,000 and 1,000,000 records, with kinds in contiguous
// runs and interleaved record by record, and measures in a fresh process for each log the time of
// LogOpen (which validates the whole log) plus reading every record of every kind, against a plain
// sequential ReadFile of the same file, and the process's peak working set. "reader" takes each
// record's string and number; "with lists" also hands each record a new string list, as the phase
// driver does. Ratios are to the plain read in 64 KB pieces and in pieces of the layer's 4 KB window.
//
//   log_bench                 runs everything and prints a table
//   log_bench measure LOG N   measures one log (used by the run above)
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "core/string_list.h"
#include "log/log_reader.h"
#include "log_writer.h"

namespace {

const int REPEATS = 3;
// The plain read in large pieces, and in pieces of the buffered layer's window for comparison.
const DWORD PLAIN_CHUNK = 65536;
const DWORD WINDOW_CHUNK = 4096;

double Seconds()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Records look like the installer's: paths, registry keys, values with lists.
LogWriterRecord BenchRecord(int kind, long i)
{
    LogWriterRecord record;
    record.kind = LOG_UNINSTALL_KINDS[kind];
    char text[128];
    snprintf(text, sizeof text, "C:\\Program Files\\Bench Application\\Sub%02ld\\file%07ld.dll", i % 37, i);
    record.flags = RECORD_HAS_STRING;
    record.string = text;
    if (kind == 1 || kind == 7) {
        record.flags |= RECORD_HAS_NUMBER;
        record.number = (uint32_t)i;
    }
    if (kind == 7 || kind == 8) {
        record.flags |= RECORD_HAS_LIST;
        record.list = {"ValueName", "REG_SZ", "some value data"};
    }
    return record;
}

bool BuildLog(const char* path, long records, bool interleaved)
{
    LogWriter* writer = LogWriterCreate(path);
    if (!writer)
        return false;
    LogWriterSetString(writer, 1, "Bench Application");
    LogWriterSetString(writer, 9, "Bench Company");
    LogWriterSetString(writer, 11, "BenchApp");
    long perKind = (records + 9) / 10;
    for (long i = 0; i < records; ++i) {
        int kind = interleaved ? (int)(i % 10) : (int)(i / perKind);
        if (LogWriterAddRecord(writer, BenchRecord(kind, i)) != 0) {
            LogWriterAbandon(writer);
            return false;
        }
    }
    return LogWriterFinish(writer) == 0;
}

double PlainRead(const char* path, DWORD chunk, unsigned long long* bytes)
{
    static char buffer[PLAIN_CHUNK];
    double start = Seconds();
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD got = 0;
    *bytes = 0;
    while (ReadFile(file, buffer, chunk, &got, NULL) && got > 0)
        *bytes += got;
    CloseHandle(file);
    return Seconds() - start;
}

struct ReaderTimes {
    double open;   // LogOpen with its validation
    double total;  // LogOpen, every record of every kind, LogClose
    long records;
};

// Opens, validates and reads every record of every kind. With lists, each record gets a new
// string list as the phase driver gives it; without, only the string and number are taken, which
// leaves the reader's own work.
ReaderTimes ReaderRead(const char* path, bool withLists)
{
    ReaderTimes times = {0, 0, -1};
    double start = Seconds();
    InstallLog* log = LogOpen(path, LOG_OPEN_EXISTING | 1);
    times.open = Seconds() - start;
    if (!log)
        return times;
    long count = 0;
    for (const char* kind : LOG_UNINSTALL_KINDS) {
        LogSelectKind(log, kind);
        for (int mode = READ_FIRST;; mode = READ_NEXT) {
            uint32_t flags = 0, number = 0;
            char text[LOG_RECORD_STRING_BUFFER_SIZE];
            StringList* list = withLists ? ListCreate(0) : nullptr;
            int result = LogReadRecord(log, &flags, text, &number, list, mode);
            if (list)
                ListDestroy(list);
            if (result != 0)
                break;
            ++count;
        }
    }
    LogClose(log);
    times.total = Seconds() - start;
    times.records = count;
    return times;
}

void KeepBest(ReaderTimes* best, const ReaderTimes& times)
{
    if (times.total < best->total)
        *best = times;
}

int Measure(const char* path, long expected)
{
    double bestPlain = 1e9, bestWindowed = 1e9;
    ReaderTimes bare = {0, 1e9, 0}, driver = {0, 1e9, 0};
    unsigned long long bytes = 0;
    for (int i = 0; i < REPEATS; ++i) {
        double plain = PlainRead(path, PLAIN_CHUNK, &bytes);
        if (plain < bestPlain)
            bestPlain = plain;
        double windowed = PlainRead(path, WINDOW_CHUNK, &bytes);
        if (windowed < bestWindowed)
            bestWindowed = windowed;
        KeepBest(&bare, ReaderRead(path, false));
        KeepBest(&driver, ReaderRead(path, true));
    }
    if (bare.records != expected || driver.records != expected) {
        printf("error: read %ld and %ld records of %ld (reader error %d)\n", bare.records, driver.records, expected,
               LogLastError());
        return 1;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    printf("%9ld %8.1f %7.2f %7.2f %8.2f %10.0f %6.1f %6.1f %9.2f %6.1f %9lu\n", expected, (double)bytes / 1048576.0,
           bestPlain * 1000.0, bestWindowed * 1000.0, bare.open * 1000.0, expected / bare.total,
           bare.total / bestPlain, bare.total / bestWindowed, driver.total * 1000.0, driver.total / bestPlain,
           (unsigned long)(memory.PeakWorkingSetSize / 1024));
    fflush(stdout);
    return 0;
}

int RunMeasureProcess(const char* path, long records)
{
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    char commandLine[3 * MAX_PATH];
    snprintf(commandLine, sizeof commandLine, "\"%s\" measure \"%s\" %ld", self, path, records);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return (int)exitCode;
}

int RunAll()
{
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    std::string path = std::string(directory) + "uninst_log_bench.log";
    const long sizes[] = {1000, 100000, 1000000};
    int status = 0;
    for (int interleaved = 0; interleaved < 2; ++interleaved) {
        printf("\nkinds %s; best of %d runs\n", interleaved ? "interleaved record by record" : "in contiguous runs",
               REPEATS);
        printf("%9s %8s %15s %26s %13s %6s %9s\n", "", "", "plain read ms", "reader", "ratio", "lists", "peak");
        printf("%9s %8s %7s %7s %8s %10s %6s %6s %9s %6s %9s\n", "records", "file MB", "64K", "4K", "open ms",
               "records/s", "64K", "4K", "ms", "64K", "WS KB");
        fflush(stdout);
        for (long records : sizes) {
            if (!BuildLog(path.c_str(), records, interleaved != 0)) {
                printf("error: cannot build the log\n");
                return 1;
            }
            status |= RunMeasureProcess(path.c_str(), records);
            DeleteFileA(path.c_str());
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "measure") == 0)
        return Measure(argv[2], atol(argv[3]));
    return RunAll();
}
