// Notes each call with its arguments, one line per call, in the file UNINST_TEST_DLL_RECORD names.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static void Note(const char* name, HWND window, HINSTANCE instance, LONG reserved)
{
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("UNINST_TEST_DLL_RECORD", path, sizeof path))
        return;
    FILE* file = fopen(path, "ab");
    if (!file)
        return;
    fprintf(file, "%s %llx %llx %ld\n", name,
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(instance)), reserved);
    fclose(file);
}

extern "C" LONG WINAPI UninstInitialize(HWND window, HINSTANCE instance, LONG reserved)
{
    Note("UninstInitialize", window, instance, reserved);
    char answer[32];
    if (!GetEnvironmentVariableA("UNINST_TEST_DLL_INIT", answer, sizeof answer))
        return 0;
    return atol(answer);
}

extern "C" LONG WINAPI UninstUnInitialize(HWND window, HINSTANCE instance, LONG reserved)
{
    Note("UninstUnInitialize", window, instance, reserved);
    return 0;
}
