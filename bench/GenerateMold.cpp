// maroka-gen-mold BLOCKS FILE: writes a mold-finishing program of BLOCKS blocks.

#include "MoldProgram.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: maroka-gen-mold BLOCKS FILE\n");
        return 2;
    }
    return maroka::bench::WriteMoldProgram(argv[2], std::strtoull(argv[1], nullptr, 10)) ? 0 : 1;
}
