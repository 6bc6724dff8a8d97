#pragma once

#include "core/session/Session.h"
#include "core/settings/SettingsFile.h"

#include "support/FakeSerialLine.h"
#include "support/ForwardingLine.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace maroka::test {

using namespace std::chrono_literals;

// A session whose program lives in a temporary folder and whose ports are
// fake lines (FAKE0, the start-up port, and FAKE1), with settings that send
// without waiting for a machine.
struct SessionFixture : ::testing::Test {
    SessionFixture()
    {
        std::filesystem::create_directories(dir / "bin");
        settings::SessionSettings initial;
        initial.startupPort = "FAKE0";
        initial.ignoreCycleStart = true;
        initial.sendDelayEnabled = false;
        initial.sendBufferSize = "100";
        EXPECT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
        WriteFileBytes(dir / "A.NC", "%\nO1\n%\n");
        WriteFileBytes(dir / "B.NC", "%\nO2\n%\n");
    }

    session::Session& Start(std::vector<std::string> arguments = {})
    {
        session::SessionOptions options;
        options.programPath = (dir / "bin" / "maroka").string();
        options.arguments = std::move(arguments);
        options.openLine = [this](const std::string& port, std::string& error) -> std::unique_ptr<serial::SerialLine> {
            const auto fake = lines.find(port);
            if (fake == lines.end() || taken[port]) {
                error = "no such port";
                return nullptr;
            }
            taken[port] = true;
            return std::unique_ptr<serial::SerialLine>(new ForwardingLine(fake->second));
        };
        options.listPorts = [this] { return ports; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
        session->FirstShown();
        return *session;
    }

    bool WaitIdle()
    {
        return ui.PumpUntil([this] { return !session->TransferRunning(); }, 5s);
    }

    TempDir dir;
    RecordingUserInterface ui;
    std::shared_ptr<FakeSerialLine> line = std::make_shared<FakeSerialLine>("FAKE0");
    std::shared_ptr<FakeSerialLine> secondLine = std::make_shared<FakeSerialLine>("FAKE1");
    std::map<std::string, std::shared_ptr<FakeSerialLine>> lines{{"FAKE0", line}, {"FAKE1", secondLine}};
    std::map<std::string, bool> taken;
    std::vector<std::string> ports{"FAKE0"};
    std::unique_ptr<session::Session> session;
};

} // namespace maroka::test
