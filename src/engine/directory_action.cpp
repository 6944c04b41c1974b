#include "engine/directory_action.h"

// Not built yet: the first record fails, so a run stops and restores instead of claiming success.
int32_t RemoveDirectoriesAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

