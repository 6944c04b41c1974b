// logtool build DESCRIPTION LOG | dump LOG | verify LOG
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "core/string_list.h"
#include "log/log_reader.h"
#include "log_description.h"

namespace {

const int EXIT_INVALID = 1;
const int EXIT_USAGE = 2;

struct ErrorText {
    int code;
    const char* text;
};

const ErrorText ERROR_TEXTS[] = {
    {LOG_ERR_NOT_A_LOG, "not an installation log (bad magic number)"},
    {LOG_ERR_BAD_BLOCK, "a block is cut short or does not hold what it should (damaged log)"},
    {LOG_ERR_NOT_FOUND, "the file does not exist"},
    {LOG_ERR_CANNOT_OPEN, "the file cannot be opened"},
    {LOG_ERR_NO_HANDLE, "no log, or the kind is not in the log"},
    {LOG_ERR_NOT_READING, "the log was not opened for reading"},
    {LOG_ERR_NO_MEMORY, "out of memory, or the kind directory names a kind twice"},
    {LOG_ERR_NOT_STARTED, "read of a next record before the first"},
    {LOG_ERR_NEWER_VERSION, "the log was written by a newer format version"},
    {LOG_ERR_CHECKSUM, "the checksum does not match (the log is damaged)"},
};

const char* ExplainError(int code)
{
    for (const ErrorText& entry : ERROR_TEXTS)
        if (entry.code == code)
            return entry.text;
    return "unknown error";
}

const char* const FIELD_NAMES[LOG_FIELD_LAST + 1] = {
    "",
    "application name",
    "version key name",
    "not used by the uninstaller",
    "not used by the uninstaller",
    "16-bit number, not used by the uninstaller",
    "32-bit number, not used by the uninstaller",
    "32-bit number, not used by the uninstaller",
    "App Paths key name(s)",
    "company key name",
    "total number of records",
    "Uninstall key name",
};

bool ReadWholeFile(const char* path, std::string* text)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text->append(chunk, got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

int Build(const char* descriptionPath, const char* logPath)
{
    std::string description;
    if (!ReadWholeFile(descriptionPath, &description)) {
        fprintf(stderr, "logtool: cannot read %s\n", descriptionPath);
        return EXIT_INVALID;
    }
    std::string error;
    if (LogBuildFromDescription(description, logPath, LogWriterOptions(), &error) != 0) {
        fprintf(stderr, "logtool: %s: %s\n", descriptionPath, error.c_str());
        return EXIT_INVALID;
    }
    return 0;
}

InstallLog* OpenOrExplain(const char* logPath)
{
    InstallLog* log = LogOpen(logPath, LOG_OPEN_EXISTING | 1);
    if (!log)
        printf("error %d: %s\n", LogLastError(), ExplainError(LogLastError()));
    return log;
}

void DumpHeader(InstallLog* log)
{
    for (int id = LOG_FIELD_FIRST; id <= LOG_FIELD_LAST; ++id) {
        printf("# field %d: %s\n", id, FIELD_NAMES[id]);
        if (LogHeaderStringSlot(id) >= 0) {
            char text[LOG_FIELD_BUFFER_SIZE];
            LogGetField(log, id, text);
            printf("field %d %s\n", id, DescriptionEscape(text).c_str());
        } else {
            printf("field %d 0x%08X\n", id, (unsigned)LogGetField(log, id, nullptr));
        }
    }
}

void DumpRecord(const char* kind, uint32_t flags, const char* text, uint32_t number, StringList* list)
{
    printf("record %s\n", DescriptionEscape(kind).c_str());
    if (flags & RECORD_HAS_STRING)
        printf("string %s\n", DescriptionEscape(text).c_str());
    if (flags & RECORD_HAS_NUMBER)
        printf("number 0x%08X\n", (unsigned)number);
    if (flags & RECORD_HAS_LIST) {
        printf("list\n");
        for (const char* item = ListFirst(list); item; item = ListNext(list))
            printf("item %s\n", DescriptionEscape(item).c_str());
    }
}

// Reads every record of a kind in chain order, handing each to dump (if given). The count of
// records, or the reader's negative code.
long WalkKind(InstallLog* log, const char* kind, bool dump)
{
    if (LogSelectKind(log, kind) != 0)
        return LogLastError();
    long count = 0;
    for (int mode = READ_FIRST;; mode = READ_NEXT) {
        StringList* list = ListCreate(0);
        if (!list)
            return LOG_ERR_NO_MEMORY;
        uint32_t flags = 0, number = 0;
        char text[LOG_RECORD_STRING_BUFFER_SIZE] = "";
        int result = LogReadRecord(log, &flags, text, &number, list, mode);
        if (result == 0 && dump)
            DumpRecord(kind, flags, text, number, list);
        ListDestroy(list);
        if (result != 0)
            return result == LOG_NO_RECORD ? count : result;
        ++count;
    }
}

int Dump(const char* logPath)
{
    InstallLog* log = OpenOrExplain(logPath);
    if (!log)
        return EXIT_INVALID;
    printf("# installation log %s\n", logPath);
    DumpHeader(log);
    int kinds = LogKindCount(log);
    printf("# kind directory: %d kind(s)\n", kinds);
    for (int i = 0; i < kinds; ++i) {
        LogKindInfo info;
        LogGetKind(log, i, &info);
        printf("# index %u, %u record(s), first record at 0x%08X\n", (unsigned)info.kindIndex,
               (unsigned)info.recordCount, (unsigned)info.firstRecord);
        printf("kind %s\n", DescriptionEscape(info.name).c_str());
    }
    int status = 0;
    for (int i = 0; i < kinds && status == 0; ++i) {
        LogKindInfo info;
        LogGetKind(log, i, &info);
        printf("# records of kind %s\n", DescriptionEscape(info.name).c_str());
        long result = WalkKind(log, info.name, true);
        if (result < 0) {
            printf("# error %ld: %s\n", result, ExplainError((int)result));
            status = EXIT_INVALID;
        }
    }
    LogClose(log);
    return status;
}

int Verify(const char* logPath)
{
    InstallLog* log = OpenOrExplain(logPath);
    if (!log)
        return EXIT_INVALID;
    std::string counts;
    long total = 0;
    int kinds = LogKindCount(log);
    for (int i = 0; i < kinds; ++i) {
        LogKindInfo info;
        LogGetKind(log, i, &info);
        long result = WalkKind(log, info.name, false);
        if (result < 0) {
            printf("error %ld: %s (kind %s)\n", result, ExplainError((int)result), DescriptionEscape(info.name).c_str());
            LogClose(log);
            return EXIT_INVALID;
        }
        total += result;
        counts += DescriptionEscape(info.name) + " " + std::to_string(result) + "\n";
    }
    printf("ok: %ld record(s) in %d kind(s), header field 10 says %u\n%s", total, kinds,
           (unsigned)LogGetField(log, LOG_FIELD_RECORD_COUNT, nullptr), counts.c_str());
    LogClose(log);
    return 0;
}

int Usage()
{
    fprintf(stderr,
            "usage: logtool build DESCRIPTION LOG   write a log from a text description\n"
            "       logtool dump LOG                print a log as a description\n"
            "       logtool verify LOG              check a log with the uninstaller's reader\n");
    return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv)
{
    // Descriptions carry the log's bytes as they are; no newline translation on the way out.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 4 && strcmp(argv[1], "build") == 0)
        return Build(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "dump") == 0)
        return Dump(argv[2]);
    if (argc == 3 && strcmp(argv[1], "verify") == 0)
        return Verify(argv[2]);
    return Usage();
}
