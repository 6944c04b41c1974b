// Action of the directory phase (CDR): collects the directories and removes them at the end
// of the kind.
#pragma once
#include "engine/phase_driver.h"

int32_t RemoveDirectoriesAction(PhaseState* state, int message, UninstallSession* session,
                                const char* recordText, int32_t recordNumber, StringList* recordList);
