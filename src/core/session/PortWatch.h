#pragma once

// Watches the open port while no transfer uses it, so that an unplugged
// adapter is noticed at once and not at the next send, and reopens the port
// when the device comes back.
//
// One thread per watch. While the line is alive it waits on it and throws
// away what the machine sends (every transfer starts by discarding input
// anyway). When the line hangs up it reports the loss, lets go of the line
// and tries to open the port again, by its name or by the stable
// /dev/serial/by-id name the device had, until it succeeds or is stopped.
// Both reports run on the UI thread.
//
// Stop() returns once the watch no longer touches the line, so the caller
// may use or close it; it never waits for the UI thread, which is where it
// is called from.

#include "core/serial/SerialLine.h"
#include "core/ui/UserInterface.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace maroka::session {

class PortWatch {
public:
    using Opener = std::function<std::shared_ptr<serial::SerialLine>(const std::string& path)>;
    struct Reports {
        std::function<void()> gone;
        // The port is back: `line` is open on it (under `name`).
        std::function<void(std::shared_ptr<serial::SerialLine> line, const std::string& name)> back;
    };

    explicit PortWatch(UserInterface& ui) : ui_(ui) {}
    // The UI's worker calls must have been released before (so that no
    // watch thread waits on the UI while it is joined here).
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    void Start(std::shared_ptr<serial::SerialLine> line, const std::string& name, Opener open, Reports reports);
    void Stop();

private:
    struct Run;
    static void Body(UserInterface& ui, const std::shared_ptr<Run>& run);

    UserInterface& ui_;
    std::shared_ptr<Run> current_;
    std::vector<std::shared_ptr<Run>> runs_; // each with its thread, joined when done
};

// The /dev/serial/by-id name that points at `device`, empty when none does.
std::string SerialByIdAlias(const std::string& device);

} // namespace maroka::session
