#include "SerialTestSupport.h"

#include "core/serial/TcpSerialLine.h"
#include "support/Ser2netServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <thread>

namespace maroka::serial {
namespace {

using namespace test; // the helpers, and std::chrono_literals with them
using maroka::test::PtyPair;
using maroka::test::Ser2netServer;
using maroka::test::TempDir;
using Clock = std::chrono::steady_clock;

struct DeviceServer : ::testing::TestWithParam<Ser2netServer::Accepter> {
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
    }

    std::unique_ptr<TcpSerialLine> Connect(const LineSettings& settings)
    {
        return test::SetUpLine(TcpSerialLine::Open(server.PortName()), settings);
    }

    PtyPair pty;
    TempDir dir;
    Ser2netServer server{dir.Path(), pty.SlavePath(), GetParam()};
};

TEST_P(DeviceServer, EveryByteValuePassesBothWaysAndASecondClientFindsThePortInUse)
{
    auto line = Connect(TransparentLine());
    ASSERT_TRUE(line);
    const auto second = TcpSerialLine::Open(server.PortName());
    EXPECT_FALSE(second.line);
    EXPECT_NE(second.error.find("in use"), std::string::npos) << second.error;

    const std::string out = AllBytes(8192);
    std::string toMachine;
    std::thread reader([&] { toMachine = pty.ReadMaster(out.size(), 20s); });
    const IoResult written = line->Write(out.data(), out.size());
    reader.join();
    EXPECT_EQ(written.status, IoStatus::Ok) << line->LastError();
    EXPECT_EQ(written.count, out.size());
    EXPECT_EQ(toMachine, out);

    const std::string back = AllBytes(4096);
    pty.WriteMaster(back);
    EXPECT_EQ(ReadFromLine(*line, back.size(), 10s), back);

    // Only the raw port leaves the line settings to the server, and says so once.
    const std::string notice = line->TakeNotice();
    EXPECT_EQ(notice.empty(), GetParam() == Ser2netServer::Accepter::Rfc2217) << notice;
    EXPECT_EQ(line->TakeNotice(), "");
}

// The server goes away in the middle of a write: the write ends as with a
// vanished device, and the next transfer's SetState connects again.
TEST_P(DeviceServer, AServerKilledMidSendEndsTheWriteAndTheNextSetupReconnects)
{
    auto line = Connect(TransparentLine(9600));
    ASSERT_TRUE(line);
    // About 20 s at 9600 baud; what goes in half a second the pty holds.
    const std::string out = AllBytes(20'000);
    Clock::time_point killed;
    auto killer = test::After(500ms, [&] {
        killed = Clock::now();
        server.Kill();
    });
    const IoResult result = line->Write(out.data(), out.size());
    const auto ended = Clock::now();
    killer.join();
    EXPECT_EQ(result.status, IoStatus::Failed);
    EXPECT_LT(result.count, out.size());
    EXPECT_LT(ended - killed, 5s);
    EXPECT_NE(line->LastError().find(kDeviceGoneText), std::string::npos) << line->LastError();

    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    ASSERT_TRUE(line->SetState(TransparentLine())) << line->LastError();
    pty.ReadMasterUntilQuiet(100ms);
    EXPECT_EQ(line->Write("abc", 3).status, IoStatus::Ok) << line->LastError();
    EXPECT_EQ(pty.ReadMaster(3, 5s), "abc");
}

INSTANTIATE_TEST_SUITE_P(Ser2net, DeviceServer,
                         ::testing::Values(Ser2netServer::Accepter::Rfc2217, Ser2netServer::Accepter::Raw),
                         [](const auto& info) {
                             return info.param == Ser2netServer::Accepter::Rfc2217 ? "Rfc2217" : "Raw";
                         });

using Rfc2217Server = DeviceServer;

// What SetState asks for is what the server puts on the device.
TEST_P(Rfc2217Server, TheLineSettingsReachTheDevice)
{
    LineSettings s = AscLine(kXoff93, 4800);
    s.ByteSize = 7;
    s.Parity = kEvenParity;
    s.StopBits = kTwoStopBits;
    auto line = Connect(s);
    ASSERT_TRUE(line);
    termios t{};
    ASSERT_EQ(tcgetattr(pty.HeldSlave(), &t), 0);
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told;
    // the speed and the stop bits show what the server was asked.
    EXPECT_EQ(cfgetospeed(&t), B4800);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);

    s.BaudRate = 19200;
    s.ByteSize = 8;
    s.Parity = kNoParity;
    s.StopBits = kOneStopBit;
    // The pseudo-terminal has no DTR or RTS, so ser2net never answers those:
    // the first setup waited for them, this one does not.
    const auto start = Clock::now();
    ASSERT_TRUE(line->SetState(s)) << line->LastError();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(TcpSerialLine::kAckWaitMs));
    ASSERT_EQ(tcgetattr(pty.HeldSlave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
}

INSTANTIATE_TEST_SUITE_P(Ser2net, Rfc2217Server, ::testing::Values(Ser2netServer::Accepter::Rfc2217),
                         [](const auto&) { return std::string("Rfc2217"); });

TEST(DeviceServerConnect, AClosedPortOrAWrongHostFailsWithinTheConnectTimeOut)
{
    const auto start = Clock::now();
    const auto closed = TcpSerialLine::Open("rfc2217://127.0.0.1:" + std::to_string(maroka::test::FreeLoopbackPort()));
    EXPECT_FALSE(closed.line);
    EXPECT_NE(closed.error.find("no device server listens"), std::string::npos) << closed.error;

    const auto unknown = TcpSerialLine::Open("tcp://no-such-host.invalid:4001");
    EXPECT_FALSE(unknown.line);
    EXPECT_NE(unknown.error.find("cannot find the host"), std::string::npos) << unknown.error;

    // An address nobody answers at (documentation range): time-out or no route.
    const auto silent = TcpSerialLine::Open("tcp://192.0.2.1:4001");
    EXPECT_FALSE(silent.line);
    EXPECT_NE(silent.error.find("192.0.2.1"), std::string::npos) << silent.error;
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(TcpSerialLine::kConnectTimeoutMs) + 2s);
}

} // namespace
} // namespace maroka::serial
