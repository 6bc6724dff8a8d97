#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the normal
# build (warnings as errors), the core and its tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

"$root/scripts/install-deps.sh"

echo "== formatting (the repository's .clang-format)"
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'tools/*.cpp' |
    xargs clang-format-14 --dry-run --Werror

echo "== build and test"
cmake -S . -B build/ci -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMAROKA_WERROR=ON -DMAROKA_REQUIRE_TEST_TOOLS=ON \
    -DCMAKE_CXX_FLAGS="-D_GLIBCXX_ASSERTIONS -O1 -D_FORTIFY_SOURCE=2"
ninja -C build/ci -j"$jobs"
ctest --test-dir build/ci --output-on-failure -j"$jobs"

# The DNC line cases measure feed time and starvation against the wire;
# those figures mean nothing in an instrumented build, so they run above only.
echo "== sanitizers (address, undefined)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMAROKA_GUI=OFF -DMAROKA_WERROR=ON -DMAROKA_REQUIRE_TEST_TOOLS=ON \
    -DMAROKA_SANITIZE=address,undefined
ninja -C build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j"$jobs" -LE dnc_line

echo "== thread sanitizer (the tests that run a worker, a UI task queue, a server loop, the simulated machine or the background log)"
tsan_tests=(send_tests receive_tests receive_session_tests server_session_tests session_tests serial_line_tests
    machine_tests logs_tests)
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMAROKA_GUI=OFF -DMAROKA_WERROR=ON \
    -DMAROKA_SANITIZE=thread
ninja -C build/tsan -j"$jobs" "${tsan_tests[@]}"
tsan_pattern="^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -j"$jobs" -R "$tsan_pattern"

if [ -f fuzz/CMakeLists.txt ]; then
    echo "== fuzz targets (short runs)"
    CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMAROKA_GUI=OFF \
        -DMAROKA_TESTS=OFF -DMAROKA_FUZZ=ON
    ninja -C build/fuzz -j"$jobs" fuzz_targets
    for target in build/fuzz/fuzz/maroka-fuzz-*; do
        [ -x "$target" ] || continue
        echo "-- $target"
        "$target" -max_total_time=20 -timeout=10 -rss_limit_mb=2048 >/dev/null 2>"build/fuzz/$(basename "$target").log" ||
            { tail -n 40 "build/fuzz/$(basename "$target").log"; exit 1; }
    done
fi

echo "== Debian package (build, lintian, install, try, remove)"
"$root/scripts/package-test.sh"

echo "all tests passed"
