#include "engine/phase_driver.h"

#include "engine/session.h"
#include "engine/shell_actions.h"
#include "log/log_reader.h"
#include "ui/progress_dialog.h"

static intptr_t CreatePhaseState(UninstallSession* session, InstallLog* log)
{
    lastGroupShown[0] = 0;
    if (!session)
        return 0;
    MemoryPool pool = static_cast<MemoryPool>(SessionQuery(session, SESSION_POOL));
    PhaseState* state = static_cast<PhaseState*>(PoolAlloc(pool, sizeof(PhaseState)));
    if (!state)
        return 0;
    state->firstRecord = 1;
    state->pool = pool;
    state->actionData = 0;
    state->log = log;
    return reinterpret_cast<intptr_t>(state);
}

static intptr_t DestroyPhaseState(PhaseState* state)
{
    if (state)
        PoolFree(state->pool, state);
    return 0;
}

// One record (or the end of the kind) as the reader delivered it.
struct PhaseRecord {
    char text[PHASE_RECORD_TEXT_SIZE];
    uint32_t number;
    StringList* list;
};

struct PhaseCall {
    PhaseState* state;
    UninstallSession* session;
    InstallLog* log;
    RecordAction action;
    ProgressWindow* progress;
};

// Steps the bar and hands the record (or the end of the kind) to the action. Codes other than 0
// and 1 go to the session, which classifies them after the call; -1 also ends the call at once.
static int HandOver(const PhaseCall& call, int message, const PhaseRecord& record)
{
    ProgressStep(call.progress);
    int32_t result = call.action ? call.action(call.state, message, call.session, record.text,
                                               static_cast<int32_t>(record.number), record.list)
                                 : -1;
    if (result != 0 && result != 1)
        SessionSetResult(call.session, result);
    return result == -1 ? -1 : 0;
}

static intptr_t RunFirstRecord(const PhaseCall& call, const char* kindCode, PhaseRecord& record)
{
    uint32_t flags = 0;
    if (LogSelectKind(call.log, kindCode) < 0)
        return -1;
    int read = LogReadRecord(call.log, &flags, record.text, &record.number, record.list, READ_FIRST);
    if (read < 0)
        return -1;
    if (read == 1)
        return 1;
    if (HandOver(call, PHASE_RUN, record) < 0)
        return -1;
    call.state->firstRecord = 0;
    return 0;
}

static intptr_t RunNextRecord(const PhaseCall& call, PhaseRecord& record)
{
    uint32_t flags = 0;
    int read = LogReadRecord(call.log, &flags, record.text, &record.number, record.list, READ_NEXT);
    if (read < 0)
        return -1;
    if (read == 1) {
        PhaseRecord none = {};
        return HandOver(call, PHASE_END, none) < 0 ? -1 : 1;
    }
    return HandOver(call, PHASE_RUN, record) < 0 ? -1 : 0;
}

static intptr_t RunPhase(PhaseState* state, int withList, UninstallSession* session,
                         InstallLog* log, RecordAction action, const char* kindCode)
{
    // A phase whose state could not be made has nothing to work with: the run stops.
    if (!state || !session)
        return -1;
    PhaseRecord record = {};
    if (withList) {
        record.list = ListCreate(0);
        if (!record.list)
            return -1;
    }
    PhaseCall call = {state, session, log, action,
                      reinterpret_cast<ProgressWindow*>(SessionQuery(session, SESSION_PROGRESS))};
    intptr_t result = state->firstRecord ? RunFirstRecord(call, kindCode, record)
                                         : RunNextRecord(call, record);
    ListDestroy(record.list);
    return result;
}

intptr_t PhaseDriver(PhaseState* state, int message, int withList, UninstallSession* session,
                     InstallLog* log, RecordAction action, const char* kindCode)
{
    switch (message) {
    case PHASE_CREATE:
        return CreatePhaseState(session, log);
    case PHASE_DESTROY:
        return DestroyPhaseState(state);
    case PHASE_RUN:
        return RunPhase(state, withList, session, log, action, kindCode);
    default:
        return 0;
    }
}
