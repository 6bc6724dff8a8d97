// maroka-device-server-bench [MB]
//
// Writes through the ser2net device server (raw and RFC 2217) to a
// pseudo-terminal read as fast as it can be, and reports throughput and the
// CPU seconds per MB of the writing thread and of ser2net. Then measures the
// overshoot after the machine's XOFF: how many bytes still reach the
// pseudo-terminal after the XOFF has been written to it, at 9600 and 115200
// baud, over 40 stops each.

#include "core/serial/TcpSerialLine.h"
#include "support/PtyPair.h"
#include "support/Ser2netServer.h"
#include "support/TempDir.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

using namespace maroka;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

serial::LineSettings Line(std::uint32_t baud, bool obeyXoff)
{
    serial::LineSettings s;
    s.BaudRate = baud;
    s.fOutX = obeyXoff;
    s.XonChar = serial::kXon;
    s.XoffChar = serial::kXoff13;
    s.EvtChar = serial::kXon;
    return s;
}

struct Rig {
    explicit Rig(test::Ser2netServer::Accepter accepter) : server(dir.Path(), pty.SlavePath(), accepter)
    {
        std::string error;
        if (!server.Start(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        auto opened = serial::TcpSerialLine::Open(server.PortName());
        if (!opened.line) {
            std::fprintf(stderr, "%s\n", opened.error.c_str());
            std::exit(1);
        }
        line = std::move(opened.line);
    }

    test::PtyPair pty;
    test::TempDir dir;
    test::Ser2netServer server;
    std::unique_ptr<serial::TcpSerialLine> line;
};

// The highest speed with a termios constant: the pace is then 0.396 MB/s,
// and what is measured is whether the path keeps up and at what CPU cost.
constexpr std::uint32_t kFastestBaud = 4'000'000;

void Throughput(test::Ser2netServer::Accepter accepter, const char* label, std::size_t megabytes)
{
    Rig rig(accepter);
    if (!rig.line->SetState(Line(kFastestBaud, false))) {
        std::fprintf(stderr, "%s\n", rig.line->LastError().c_str());
        std::exit(1);
    }
    std::string data(megabytes * 1'000'000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    std::atomic<std::size_t> got{0};
    std::thread reader([&] {
        char buffer[65536];
        const auto deadline = Clock::now() + 300s;
        while (got < data.size() && Clock::now() < deadline) {
            const ssize_t n = read(rig.pty.MasterFd(), buffer, sizeof buffer);
            if (n > 0)
                got += static_cast<std::size_t>(n);
            else
                std::this_thread::sleep_for(1ms);
        }
    });
    const double serverCpu = ProcessCpuSeconds(rig.server.Pid());
    const double cpu = ThreadCpuSeconds();
    const auto start = Clock::now();
    const auto result = rig.line->Write(data.data(), data.size());
    reader.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double mb = static_cast<double>(data.size()) / 1e6;
    std::printf("%-8s %zu MB all byte values: %s, %.2f MB/s, writer %.3f CPU s/MB, ser2net %.3f CPU s/MB\n", label,
                megabytes, result.status == serial::IoStatus::Ok && got == data.size() ? "complete" : "INCOMPLETE",
                mb / seconds, (ThreadCpuSeconds() - cpu) / mb, (ProcessCpuSeconds(rig.server.Pid()) - serverCpu) / mb);
}

void Overshoot(std::uint32_t baud)
{
    Rig rig(test::Ser2netServer::Accepter::Rfc2217);
    rig.line->SetState(Line(baud, true));
    const std::size_t stops = 40;
    const std::size_t between = baud / 10 / 4; // a quarter of a second of line time
    const std::string data((stops + 2) * between, 'N');
    std::thread writer([&] { rig.line->Write(data.data(), data.size()); });
    std::vector<std::size_t> overshoot;
    std::size_t got = 0;
    for (std::size_t i = 0; i < stops; ++i) {
        got += rig.pty.ReadMaster(between, 10s).size();
        rig.pty.WriteMaster("\x13");
        const std::size_t after = rig.pty.ReadMasterUntilQuiet(300ms).size();
        overshoot.push_back(after);
        got += after;
        rig.pty.WriteMaster("\x11");
    }
    rig.pty.WriteMaster("\x11");
    rig.pty.ReadMaster(data.size() - got, 30s);
    writer.join();
    std::sort(overshoot.begin(), overshoot.end());
    const double characterMs = 10'000.0 / baud;
    std::printf("XOFF at %6u baud: bytes after the XOFF over %zu stops: min %zu, median %zu, 90th %zu, max %zu "
                "(max = %.1f ms of line time; one slice is %zu bytes)\n",
                baud, stops, overshoot.front(), overshoot[overshoot.size() / 2], overshoot[overshoot.size() * 9 / 10],
                overshoot.back(), static_cast<double>(overshoot.back()) * characterMs,
                serial::LinePacer(baud, 10).SliceBytes());
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
    Throughput(test::Ser2netServer::Accepter::Raw, "raw", megabytes);
    Throughput(test::Ser2netServer::Accepter::Rfc2217, "rfc2217", megabytes);
    Overshoot(9600);
    Overshoot(115200);
    return 0;
}
