#!/usr/bin/env bash
# Installs what is needed, builds, and sends an example program to a machine:
# the real one on the port given as the first argument, or else the simulated
# machine, whose received program is shown at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
"$root/scripts/install-deps.sh"
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DMAROKA_GUI=OFF -DMAROKA_TESTS=OFF >/dev/null
ninja -C build/demo maroka-cli maroka-machine
cli="$root/build/demo/src/cli/maroka-cli"
machine="$root/build/demo/src/machine/maroka-machine"
program="$root/examples/O1234.nc"

work=$(mktemp -d)
trap 'kill "${machine_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
settings="$work/maroka0.ini"
"$cli" --settings "$settings" settings set 送信遅延時間 200 >/dev/null

if [ $# -ge 1 ]; then
    echo "== sending $program to $1"
    exec "$cli" --settings "$settings" --port "$1" send "$program"
fi

echo "== starting the simulated machine (memory mode, 9600 baud pace)"
"$machine" --mem --link "$work/cnc" --save "$work/received" --exit-after-program --timeout 60 \
    --cycle-start-after 1 >"$work/machine.out" 2>"$work/machine.err" &
machine_pid=$!
for _ in $(seq 50); do [ -e "$work/cnc" ] && break; sleep 0.1; done
head -n 1 "$work/machine.out"

echo "== maroka-cli send $program (the machine presses cycle start after a second)"
"$cli" --settings "$settings" --port "$work/cnc" send "$program"
wait "$machine_pid" || true
machine_pid=
cat "$work/machine.err"
echo "== the machine received:"
cat "$work/received/"*
