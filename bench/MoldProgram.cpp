#include "MoldProgram.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

namespace maroka::bench {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

class Writer {
public:
    explicit Writer(std::FILE* f) : f_(f) {}

    template <typename... Args> void Line(const char* format, Args... args)
    {
        std::fprintf(f_, format, args...);
        std::fputs("\r\n", f_);
        ++count_;
    }

    std::uint64_t Count() const { return count_; }

private:
    std::FILE* f_;
    std::uint64_t count_ = 0;
};

// The mold surface: a few gentle bumps and a pocket.
double Surface(double x, double y)
{
    return -2.0 + 1.5 * std::sin(x / 23.0) * std::cos(y / 17.0) -
           0.8 * std::exp(-((x - 60) * (x - 60) + (y - 40) * (y - 40)) / 900.0);
}

} // namespace

bool WriteMoldProgram(const std::string& path, std::uint64_t blocks)
{
    File file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
    Writer w(file.get());
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<int> percent(0, 999);

    w.Line("%%");
    w.Line("O1000 (MOLD CAVITY FINISH)");
    w.Line("(T12 BALL END MILL R3. STOCK 0.)");
    w.Line("G90 G17 G21 G40 G49 G80");
    w.Line("G91 G28 Z0.");
    w.Line("T12 M06");
    w.Line("G00 G90 G54 X0. Y0. S12000 M03");
    w.Line("G43 H12 Z50. M08");

    const double width = 180.0;
    const double step = 0.15;
    double x = 0, y = 0;
    int direction = 1;
    int pass = 0;
    while (w.Count() + 12 < blocks) {
        const int r = percent(random);
        if (r < 2) {
            // Next raster pass: lift, link, plunge.
            ++pass;
            y += step;
            w.Line("(PASS %d)", pass);
            w.Line("G00 Z5.");
            w.Line("X%.3f Y%.3f", x, y);
            w.Line("G01 Z%.3f F800.", Surface(x, y));
            w.Line("F2500.");
            direction = -direction;
        } else if (r < 4) {
            w.Line("/M01");
        } else if (r < 14) {
            // A corner arc; in the XY plane mostly, by centre or radius.
            const double radius = 0.5 + percent(random) / 400.0;
            const double nx = x + direction * radius;
            const double ny = y + radius;
            if (r < 9)
                w.Line("G02 X%.3f Y%.3f I%.3f J0.", nx, ny, direction * radius);
            else
                w.Line("G03 X%.3f Y%.3f R%.3f", nx, ny, radius);
            w.Line("G01");
            x = nx;
            y = ny;
        } else if (r < 18) {
            // Wall arcs in the ZX and YZ planes, then back to XY.
            const double radius = 1.0 + percent(random) / 500.0;
            const double z = Surface(x, y);
            w.Line("G18 G02 X%.3f Z%.3f K%.3f I0.", x + radius, z - radius, -radius);
            w.Line("G19 G03 Y%.3f Z%.3f R%.3f", y + radius, z, radius);
            w.Line("G17 G01");
            x += radius;
            y += radius;
        } else if (r < 20) {
            // Helical entry.
            const double z = Surface(x, y);
            w.Line("G17 G03 X%.3f Y%.3f Z%.3f I-1.5 J0.", x, y, z - 0.2);
            w.Line("G01");
        } else if (r < 25) {
            w.Line("X%.3f Y%.3f Z%.3f F%d.", x, y, Surface(x, y), 1800 + 100 * (r % 8));
        } else {
            x += direction * 0.2;
            if (x > width || x < 0) {
                direction = -direction;
                x += 2 * direction * 0.2;
            }
            w.Line("X%.3f Y%.3f Z%.3f", x, y, Surface(x, y));
        }
        if (y > 150)
            y = 0;
    }
    w.Line("G00 Z50.");
    w.Line("M09");
    w.Line("M05");
    w.Line("G91 G28 Z0.");
    w.Line("M30");
    w.Line("%%");
    return std::ferror(file.get()) == 0;
}

bool WriteCallProgram(const std::string& folder, int calls, int subBlocks)
{
    {
        File sub(std::fopen((folder + "/SUB.NC").c_str(), "wb"));
        if (!sub)
            return false;
        Writer w(sub.get());
        w.Line("%%");
        w.Line("O9100 (POCKET CORNER)");
        w.Line("G90G00X#24Y#25");
        w.Line("G01Z#26F#9");
        for (int i = 0; i + 6 < subBlocks; ++i)
            w.Line("G91X%.3fY%.3f", 0.5 * ((i % 4) - 1.5), 0.25 * ((i % 3) - 1));
        w.Line("G90G00Z5.");
        w.Line("M99");
        w.Line("%%");
    }
    File main(std::fopen((folder + "/MAIN.NC").c_str(), "wb"));
    if (!main)
        return false;
    Writer w(main.get());
    w.Line("%%");
    w.Line("O1000");
    w.Line("G90G54G17");
    for (int i = 0; i < calls; ++i)
        w.Line("G65[SUB.NC]X%.3fY%.3fZ-%.3fF1200.", (i % 100) * 2.0, (i / 100) * 2.0, 0.5 + (i % 7) * 0.1);
    w.Line("M30");
    w.Line("%%");
    return true;
}

} // namespace maroka::bench
