// Drives the CDR action the way the phase driver does: one PHASE_RUN per record (firstRecord set
// only for the first), then PHASE_END.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "core/pool.h"
#include "engine/directory_action.h"
#include "support/program_resources.h"
#include "support/temp_tree.h"

class DirectoryPhase {
public:
    DirectoryPhase()
    {
        pool_ = PoolCreate(16384, POOL_STANDARD);
        state_.firstRecord = 1;
        state_.pool = pool_;
        state_.actionData = 0;
        state_.log = nullptr;
    }
    ~DirectoryPhase() { PoolDestroy(pool_); }

    // The records in order, then the end of the kind; the result of PHASE_END.
    int32_t Run(const std::vector<std::string>& records)
    {
        for (const std::string& record : records) {
            EXPECT_EQ(0, RemoveDirectoriesAction(&state_, PHASE_RUN, nullptr, record.c_str(), 0, nullptr));
            state_.firstRecord = 0;
        }
        return End();
    }
    int32_t End() { return RemoveDirectoriesAction(&state_, PHASE_END, nullptr, nullptr, 0, nullptr); }

    MemoryPool pool_;
    PhaseState state_;
};
