#include "services/deferred_ops.h"

int DeferredOpsInit(int) { return -1; }
int IsFileInUse(const char*) { return 0; }
int ScheduleDeleteAtRestart(const char*) { return -1; }
int AddWininitRename(const char*) { return -1; }
