// Helpers of the log tests: log files as byte images, their blocks opened up for alteration, and a
// way to run logtool.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "log/log_format.h"
#include "log_writer.h"

namespace logtest {

typedef std::vector<unsigned char> Bytes;

// A path in the temporary directory, unique to this test program.
inline std::string TempPath(const std::string& name)
{
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    return std::string(directory) + "uninst_logtest_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

inline Bytes ReadBytes(const std::string& path)
{
    Bytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return bytes;
}

inline bool WriteBytes(const std::string& path, const Bytes& bytes)
{
    // Rewriting in place is several times cheaper under Wine than creating the file anew, which
    // matters to the tests that write thousands of logs.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    ok = SetEndOfFile(file) && ok;
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The unscrambled content of the block at offset.
inline Bytes BlockAt(const Bytes& image, uint32_t offset)
{
    uint16_t length = LogLoadU16(image.data() + offset);
    Bytes content(image.begin() + offset + 2, image.begin() + offset + 2 + length);
    UnscrambleBlock(content.data(), content.size(), LOG_SCRAMBLE_KEY);
    return content;
}

// Replaces the content of the block at offset by content of the same length.
inline void PutBlock(Bytes& image, uint32_t offset, Bytes content)
{
    ScrambleBlock(content.data(), content.size(), LOG_SCRAMBLE_KEY);
    memcpy(image.data() + offset + 2, content.data(), content.size());
}

struct KindLayout {
    std::string name;
    uint32_t entryOffset;  // of the entry in the directory content
    uint32_t count;
    uint32_t first;
    std::vector<uint32_t> records;  // chain order
};

struct LogLayout {
    uint32_t header;
    uint32_t strings;
    uint32_t directory;
    std::vector<KindLayout> kinds;
};

// Where the blocks of a valid log lie.
inline LogLayout LayoutOf(const Bytes& image)
{
    LogLayout layout;
    layout.header = LOG_OFFSET_NOTICE + LogLoadU16(image.data() + LOG_OFFSET_NOTICE_LENGTH);
    Bytes header = BlockAt(image, layout.header);
    layout.strings = LogLoadU32(header.data() + LOG_HEADER_STRINGS_OFFSET);
    layout.directory = LogLoadU32(header.data() + LOG_HEADER_DIRECTORY_OFFSET);
    Bytes directory = BlockAt(image, layout.directory);
    uint32_t at = 2;
    for (uint16_t i = 0; i < LogLoadU16(directory.data()); ++i) {
        KindLayout kind;
        kind.entryOffset = at;
        uint16_t nameLength = LogLoadU16(directory.data() + at);
        kind.name.assign((const char*)directory.data() + at + 2, nameLength);
        at += 2 + nameLength;
        kind.count = LogLoadU32(directory.data() + at);
        kind.first = LogLoadU32(directory.data() + at + 4);
        at += LOG_KIND_ENTRY_FIXED_SIZE;
        for (uint32_t record = kind.first; record != 0; record = LogLoadU32(BlockAt(image, record).data()))
            kind.records.push_back(record);
        layout.kinds.push_back(kind);
    }
    return layout;
}

// A record for the writer.
inline LogWriterRecord MakeRecord(const std::string& kind, uint32_t flags, const std::string& text = "",
                                  uint32_t number = 0, const std::vector<std::string>& list = {})
{
    LogWriterRecord record;
    record.kind = kind;
    record.flags = flags;
    record.string = text;
    record.number = number;
    record.list = list;
    return record;
}

// Deterministic numbers for generated logs and mutants.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed ? seed : 1) {}
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t Below(uint32_t limit) { return limit ? Next() % limit : 0; }

private:
    uint32_t state;
};

// Alterations of a valid log image; the checksum is left to the caller.
inline void SetLink(Bytes& image, uint32_t record, uint32_t link)
{
    Bytes content = BlockAt(image, record);
    LogStoreU32(content.data(), link);
    PutBlock(image, record, content);
}

const uint32_t KIND_ENTRY_COUNT = 0;  // offsets of a directory entry's fields after its name
const uint32_t KIND_ENTRY_FIRST = 4;

inline void SetDirectoryField(Bytes& image, const LogLayout& layout, size_t kind, uint32_t at, uint32_t value)
{
    Bytes directory = BlockAt(image, layout.directory);
    LogStoreU32(&directory[layout.kinds[kind].entryOffset + 2 + layout.kinds[kind].name.size() + at], value);
    PutBlock(image, layout.directory, directory);
}

inline void SetHeaderField(Bytes& image, const LogLayout& layout, uint32_t at, uint32_t value)
{
    Bytes header = BlockAt(image, layout.header);
    LogStoreU32(&header[at], value);
    PutBlock(image, layout.header, header);
}

// Runs a program of the build next to this test and collects what it prints.
inline int RunBuiltProgram(const std::string& program, const std::string& arguments, std::string* output)
{
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    std::string directory(self, strrchr(self, '\\') + 1);
    std::string outputPath = TempPath("program_output.txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE out = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    std::string commandLine = "\"" + directory + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(0);
    DWORD exitCode = 0xFFFF;
    if (CreateProcessA(NULL, mutableLine.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(out);
    if (output) {
        Bytes bytes = ReadBytes(outputPath);
        output->assign(bytes.begin(), bytes.end());
    }
    DeleteFileA(outputPath.c_str());
    return (int)exitCode;
}

}  // namespace logtest
