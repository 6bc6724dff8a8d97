#pragma once

// Reading and writing a tty's termios through termios2 (TCGETS2/TCSETS2), so
// that speeds without a B-constant work. Each returns 0 on success or the
// errno of the failed call; on failure `termios` is not changed.

#include "core/serial/SystemCalls.h"
#include "core/serial/TermiosImage.h"

namespace maroka::serial {

int ReadTermios(SystemCalls& sys, int fd, TermiosImage& termios);
int WriteTermios(SystemCalls& sys, int fd, const TermiosImage& termios);

} // namespace maroka::serial
