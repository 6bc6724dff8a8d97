// The kernel's termios2 lives in <asm/termbits.h>, whose struct termios
// clashes with glibc's <termios.h>: this file must not include the latter.
#include "core/serial/TermiosDevice.h"

#include <asm/termbits.h>

#include <algorithm>

namespace maroka::serial {

static_assert(BOTHER == kTermiosBother);
static_assert(NCCS == kTermiosControlChars);

int ReadTermios(SystemCalls& sys, int fd, TermiosImage& termios)
{
    termios2 t{};
    if (RetryOnEintr([&] { return sys.Ioctl(fd, TCGETS2, &t); }) == -1)
        return errno;
    termios.iflag = t.c_iflag;
    termios.oflag = t.c_oflag;
    termios.cflag = t.c_cflag;
    termios.lflag = t.c_lflag;
    termios.line = t.c_line;
    std::copy(std::begin(t.c_cc), std::end(t.c_cc), termios.cc.begin());
    termios.ispeed = t.c_ispeed;
    termios.ospeed = t.c_ospeed;
    return 0;
}

int WriteTermios(SystemCalls& sys, int fd, const TermiosImage& termios)
{
    termios2 t{};
    t.c_iflag = termios.iflag;
    t.c_oflag = termios.oflag;
    t.c_cflag = termios.cflag;
    t.c_lflag = termios.lflag;
    t.c_line = termios.line;
    std::copy(termios.cc.begin(), termios.cc.end(), std::begin(t.c_cc));
    t.c_ispeed = termios.ispeed;
    t.c_ospeed = termios.ospeed;
    if (RetryOnEintr([&] { return sys.Ioctl(fd, TCSETS2, &t); }) == -1)
        return errno;
    return 0;
}

} // namespace maroka::serial
