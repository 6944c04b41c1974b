#include "log/log_reader.h"

static int g_lastError = LOG_OK;

InstallLog* LogOpen(const char*, uint32_t)
{
    g_lastError = LOG_ERR_NOT_FOUND;
    return nullptr;
}
int32_t LogGetField(InstallLog*, int, char*) { g_lastError = LOG_ERR_NO_HANDLE; return 0; }
int LogSelectKind(InstallLog*, const char*) { return g_lastError = LOG_ERR_NO_HANDLE; }
int LogReadRecord(InstallLog*, uint32_t*, char*, uint32_t*, StringList*, int) { return g_lastError = LOG_ERR_NO_HANDLE; }
int LogClose(InstallLog*) { return g_lastError = LOG_ERR_NO_HANDLE; }
int LogLastError() { return g_lastError; }
int LogKindCount(InstallLog*) { return 0; }
int LogGetKind(InstallLog*, int, LogKindInfo*) { return 0; }
