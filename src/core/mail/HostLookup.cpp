#include "core/mail/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace maroka::mail {

struct HostLookup::Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    int rc = 0;
    addrinfo* result = nullptr;
};

HostLookup::HostLookup(const std::string& host, const std::string& service) : shared_(std::make_shared<Shared>())
{
    std::thread([shared = shared_, host, service] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        const std::lock_guard lock(shared->mutex);
        if (shared->abandoned) {
            if (rc == 0)
                ::freeaddrinfo(found);
            return;
        }
        shared->rc = rc;
        shared->result = rc == 0 ? found : nullptr;
        shared->finished = true;
        shared->done.notify_all();
    }).detach();
}

HostLookup::~HostLookup()
{
    const std::lock_guard lock(shared_->mutex);
    if (shared_->result != nullptr)
        ::freeaddrinfo(shared_->result);
    shared_->result = nullptr;
    shared_->abandoned = true;
}

bool HostLookup::WaitDone(int timeoutMs)
{
    std::unique_lock lock(shared_->mutex);
    return shared_->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return shared_->finished; });
}

addrinfo* HostLookup::Take()
{
    const std::lock_guard lock(shared_->mutex);
    addrinfo* result = shared_->result;
    shared_->result = nullptr;
    return result;
}

std::string HostLookup::ErrorText() const
{
    const std::lock_guard lock(shared_->mutex);
    return ::gai_strerror(shared_->rc);
}

} // namespace maroka::mail
