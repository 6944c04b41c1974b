// Actions of the program-menu phases: items (API, RPI) and groups (CPG).
#pragma once
#include <stddef.h>

#include "engine/phase_driver.h"

int32_t RemoveShellItemAction(PhaseState* state, int message, UninstallSession* session,
                              const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveShellGroupAction(PhaseState* state, int message, UninstallSession* session,
                               const char* recordText, int32_t recordNumber, StringList* recordList);

// Name of the last Program Manager group brought up; emptied whenever a phase is created.
enum { LAST_GROUP_SHOWN_SIZE = 264 };
extern char lastGroupShown[LAST_GROUP_SHOWN_SIZE];

// The group's folder (with a final backslash) and the item's shortcut path: the group is taken
// below the user's Programs folder unless it is a full path, and ".lnk" is added unless the item
// already ends in it. 1, or 0 with both outputs empty when a path does not fit its buffer.
int ShellLinkPaths(const char* group, const char* item, char* groupFolder, size_t groupFolderSize,
                   char* linkPath, size_t linkPathSize);

// Brings the group to the front in Program Manager unless it was the last one brought up. Always 1.
int ShowGroupOnce(const char* group);
