// What the terminal front end writes to stderr while a DNC send refreshes
// the remaining-time panel with every line.

#include "cli/TerminalUserInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace maroka::cli {
namespace {

using namespace std::chrono_literals;

struct Terminal {
    explicit Terminal(bool interactive) : ui(err, in, interactive, {}, [this] { return now; }) {}

    long Lines() const
    {
        const std::string text = err.str();
        return std::count(text.begin(), text.end(), '\n');
    }

    std::ostringstream err;
    std::istringstream in;
    std::chrono::steady_clock::time_point now{};
    TerminalUserInterface ui;
};

// A terminal gets the remaining time only when it changes; a log at most
// one line a second.
TEST(TerminalUserInterface, RemainingTimeIsWrittenOnlyWhenItChangesAndToALogOnceASecond)
{
    Terminal terminal(true);
    for (int line = 0; line < 500; ++line)
        terminal.ui.ShowRemainingTime(true, "0 時間 3 分", " 計算中");
    EXPECT_EQ(terminal.Lines(), 1);
    terminal.ui.ShowRemainingTime(true, "0 時間 2 分", " 計算中");
    EXPECT_EQ(terminal.Lines(), 2);
    terminal.ui.ShowRemainingTime(false, "", "");
    EXPECT_EQ(terminal.Lines(), 2);

    Terminal log(false);
    for (int tick = 0; tick < 30; ++tick) {
        log.ui.ShowRemainingTime(true, "0 時間 " + std::to_string(tick) + " 分", "");
        log.now += 100ms;
    }
    // Three seconds of changes every tenth of a second.
    EXPECT_EQ(log.Lines(), 3);
    EXPECT_NE(log.err.str().find("0 時間 0 分"), std::string::npos);
    EXPECT_NE(log.err.str().find("0 時間 20 分"), std::string::npos);
}

} // namespace
} // namespace maroka::cli
