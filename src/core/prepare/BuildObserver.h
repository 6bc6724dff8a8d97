#pragma once

// What a build shows while it runs, and the one question it may ask. The
// session routes these to its front end; every member has a quiet default
// so a terminal command or a test overrides only what it wants.

#include <string>

namespace maroka::prepare {

class BuildObserver {
public:
    virtual ~BuildObserver() = default;

    virtual void ShowStatus(const std::string& /*text*/) {}
    virtual void ShowFileName(const std::string& /*text*/) {}
    virtual void SetProgress(long long /*position*/, long long /*maximum*/) {}

    // A Yes/No question (question icon). True means Yes. Without a person to
    // ask, the answer is No.
    virtual bool AskYesNo(const std::string& /*question*/) { return false; }
};

} // namespace maroka::prepare
