#pragma once

// The remaining machining time panel of a DNC send: the estimate of the sent
// lines against the prepared program's total, shown through the front end.

#include "core/prepare/RemainingTimeTracker.h"
#include "core/transfer/WorkerEnvironment.h"

namespace maroka::session {

class RemainingTimePanel final : public transfer::RemainingTimeDisplay {
public:
    RemainingTimePanel(UserInterface& ui, double estimateTotal, std::string versionText);

    void StartPass() override;
    bool LineSent(const std::string& line) override;
    void Hide() override;

private:
    UserInterface& ui_;
    double estimateTotal_;
    std::string versionText_;
    prepare::RemainingTimeTracker tracker_;
};

} // namespace maroka::session
