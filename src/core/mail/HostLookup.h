#pragma once

// A host name lookup that can be given up on. getaddrinfo() cannot be
// interrupted and may wait for a dead DNS server far longer than a mail may
// take, so it runs on a thread of its own; a caller that stops waiting
// leaves the thread to finish by itself and free its result.

#include <memory>
#include <string>

struct addrinfo;

namespace maroka::mail {

class HostLookup {
public:
    HostLookup(const std::string& host, const std::string& service);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // True once the lookup has ended, waiting up to `timeoutMs` for it.
    bool WaitDone(int timeoutMs);
    // The addresses (to be freed with freeaddrinfo), nullptr on failure.
    // Only after WaitDone() returned true.
    addrinfo* Take();
    std::string ErrorText() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace maroka::mail
