#include "SerialTestSupport.h"

#include "core/serial/TcpSerialLine.h"
#include "support/Ser2netServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <chrono>
#include <thread>

namespace maroka::serial {
namespace {

using namespace std::chrono_literals;
using maroka::test::PtyPair;
using maroka::test::Ser2netServer;
using maroka::test::TempDir;
using test::AllBytes;
using test::AscLine;
using Clock = std::chrono::steady_clock;

// A line that passes every byte value: no XON/XOFF of ours, no NUL removal.
LineSettings TransparentLine(std::uint32_t baud = 115200)
{
    LineSettings s = AscLine(kXoff13, baud);
    s.fOutX = false;
    s.fNull = false;
    return s;
}

struct DeviceServer : ::testing::TestWithParam<Ser2netServer::Accepter> {
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
    }

    std::unique_ptr<TcpSerialLine> Connect(const LineSettings& settings)
    {
        auto opened = TcpSerialLine::Open(server.PortName());
        EXPECT_TRUE(opened.line) << opened.error;
        if (opened.line) {
            EXPECT_TRUE(opened.line->SetState(settings)) << opened.line->LastError();
        }
        return std::move(opened.line);
    }

    // Reads from the line until `count` bytes came or `limit` passed.
    static std::string ReadLine(SerialLine& line, std::size_t count, std::chrono::milliseconds limit)
    {
        std::string got;
        const auto deadline = Clock::now() + limit;
        char buffer[4096];
        while (got.size() < count && Clock::now() < deadline) {
            if (line.WaitReadable(50) != IoStatus::Ok)
                break;
            const IoResult r = line.ReadAvailable(buffer, sizeof buffer);
            got.append(buffer, r.count);
        }
        return got;
    }

    PtyPair pty;
    TempDir dir;
    Ser2netServer server{dir.Path(), pty.SlavePath(), GetParam()};
};

TEST_P(DeviceServer, EveryByteValuePassesBothWays)
{
    auto line = Connect(TransparentLine());
    ASSERT_TRUE(line);
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
    EXPECT_EQ(ReadLine(*line, back.size(), 10s), back);

    // Only the raw port leaves the line settings to the server, and says so once.
    const std::string notice = line->TakeNotice();
    EXPECT_EQ(notice.empty(), GetParam() == Ser2netServer::Accepter::Rfc2217) << notice;
    EXPECT_EQ(line->TakeNotice(), "");
}

TEST_P(DeviceServer, ASecondClientFindsThePortInUse)
{
    auto first = Connect(TransparentLine());
    ASSERT_TRUE(first);
    const auto second = TcpSerialLine::Open(server.PortName());
    EXPECT_FALSE(second.line);
    EXPECT_NE(second.error.find("in use"), std::string::npos) << second.error;
}

// The server goes away in the middle of a write: the write ends as with a
// vanished device, and the next transfer's SetState connects again.
TEST_P(DeviceServer, AServerKilledMidSendEndsTheWriteAndTheNextSetupReconnects)
{
    auto line = Connect(TransparentLine(9600));
    ASSERT_TRUE(line);
    const std::string out = AllBytes(20'000); // about 20 s at 9600 baud
    std::atomic<bool> done{false};
    std::thread drain([&] {
        while (!done)
            pty.ReadMaster(1 << 16, 50ms);
    });
    IoResult result;
    Clock::time_point ended;
    std::thread writer([&] {
        result = line->Write(out.data(), out.size());
        ended = Clock::now();
    });
    std::this_thread::sleep_for(500ms);
    const auto killed = Clock::now();
    server.Kill();
    writer.join();
    EXPECT_EQ(result.status, IoStatus::Failed);
    EXPECT_LT(result.count, out.size());
    EXPECT_LT(ended - killed, 5s);
    EXPECT_NE(line->LastError().find(kDeviceGoneText), std::string::npos) << line->LastError();

    done = true;
    drain.join();
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    ASSERT_TRUE(line->SetState(TransparentLine())) << line->LastError();
    pty.ReadMasterUntilQuiet(100ms);
    std::string toMachine;
    std::thread reader([&] { toMachine = pty.ReadMaster(3, 5s); });
    EXPECT_EQ(line->Write("abc", 3).status, IoStatus::Ok) << line->LastError();
    reader.join();
    EXPECT_EQ(toMachine, "abc");
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

// The machine's XOFF comes back through the server to our own flow control;
// what still reaches the machine is what was on its way while the XOFF
// travelled, which the pacing keeps to a few characters at 9600 baud.
TEST_P(Rfc2217Server, TheMachinesXoffStopsTheWriteThroughTheServer)
{
    auto line = Connect(AscLine(kXoff13, 9600));
    ASSERT_TRUE(line);
    const std::string out(6000, 'N');
    IoResult result;
    std::thread writer([&] { result = line->Write(out.data(), out.size()); });
    std::string got = pty.ReadMaster(1500, 10s);
    pty.WriteMaster("\x13");
    got += pty.ReadMasterUntilQuiet(300ms);
    const std::size_t atStop = got.size();
    std::this_thread::sleep_for(1s);
    got += pty.ReadMasterUntilQuiet(100ms);
    EXPECT_EQ(got.size(), atStop) << "nothing may come while the XOFF holds";
    // A DNC control raises XOFF with a quarter of its 256 bytes still free.
    EXPECT_LE(atStop, 1500u + 64u);
    pty.WriteMaster("\x11");
    got += pty.ReadMaster(out.size() - got.size(), 15s);
    writer.join();
    EXPECT_EQ(result.status, IoStatus::Ok) << line->LastError();
    EXPECT_EQ(got, out);
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
