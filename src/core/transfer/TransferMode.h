#pragma once

// What a transfer worker does, and where server mode stands in its cycle.

namespace maroka::transfer {

enum class TransferMode {
    Send,    // a send to the machine (memory, drip feed, no conversion)
    Receive, // a reception from the machine
    Server,  // the machine's commands: calls, saves, mail
    Reset,   // nothing: the worker ends at once
};

enum class ServerStep {
    None,
    Command, // waiting for a command: raw, at most 512 bytes
    Send,    // sending a called file or a reply
    Save,    // a file the machine saves: normal line handling
};

} // namespace maroka::transfer
