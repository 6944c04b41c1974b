// Actions of the program-menu phases: items (API, RPI) and groups (CPG).
#pragma once
#include "engine/phase_driver.h"

int32_t RemoveShellItemAction(PhaseState* state, int message, UninstallSession* session,
                              const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveShellGroupAction(PhaseState* state, int message, UninstallSession* session,
                               const char* recordText, int32_t recordNumber, StringList* recordList);

// Name of the last Program Manager group brought up; emptied whenever a phase is created.
enum { LAST_GROUP_SHOWN_SIZE = 264 };
extern char lastGroupShown[LAST_GROUP_SHOWN_SIZE];
