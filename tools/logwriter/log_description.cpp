#include "log_description.h"

#include <stdio.h>
#include <string.h>

#include "log/log_format.h"

static const char HEX_DIGITS[] = "0123456789ABCDEF";

std::string DescriptionEscape(const std::string& bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = (unsigned char)bytes[i];
        bool last = i + 1 == bytes.size();
        if (c < 0x20 || c == 0x7F || c == '%' || (last && c == ' ')) {
            text += '%';
            text += HEX_DIGITS[c >> 4];
            text += HEX_DIGITS[c & 15];
        } else {
            text += (char)c;
        }
    }
    return text;
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool DescriptionUnescape(const std::string& text, std::string* bytes)
{
    bytes->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *bytes += text[i];
            continue;
        }
        int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return false;
        *bytes += (char)(high * 16 + low);
        i += 2;
    }
    return true;
}

bool DescriptionParseNumber(const std::string& text, uint32_t* value)
{
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    size_t start = hex ? 2 : 0;
    if (text.size() <= start)
        return false;
    uint64_t result = 0;
    for (size_t i = start; i < text.size(); ++i) {
        int digit = hex ? HexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        result = result * (hex ? 16 : 10) + (uint64_t)digit;
        if (result > 0xFFFFFFFFu)
            return false;
    }
    *value = (uint32_t)result;
    return true;
}

namespace {

struct BuildState {
    const char* logPath;
    LogWriterOptions options;
    LogWriter* writer = nullptr;
    bool inRecord = false;
    LogWriterRecord record;
    std::string error;
};

typedef bool (*StatementHandler)(BuildState& state, const std::string& value);

bool Refuse(BuildState& state, const std::string& why)
{
    state.error = why;
    return false;
}

bool Unescaped(BuildState& state, const std::string& value, std::string* bytes)
{
    return DescriptionUnescape(value, bytes) || Refuse(state, "malformed %HH escape");
}

bool FlushRecord(BuildState& state)
{
    if (!state.inRecord)
        return true;
    state.inRecord = false;
    return LogWriterAddRecord(state.writer, state.record) == 0 || Refuse(state, LogWriterError(state.writer));
}

// The writer is created at the first statement that needs it, so version and notice come first.
bool EnsureWriter(BuildState& state)
{
    if (state.writer)
        return true;
    state.writer = LogWriterCreate(state.logPath, state.options);
    return state.writer || Refuse(state, std::string("cannot create ") + state.logPath);
}

bool HandleVersion(BuildState& state, const std::string& value)
{
    if (state.writer)
        return Refuse(state, "version must come before everything else");
    return DescriptionParseNumber(value, &state.options.version) || Refuse(state, "bad number");
}

bool HandleNotice(BuildState& state, const std::string& value)
{
    if (state.writer)
        return Refuse(state, "notice must come before everything else");
    return Unescaped(state, value, &state.options.notice);
}

bool HandleField(BuildState& state, const std::string& value)
{
    if (!EnsureWriter(state) || !FlushRecord(state))
        return false;
    size_t space = value.find(' ');
    std::string idText = value.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : value.substr(space + 1);
    uint32_t id;
    if (!DescriptionParseNumber(idText, &id) || id > (uint32_t)LOG_FIELD_LAST)
        return Refuse(state, "unknown field id '" + idText + "'");
    int result;
    if (LogHeaderStringSlot((int)id) >= 0) {
        std::string text;
        if (!Unescaped(state, rest, &text))
            return false;
        result = LogWriterSetString(state.writer, (int)id, text);
    } else {
        uint32_t number;
        if (!DescriptionParseNumber(rest, &number))
            return Refuse(state, "field " + idText + " needs a number");
        result = LogWriterSetNumber(state.writer, (int)id, number);
    }
    return result == 0 || Refuse(state, LogWriterError(state.writer));
}

bool HandleKind(BuildState& state, const std::string& value)
{
    std::string name;
    if (!EnsureWriter(state) || !FlushRecord(state) || !Unescaped(state, value, &name))
        return false;
    return LogWriterDeclareKind(state.writer, name) == 0 || Refuse(state, LogWriterError(state.writer));
}

bool HandleRecord(BuildState& state, const std::string& value)
{
    if (!EnsureWriter(state) || !FlushRecord(state))
        return false;
    state.record = LogWriterRecord();
    state.inRecord = true;
    return Unescaped(state, value, &state.record.kind);
}

bool HandleString(BuildState& state, const std::string& value)
{
    if (!state.inRecord)
        return Refuse(state, "string outside a record");
    if (state.record.flags & RECORD_HAS_STRING)
        return Refuse(state, "a record has one string");
    state.record.flags |= RECORD_HAS_STRING;
    return Unescaped(state, value, &state.record.string);
}

bool HandleNumber(BuildState& state, const std::string& value)
{
    if (!state.inRecord)
        return Refuse(state, "number outside a record");
    if (state.record.flags & RECORD_HAS_NUMBER)
        return Refuse(state, "a record has one number");
    state.record.flags |= RECORD_HAS_NUMBER;
    return DescriptionParseNumber(value, &state.record.number) || Refuse(state, "bad number");
}

bool HandleList(BuildState& state, const std::string& value)
{
    if (!state.inRecord)
        return Refuse(state, "list outside a record");
    if (!value.empty())
        return Refuse(state, "list takes no value; its entries are item lines");
    state.record.flags |= RECORD_HAS_LIST;
    return true;
}

bool HandleItem(BuildState& state, const std::string& value)
{
    if (!state.inRecord)
        return Refuse(state, "item outside a record");
    state.record.flags |= RECORD_HAS_LIST;
    std::string text;
    if (!Unescaped(state, value, &text))
        return false;
    state.record.list.push_back(text);
    return true;
}

struct Statement {
    const char* keyword;
    StatementHandler handler;
};

const Statement STATEMENTS[] = {
    {"version", HandleVersion}, {"notice", HandleNotice}, {"field", HandleField},
    {"kind", HandleKind},       {"record", HandleRecord}, {"string", HandleString},
    {"number", HandleNumber},   {"list", HandleList},     {"item", HandleItem},
};

bool HandleLine(BuildState& state, const std::string& line)
{
    if (line.empty() || line[0] == '#')
        return true;
    size_t space = line.find(' ');
    std::string keyword = line.substr(0, space);
    std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    for (const Statement& statement : STATEMENTS)
        if (keyword == statement.keyword)
            return statement.handler(state, value);
    return Refuse(state, "unknown statement '" + keyword + "'");
}

}  // namespace

int LogBuildFromDescription(const std::string& description, const char* logPath,
                            const LogWriterOptions& options, std::string* error)
{
    BuildState state;
    state.logPath = logPath;
    state.options = options;
    size_t lineStart = 0;
    int lineNumber = 0;
    bool ok = true;
    while (ok && lineStart < description.size()) {
        size_t lineEnd = description.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = description.size();
        std::string line = description.substr(lineStart, lineEnd - lineStart);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ++lineNumber;
        ok = HandleLine(state, line);
        lineStart = lineEnd + 1;
    }
    if (ok)
        ok = EnsureWriter(state) && FlushRecord(state);
    if (!ok) {
        if (error)
            *error = "line " + std::to_string(lineNumber) + ": " + state.error;
        LogWriterAbandon(state.writer);
        return -1;
    }
    std::string finishError;
    if (LogWriterFinish(state.writer, &finishError) != 0) {
        if (error)
            *error = finishError;
        return -1;
    }
    return 0;
}
