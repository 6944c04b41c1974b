// Writes the installation logs that tests of the session and of the program run on, with the
// installer-side log writer (header only: only programs that link the writer include it).
#pragma once

#include <string>
#include <vector>

#include "log/log_format.h"
#include "log_writer.h"

// A log naming the application and its Uninstall key, holding the records in order; field 10 (the
// record total) is set when total is not negative, field 8 (App Paths names) when appPaths is not
// empty. "" on success, else why it failed.
inline std::string WriteTestLog(const std::string& path, const std::string& appName,
                                const std::string& uninstallKey,
                                const std::vector<LogWriterRecord>& records, int total = -1,
                                const std::string& appPaths = std::string())
{
    LogWriter* writer = LogWriterCreate(path.c_str());
    if (!writer)
        return "cannot create " + path;
    std::string error;
    bool written = LogWriterSetString(writer, LOG_FIELD_APPLICATION, appName) == 0 &&
                   LogWriterSetString(writer, LOG_FIELD_UNINSTALL_KEY, uninstallKey) == 0 &&
                   (total < 0 || LogWriterSetNumber(writer, LOG_FIELD_RECORD_COUNT, total) == 0) &&
                   (appPaths.empty() ||
                    LogWriterSetString(writer, LOG_FIELD_APP_PATHS, appPaths) == 0);
    for (size_t i = 0; written && i < records.size(); ++i)
        written = LogWriterAddRecord(writer, records[i]) == 0;
    if (!written) {
        error = LogWriterError(writer);
        LogWriterAbandon(writer);
        return error;
    }
    return LogWriterFinish(writer, &error) == 0 ? std::string() : error;
}
