// maroka-cli feeding the simulated machine in DNC mode over a true line:
// the machine takes bytes off the pseudo-terminal at the wire's pace and
// executes them at its own, slower pace, so its buffer fills and the feed
// runs through many XOFF/XON cycles, as on a real control.

#include "e2e/CliRun.h"

#include "core/text/ControlCodes.h"

#include <algorithm>

using namespace maroka;
using namespace std::chrono_literals;

namespace {

struct LineCase {
    const char* name;
    unsigned baud;
    bool iso; // 7E2 when set, else 8N1
    std::size_t buffer;
    std::size_t high;
    std::size_t low;
    unsigned char xoff;
    double execShare; // execution pace as a share of the line's
};

double LineCharsPerSecond(const LineCase& c)
{
    return c.baud / (c.iso ? 11.0 : 10.0);
}

class DncLine : public test::EndToEnd {
protected:
    struct Outcome {
        machine::MachineReport report;
        std::string consumed;
        std::string prepared;
        std::string senderErr;   // what maroka-cli said while sending
        double limitSeconds = 0; // the physical limit of the feed
    };

    Outcome Feed(const LineCase& c, double execCharsPerSecond, const std::string& program)
    {
        machine::MachineConfig config;
        config.mode = machine::MachineMode::Dnc;
        config.lineCharsPerSecond = LineCharsPerSecond(c);
        config.execCharsPerSecond = execCharsPerSecond;
        config.bufferSize = c.buffer;
        config.highWater = c.high;
        config.lowWater = c.low;
        config.xoffByte = c.xoff;
        StartMachine(config);
        WriteSettings([&](settings::SessionSettings& s) {
            s.baudRate = std::to_string(c.baud);
            s.code = c.iso ? "ISO" : "ASC";
            s.stopBits = c.iso ? "2" : "1";
            s.dc3Code = c.xoff == text::kXoff93 ? "93H" : "13H";
            s.sendMode = "DNC";
            s.sendBufferSize = "256";
        });
        const std::string source = File("O2000.NC", program);
        const std::string preparedPath = (dir / "prepared.nc").string();
        const auto prepared = test::RunCli(Command({"prepare", "--dnc", "--output", preparedPath, source}), 60s);
        EXPECT_EQ(prepared.exitCode, 0) << prepared.err;
        Outcome outcome;
        outcome.prepared = test::ReadFileBytes(preparedPath);
        const double slower = std::min(config.lineCharsPerSecond, machine::ExecCharsPerSecond(config));
        outcome.limitSeconds = static_cast<double>(outcome.prepared.size()) / slower;

        const auto limit = std::chrono::seconds(static_cast<long long>(outcome.limitSeconds * 2 + 30));
        const auto sent = test::RunCli(Command({"send", source}), limit);
        EXPECT_EQ(sent.exitCode, 0) << sent.err.substr(sent.err.size() > 600 ? sent.err.size() - 600 : 0);
        outcome.senderErr = sent.err;
        // The send ends when the last byte has left the PC; the control
        // still executes what its buffer holds.
        machine->WaitConsumed(outcome.prepared.size(), 20s);
        machine->Stop();
        outcome.report = machine->Report();
        outcome.consumed = machine->ConsumedBytes();
        return outcome;
    }

    static std::string Describe(const Outcome& o)
    {
        const auto& r = o.report;
        return "received " + std::to_string(r.bytesReceived) + ", executed " + std::to_string(r.bytesConsumed) +
               " of " + std::to_string(o.prepared.size()) + ", lost " + std::to_string(r.lostBytes) + ", alarms " +
               std::to_string(r.alarms) + ", XOFF " + std::to_string(r.xoffSent) + ", buffer peak " +
               std::to_string(r.maxBufferFill) + ", most after an XOFF " + std::to_string(r.maxAfterXoff) +
               ", starved " + std::to_string(r.starvedSeconds) + " s, feed " + std::to_string(r.feedSeconds) +
               " s against " + std::to_string(o.limitSeconds) + " s";
    }
};

// Each case feeds at least 20 KB; the control executes at 85 % of the line,
// so the buffer climbs slowly to the XOFF mark and drains quickly to the XON
// mark, many times over.
class DncLineCase : public DncLine, public ::testing::WithParamInterface<LineCase> {};

TEST_P(DncLineCase, FeedsEveryByteWithoutStarvingTheControl)
{
    const LineCase& c = GetParam();
    const Outcome o = Feed(c, LineCharsPerSecond(c) * c.execShare, test::NcProgram(20 * 1024));
    const auto& r = o.report;
    ASSERT_GE(o.prepared.size(), 20u * 1024u);
    EXPECT_EQ(r.lostBytes, 0u) << Describe(o);
    EXPECT_EQ(r.alarms, 0u) << Describe(o);
    EXPECT_TRUE(o.consumed == o.prepared) << Describe(o);
    EXPECT_GE(r.xoffSent, 3u) << Describe(o);
    EXPECT_LT(r.starvedSeconds, 0.02 * r.feedSeconds) << Describe(o);
    // No feed beats the slower of wire and execution; a good one comes close.
    EXPECT_GE(r.feedSeconds, o.limitSeconds) << Describe(o);
    EXPECT_LE(r.feedSeconds, 1.10 * o.limitSeconds) << Describe(o);
}

INSTANTIATE_TEST_SUITE_P(Lines, DncLineCase,
                         ::testing::Values(LineCase{"B4800_7E2", 4800, true, 128, 96, 32, text::kXoff93, 0.85},
                                           LineCase{"B9600_7E2", 9600, true, 256, 192, 64, text::kXoff13, 0.85},
                                           LineCase{"B38400_8N1", 38400, false, 1024, 768, 256, text::kXoff13, 0.85},
                                           LineCase{"B115200_8N1", 115200, false, 1024, 768, 256, text::kXoff13, 0.85}),
                         [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(DncLine, AControlFasterThanTheLineStarvesAndSaysSo)
{
    const LineCase c{"B38400_8N1", 38400, false, 256, 192, 64, text::kXoff13, 1.0};
    const double exec = 8000; // a little over twice what the line carries
    // 0.1 mm moves at F6000 take 1 ms each: 22 characters a millisecond,
    // far more than the line carries. The forecast says so before the send.
    std::string program = "%\nO2000(FAST)\n";
    for (int n = 0; program.size() < 20 * 1024; ++n)
        program += n % 2 == 0 ? "G01X0.100Y0.000F6000\n" : "G01X0.000Y0.000F6000\n";
    program += "M30\n%\n";
    const Outcome o = Feed(c, exec, program);
    const auto& r = o.report;
    EXPECT_NE(o.senderErr.find("DNC 供給不足の予測（38400 bps）"), std::string::npos) << o.senderErr.substr(0, 600);
    EXPECT_EQ(r.lostBytes, 0u) << Describe(o);
    EXPECT_TRUE(o.consumed == o.prepared) << Describe(o);
    EXPECT_EQ(r.xoffSent, 0u) << Describe(o);
    // The control executes a byte in 1/8000 s and then waits for the next
    // for the rest of the line's character time: about half of the feed.
    const double busy = static_cast<double>(o.prepared.size()) / exec;
    EXPECT_GT(r.starvedSeconds, 0.4 * r.feedSeconds) << Describe(o);
    EXPECT_NEAR(r.starvedSeconds, r.feedSeconds - busy, 0.03 * r.feedSeconds) << Describe(o);
    EXPECT_GE(r.feedSeconds, o.limitSeconds) << Describe(o);
}

} // namespace
