#include "engine/registry_actions.h"

// Not built yet: the first record fails, so a run stops and restores instead of claiming success.
int32_t RemoveKeysAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

int32_t RemoveValuesAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

int32_t RemoveProductKeysAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

int32_t RemoveAppEntriesAction(PhaseState*, int message, UninstallSession*, const char*, int32_t, StringList*)
{
    return message == PHASE_RUN ? -1 : 0;
}

