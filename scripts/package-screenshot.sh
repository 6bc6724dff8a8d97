#!/usr/bin/env bash
# Takes docs/images/desktop-entry-icon.png: the installed main window under
# Xvfb with a window manager (openbox), its title bar showing the icon of the
# desktop entry next to the title. Installs the package of build/package
# (scripts/package.sh) for the shot and removes it again unless it was
# installed before. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
output="$root/docs/images/desktop-entry-icon.png"

command -v openbox >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends openbox >/dev/null
was_installed=1
if ! dpkg -s maroka >/dev/null 2>&1; then
    was_installed=0
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(ls "$root"/build/package/maroka_*.deb)" >/dev/null
fi

work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    [ "$was_installed" = 1 ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq maroka >/dev/null 2>&1 || true
}
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"

cat >"$work/shot.sh" <<'SHOT'
set -euo pipefail
work=$1
openbox >"$work/openbox.log" 2>&1 &
maroka-machine --link "$work/cnc" --timeout 60 >"$work/machine.out" 2>&1 &
for _ in $(seq 50); do [ -L "$work/cnc" ] && break; sleep 0.1; done
maroka-cli settings set 起動ポート "$work/cnc" >/dev/null
for key_value in "LEFT 40" "TOP 40" "WIDTH 640" "HEIGHT 420"; do
    maroka-cli settings set $key_value >/dev/null
done
maroka >"$work/maroka.log" 2>&1 &
sleep 6
import -window root "$work/screen.png"
kill %3 %2 %1 2>/dev/null || true
SHOT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/shot.sh" "$work"
# The window with its title bar and frame: all that is not the black root window.
convert "$work/screen.png" -trim +repage -bordercolor black -border 8 -strip "$output"
echo "$output"
