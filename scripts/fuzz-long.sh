#!/usr/bin/env bash
# Runs each fuzz target (or those named: prepare, estimate, ...) to ten
# million executions, keeping a corpus per target under build/fuzz-long/corpus so
# that a later run goes on from there, and reports the executions, the time
# and the crashes of each; one input that runs for more than 10 s counts as
# a hang. CI runs the same targets for 20 s each, built for debugging; these
# long runs are optimised (several times the executions a second), with the
# same sanitizers.
#
# MAROKA_FUZZ_WORKERS=N shares the executions of each target among N
# processes on one corpus (libFuzzer's own way of using more cores): each
# picks up what the others find when it next reloads the corpus folder.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${MAROKA_FUZZ_RUNS:-10000000}
workers=${MAROKA_FUZZ_WORKERS:-1}
out=build/fuzz-long

CXX=clang++-14 cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAROKA_GUI=OFF \
    -DMAROKA_TESTS=OFF -DMAROKA_FUZZ=ON >/dev/null
ninja -C "$out" -j"$(nproc)" fuzz_targets

if [ $# -gt 0 ]; then
    targets=()
    for name in "$@"; do targets+=("$out/fuzz/maroka-fuzz-$name"); done
else
    targets=("$out"/fuzz/maroka-fuzz-*)
fi

failed=0
for target in "${targets[@]}"; do
    [ -x "$target" ] || { echo "no such target: $target"; failed=1; continue; }
    name=$(basename "$target")
    corpus="$out/corpus/$name"
    crashes="$out/crashes/$name"
    mkdir -p "$corpus" "$crashes"
    worker_log() { echo "$out/$name-long-$1.log"; }
    start=$(date +%s)
    pids=()
    for ((worker = 1; worker <= workers; worker++)); do
        # Recording where each allocation came from costs a stack walk per
        # malloc; a saved crash input run again alone shows those stacks.
        ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0} \
            "$target" -runs=$(((runs + workers - 1) / workers)) -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$crashes/" "$corpus" >/dev/null 2>"$(worker_log "$worker")" &
        pids+=($!)
    done
    status=0
    for pid in "${pids[@]}"; do wait "$pid" || status=$?; done
    seconds=$(($(date +%s) - start))
    executions=0
    stopped=""
    for ((worker = 1; worker <= workers; worker++)); do
        log=$(worker_log "$worker")
        done_runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
        if [ -z "$done_runs" ]; then
            # A run that was stopped says only how far its last progress line got.
            done_runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n 1)
            stopped="at least "
        fi
        executions=$((executions + ${done_runs:-0}))
    done
    found=$(find "$crashes" -type f ! -name 'slow-unit-*' | wc -l)
    echo "$name: $stopped$executions executions by $workers process(es) in ${seconds} s, exit $status, crash files: $found"
    # libFuzzer keeps an input that once took over 10 s; run alone again, it
    # tells a slow input from a moment the whole machine stood still.
    for unit in "$crashes"/slow-unit-*; do
        [ -f "$unit" ] || continue
        echo "  slow unit $(basename "$unit"): $("$target" "$unit" 2>&1 | sed -n 's/^Executed .* in \([0-9]*\) ms$/\1/p') ms alone"
    done
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        for ((worker = 1; worker <= workers; worker++)); do tail -n 30 "$(worker_log "$worker")"; done
        failed=1
    fi
done
exit $failed
