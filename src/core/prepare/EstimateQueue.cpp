#include "core/prepare/EstimateQueue.h"

#include <system_error>

namespace maroka::prepare {

void EstimateQueue::NextChunk(std::size_t blockSize)
{
    if (capacity_ == 0) {
        // The first chunk is made on the first block that needs it.
        chunks_[filling_].resize(kChunkSize);
        capacity_ = kChunkSize;
        if (sizeof(std::uint32_t) + blockSize <= kChunkSize)
            return;
    }
    Hand();
}

void EstimateQueue::EstimateNow(std::string_view block)
{
    // Too big for a chunk: everything before it goes first.
    Hand();
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queued_ == 0; });
    }
    estimate_.EstimateBlock(block);
}

void EstimateQueue::Hand()
{
    if (used_ == 0)
        return;
    if (!worker_.joinable() && !threadless_) {
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            threadless_ = true;
        }
    }
    if (threadless_) {
        EstimateChunk(chunks_[filling_], used_);
        used_ = 0;
        return;
    }
    {
        std::unique_lock lock(mutex_);
        sizes_[filling_] = used_;
        ++queued_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return queued_ < kChunkCount; });
    }
    filling_ = (filling_ + 1) % kChunkCount;
    used_ = 0;
    if (chunks_[filling_].empty())
        chunks_[filling_].resize(kChunkSize);
}

void EstimateQueue::Finish()
{
    if (worker_.joinable()) {
        Hand();
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        worker_.join();
    } else if (used_ > 0) {
        EstimateChunk(chunks_[filling_], used_);
    }
    used_ = 0;
}

void EstimateQueue::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return queued_ > 0 || closing_; });
        if (queued_ == 0)
            return;
        const std::size_t index = head_;
        const std::size_t size = sizes_[index];
        lock.unlock();
        EstimateChunk(chunks_[index], size);
        lock.lock();
        head_ = (head_ + 1) % kChunkCount;
        --queued_;
        changed_.notify_all();
    }
}

void EstimateQueue::EstimateChunk(const std::vector<char>& chunk, std::size_t size)
{
    const char* p = chunk.data();
    const char* const last = p + size;
    while (p < last) {
        std::uint32_t length;
        std::memcpy(&length, p, sizeof length);
        p += sizeof length;
        estimate_.EstimateBlock(std::string_view(p, length));
        p += length;
    }
}

} // namespace maroka::prepare
