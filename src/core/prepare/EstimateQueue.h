#pragma once

// Feeds the blocks of a build to the machining-time estimate on a second
// thread, so that the estimate and the conversion of the blocks run side by
// side. Blocks are copied into a few fixed chunks and estimated in the order
// they were added; the memory used does not depend on the program's size.
// A program that fits in one chunk is estimated without a thread.
//
// The estimate must not be touched by anyone else until Finish() returned.

#include "core/prepare/MachiningEstimate.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace maroka::prepare {

class EstimateQueue {
public:
    static constexpr std::size_t kChunkSize = 64 * 1024;
    static constexpr std::size_t kChunkCount = 4;

    explicit EstimateQueue(MachiningEstimate& estimate) : estimate_(estimate) {}
    ~EstimateQueue() { Finish(); }
    EstimateQueue(const EstimateQueue&) = delete;
    EstimateQueue& operator=(const EstimateQueue&) = delete;

    void Add(std::string_view block)
    {
        if (used_ + sizeof(std::uint32_t) + block.size() > capacity_)
            NextChunk(block.size());
        if (block.size() + sizeof(std::uint32_t) > kChunkSize) {
            EstimateNow(block);
            return;
        }
        char* out = chunks_[filling_].data() + used_;
        const auto size = static_cast<std::uint32_t>(block.size());
        std::memcpy(out, &size, sizeof size);
        std::memcpy(out + sizeof size, block.data(), block.size());
        used_ += sizeof size + block.size();
    }

    // Estimates what is still queued; afterwards the estimate is complete.
    void Finish();

private:
    void NextChunk(std::size_t blockSize);
    void EstimateNow(std::string_view block);
    void Hand();
    void Work();
    void EstimateChunk(const std::vector<char>& chunk, std::size_t size);

    // What the two threads share, apart from what Add writes on every block.
    MachiningEstimate& estimate_;
    std::array<std::vector<char>, kChunkCount> chunks_;
    std::array<std::size_t, kChunkCount> sizes_{};

    alignas(64) std::size_t filling_ = 0; // the chunk Add writes into
    std::size_t used_ = 0;
    std::size_t capacity_ = 0; // of the chunk Add writes into; 0 before the first block

    alignas(64) std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t queued_ = 0; // full chunks waiting for the worker or being estimated
    std::size_t head_ = 0;   // the oldest of them; the worker's
    bool closing_ = false;
    bool threadless_ = false; // no thread could be started: chunks are estimated here
    std::thread worker_;
};

} // namespace maroka::prepare
