#include "engine/phase_driver.h"

intptr_t PhaseDriver(PhaseState*, int message, int, UninstallSession*, InstallLog*, RecordAction,
                     const char*)
{
    return message == PHASE_RUN ? -1 : 0;
}
