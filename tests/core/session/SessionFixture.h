#pragma once

// Main-window sessions for the tests: the program lives in a temporary
// folder, its settings file is written before the session starts, and the
// ports are fake lines or the simulated machine's pseudo-terminal.

#include "core/session/Session.h"
#include "core/settings/SettingsFile.h"
#include "machine/lib/SimulatedMachine.h"

#include "support/FakeSerialLine.h"
#include "support/ForwardingLine.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace maroka::test {

using namespace std::chrono_literals;

// Start writes `initial` as the settings of dir/bin/maroka, then
// constructs and shows the session.
struct SessionRig {
    session::Session& Start(session::SessionOptions options = {})
    {
        std::filesystem::create_directories(dir / "bin");
        EXPECT_FALSE(settings::SettingsFile(SettingsPath()).SaveSettings(initial));
        options.programPath = (dir / "bin" / "maroka").string();
        if (!options.listPorts)
            options.listPorts = [this] { return ports; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
        session->FirstShown();
        return *session;
    }

    bool WaitIdle(std::chrono::milliseconds limit = 20s)
    {
        return ui.PumpUntil([this] { return !session->TransferRunning(); }, limit);
    }

    std::string SettingsPath() const { return (dir / "bin" / "maroka0.ini").string(); }

    TempDir dir;
    settings::SessionSettings initial;
    std::vector<std::string> ports;
    RecordingUserInterface ui;
    std::unique_ptr<session::Session> session;
};

// The start-up port is the simulated machine's pseudo-terminal.
struct MachineRig : SessionRig {
    void StartMachine(double charsPerSecond = 50'000)
    {
        machine::MachineConfig config;
        config.lineCharsPerSecond = charsPerSecond;
        machine = std::make_unique<machine::SimulatedMachine>(config);
        std::string error;
        ASSERT_TRUE(machine->Start(error)) << error;
        initial.startupPort = machine->DevicePath();
        ports = {machine->DevicePath()};
    }

    std::unique_ptr<machine::SimulatedMachine> machine;
};

// Ports that are fake lines (FAKE0, the start-up port, and FAKE1), with
// settings that send without waiting for a machine, and two programs.
struct SessionFixture : ::testing::Test, SessionRig {
    SessionFixture()
    {
        initial.startupPort = "FAKE0";
        initial.ignoreCycleStart = true;
        initial.sendDelayEnabled = false;
        initial.sendBufferSize = "100";
        ports = {"FAKE0"};
        WriteFileBytes(dir / "A.NC", "%\nO1\n%\n");
        WriteFileBytes(dir / "B.NC", "%\nO2\n%\n");
    }

    session::Session& Start(std::vector<std::string> arguments = {})
    {
        session::SessionOptions options;
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
        return SessionRig::Start(std::move(options));
    }

    // Starts a direct send of A.NC that waits for cycle start.
    void StartWaitingSend()
    {
        session->MutableSettings().ignoreCycleStart = false;
        ui.openFiles.push_back({(dir / "A.NC").string()});
        session->DirectSend();
        ASSERT_TRUE(ui.PumpUntil([this] { return line->WaitingForEvent(); }, 5s));
    }

    std::shared_ptr<FakeSerialLine> line = std::make_shared<FakeSerialLine>("FAKE0");
    std::shared_ptr<FakeSerialLine> secondLine = std::make_shared<FakeSerialLine>("FAKE1");
    std::map<std::string, std::shared_ptr<FakeSerialLine>> lines{{"FAKE0", line}, {"FAKE1", secondLine}};
    std::map<std::string, bool> taken;
};

} // namespace maroka::test
