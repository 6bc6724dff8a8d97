#pragma once

// What happens after a reception that lost characters while "受信エラー修復"
// is on: after the first, the operator is told where and asked whether to
// receive the same program again; after the second, the two receptions are
// merged into the receive file and the outcome is shown.

#include "core/transfer/ReceiveLoop.h"

namespace maroka::transfer {

enum class RepairDecision {
    End,   // the transfer ends here
    Retry, // the receive file is open again, empty: receive once more
};

// Runs on the worker with the receive file closed; context.repair must exist.
RepairDecision RunRepairDialogue(WorkerEnvironment& env, ReceiveContext& context);

} // namespace maroka::transfer
