// System-wide reference counts of shared files, kept under HKLM\...\CurrentVersion\SharedDLLs.
#pragma once

#include "core/pool.h"

// Initialises the process-wide component once: pool is a MemoryPool handle, platformClass a
// PlatformClass value.
// Returns 0, or -1 when the state cannot be allocated from the pool.
int SharedCountInit(MemoryPool pool, int platformClass);

// Adds delta to the count of path and returns the new count (0 or more), or -1 on failure.
// A count that reaches 0 is deleted unless keepAtZero is set; a missing count is never decremented.
int SharedCountAdjust(const char* path, int delta, int keepAtZero);

// The value name under which path is counted (the short file name on Windows 95), into out
// (outSize bytes). Returns 1, or 0 when it does not fit.
int SharedValueName(const char* path, char* out, int outSize);
