#pragma once

// Logs kept in memory, for tests that check what a worker wrote.

#include "core/transfer/WorkerEnvironment.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::test {

class MemoryLog final : public transfer::TransferLog {
public:
    void CommLog(std::string_view message) override
    {
        std::lock_guard lock(mutex);
        comm.emplace_back(message);
    }
    void ErrorLog(std::string_view message) override
    {
        std::lock_guard lock(mutex);
        errors.emplace_back(message);
    }
    std::vector<std::string> Comm()
    {
        std::lock_guard lock(mutex);
        return comm;
    }
    std::vector<std::string> Errors()
    {
        std::lock_guard lock(mutex);
        return errors;
    }

    std::mutex mutex;
    std::vector<std::string> comm;
    std::vector<std::string> errors;
};

} // namespace maroka::test
