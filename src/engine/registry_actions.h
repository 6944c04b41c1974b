// Actions of the registry phases: keys (CRK), values (SRK), the product keys (URK), and the
// App Paths and Uninstall entries (MRK).
#pragma once
#include "engine/phase_driver.h"

int32_t RemoveKeysAction(PhaseState* state, int message, UninstallSession* session,
                         const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveValuesAction(PhaseState* state, int message, UninstallSession* session,
                           const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveProductKeysAction(PhaseState* state, int message, UninstallSession* session,
                                const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveAppEntriesAction(PhaseState* state, int message, UninstallSession* session,
                               const char* recordText, int32_t recordNumber, StringList* recordList);
