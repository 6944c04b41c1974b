// The one driver shared by every phase: it walks the log records of one kind, one record per
// call, advances the progress bar and hands each record to the phase's action.
#pragma once
#include <stdint.h>
#include "core/pool.h"
#include "core/string_list.h"

struct UninstallSession;
struct InstallLog;

// Messages of the handler protocol and of the action protocol (one numbering for both).
enum {
    PHASE_CREATE = 1,
    PHASE_DESTROY = 2,
    PHASE_RUN = 3,
    PHASE_END = 4
};

// Codes an action answers when an element stays behind; the run goes on and ends with the
// partial-success message. Any other code besides 0 and 1 stops the run.
enum {
    ERR_FILE_NOT_REMOVED = -21,
    ERR_DIR_NOT_REMOVED = -22,
    ERR_REGISTRY_NOT_REMOVED = -23,
    ERR_ITEM_NOT_REMOVED = -24,
    ERR_GROUP_NOT_REMOVED = -25
};

// Per-phase state, allocated from the engine pool when the phase is created.
struct PhaseState {
    int firstRecord;       // set until the first record's action has returned
    MemoryPool pool;       // the pool the state came from
    uintptr_t actionData;  // owned by the action; 0 at creation
    InstallLog* log;       // the session's log, for actions that read header fields
};

// Undoes one record (PHASE_RUN) or finishes the kind (PHASE_END; record arguments are empty).
// recordList is null for the kinds whose records are not handed over with their list; it
// belongs to the driver and is released after the action returns.
typedef int32_t (*RecordAction)(PhaseState* state, int message, UninstallSession* session,
                                const char* recordText, int32_t recordNumber,
                                StringList* recordList);

// PHASE_CREATE answers the new PhaseState (as an integer, null on failure); PHASE_DESTROY 0;
// PHASE_RUN -1 failure, 0 one record handled, 1 the kind is finished; anything else 0.
typedef intptr_t (*PhaseHandler)(PhaseState* state, int message, UninstallSession* session,
                                 InstallLog* log);

// Room for one record's text, terminator included; longer texts are cut.
enum { PHASE_RECORD_TEXT_SIZE = 300 };

// The handler behaviour for the kind `kindCode`, handing records to `action`; withList says
// whether each record is handed over with its string list.
intptr_t PhaseDriver(PhaseState* state, int message, int withList, UninstallSession* session,
                     InstallLog* log, RecordAction action, const char* kindCode);
