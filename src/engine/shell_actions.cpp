#include "engine/shell_actions.h"

char lastGroupShown[LAST_GROUP_SHOWN_SIZE];

// Not built yet: the first record fails, so a run stops and restores instead of claiming success.
int32_t RemoveShellItemAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

int32_t RemoveShellGroupAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

