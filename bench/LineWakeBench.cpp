// How soon a blocked WaitEvent on a serial line returns after Interrupt():
// the time a Reset takes to reach a worker that waits for the machine.
// Runs over a pseudo-terminal; prints the fastest, median and slowest of
// the rounds.
//
//   maroka-line-wake-bench [ROUNDS]

#include "core/serial/PosixSerialLine.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace maroka::serial;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    SerialOpenResult opened = PosixSerialLine::Open(name);
    if (!opened.line) {
        std::fprintf(stderr, "%s\n", opened.error.c_str());
        return 1;
    }
    SerialLine& line = *opened.line;

    std::vector<double> micros;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point returned;
        std::thread waiter([&] {
            std::uint32_t events = 0;
            line.WaitEvent(kEvAllButTxEmpty, events);
            returned = Clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const Clock::time_point interruptedAt = Clock::now();
        line.Interrupt();
        waiter.join();
        line.ClearInterrupt();
        micros.push_back(std::chrono::duration<double, std::micro>(returned - interruptedAt).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("WaitEvent woke after Interrupt(): fastest %.0f us, median %.0f us, slowest %.0f us (%d rounds)\n",
                micros.front(), micros[micros.size() / 2], micros.back(), rounds);
    line.Close();
    close(master);
    return 0;
}
