#include "app/messages.h"

int32_t ReportError(int32_t, const char*, int32_t, UninstallSession*) { return 1; }
int FormatErrorMessage(int32_t, const char*, char* buffer, int bufferSize)
{
    if (buffer && bufferSize > 0)
        buffer[0] = 0;
    return 0;
}
void ShowPoolReport(int) {}
