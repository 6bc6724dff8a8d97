#!/usr/bin/env bash
# CPU of the window while it drip-feeds a program at 115200 baud with the
# data view on: starts the simulated machine, starts `maroka FILE` (a send at
# start-up, then exit), and reads the window's user and system time.
#
#   bench/gui-dnc-cpu.sh BUILD_DIR [KILOBYTES] [CHUNK]
set -euo pipefail
build=${1:?build folder}
kilobytes=${2:-300}
chunk=${3:-1}
work=$(mktemp -d)
trap 'kill $machine 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/src/machine/maroka-machine" --dnc --baud 115200 --bits 10 --buffer 1024 --high 768 --low 256 \
    --link "$work/cnc" >"$work/machine.log" 2>&1 &
machine=$!
for _ in $(seq 50); do [ -e "$work/cnc" ] && break; sleep 0.1; done

python3 - "$work/PROG.NC" "$kilobytes" <<'PY'
import sys
path, size = sys.argv[1], int(sys.argv[2]) * 1024
lines = ["%", "O0001(BENCH)"]
n = 0
while sum(len(l) + 1 for l in lines) < size:
    lines.append("N%d G01 X%.3f Y%.3f Z-1.000 F1200" % (n, (n % 500) * 0.1, (n // 500) * 0.1))
    n += 1
lines += ["M30", "%"]
open(path, "w").write("\n".join(lines) + "\n")
PY
printf '[Maroka 設定]\r\n起動ポート=%s\r\nボーレート=115200\r\nストップビット=1\r\nCODE=ASC\r\nMEM/DNC=DNC\r\n送信バッファ処理数=%s\r\nサイクルスタート無視=1\r\n送信遅延=0\r\n送信後終了=1\r\n送信データ表示=1\r\n起動時送信=1\r\n' \
    "$work/cnc" "$chunk" | iconv -f UTF-8 -t CP932 >"$work/maroka0.ini"
cp "$build/src/gui/maroka" "$work/maroka"
start=$(date +%s.%N)
QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%U %S" -o "$work/time" "$work/maroka" "$work/PROG.NC" >/dev/null 2>&1 || true
end=$(date +%s.%N)
read -r user system <"$work/time"
python3 - "$user" "$system" "$start" "$end" "$(stat -c %s "$work/PROG.NC")" <<'PY'
import sys
user, system, start, end, size = map(float, sys.argv[1:])
wall = end - start
print(f"window: {size/1024:.0f} KB at 115200 8N1, {wall:.1f} s wall, {user+system:.2f} s CPU "
      f"({100*(user+system)/wall:.1f} % of a core), {(user+system)/(size/1e6):.2f} s CPU per MB")
PY
tail -n 3 "$work/machine.log"
