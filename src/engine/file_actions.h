// Actions of the file phases: copied files (CF) and shared files (CSF).
#pragma once
#include "engine/phase_driver.h"

int32_t RemoveFilesAction(PhaseState* state, int message, UninstallSession* session,
                          const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveSharedFilesAction(PhaseState* state, int message, UninstallSession* session,
                                const char* recordText, int32_t recordNumber, StringList* recordList);
