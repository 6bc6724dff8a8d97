#!/usr/bin/env bash
# Counts the C++ lines (.cpp, .h) that are neither blank nor comment in
# src/ and tests/, and prints how many test lines there are per line of
# code. bench/, fuzz/ and tools/ are shown apart and left out of the ratio:
# they measure, explore or take pictures rather than check.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | xargs -0 -r cat | awk '
        {
            line = $0
            if (inBlock) {
                if (index(line, "*/") == 0) next
                line = substr(line, index(line, "*/") + 2)
                inBlock = 0
            }
            sub(/^[ \t]+/, "", line)
            if (line == "" || substr(line, 1, 2) == "//") next
            if (substr(line, 1, 2) == "/*") {
                if (index(line, "*/") == 0) { inBlock = 1; next }
                rest = substr(line, index(line, "*/") + 2)
                sub(/^[ \t]+/, "", rest)
                if (rest == "" || substr(rest, 1, 2) == "//") next
            }
            n++
        }
        END { print n + 0 }'
}

src=$(count src)
tests=$(count tests)
bench=$(count bench)
fuzz=$(count fuzz)
tools=$(count tools)
echo "src:   $src"
echo "tests: $tests"
echo "bench: $bench (not in the ratio)"
echo "fuzz:  $fuzz (not in the ratio)"
echo "tools: $tools (not in the ratio)"
awk -v t="$tests" -v s="$src" 'BEGIN { printf "tests/src: %.3f\n", t / s }'
