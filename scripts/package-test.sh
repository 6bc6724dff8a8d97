#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it with apt and
# tries the installed programs the way a user of this PC would: help and
# manual pages, the desktop entry, settings and work files under the user's
# folders, a send from maroka-cli to maroka-machine and one started the way
# the desktop entry starts the window; then removes the package again.
# Needs root (apt-get); leaves the PC as it found it.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
cd "$(dirname "$0")/.."
root=$PWD

fail() { echo "package test FAILED: $*" >&2; exit 1; }
step() { echo "-- $*"; }

"$root/scripts/package.sh"
deb=$(ls "$root"/build/package/maroka_*.deb)

work=$(mktemp -d)
machine_pid=
gui_pid=
cleanup() {
    [ -n "$machine_pid" ] && kill "$machine_pid" 2>/dev/null || true
    [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null || true
    rm -rf "$work"
    if dpkg -s maroka >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq maroka >/dev/null 2>&1 || true
    fi
}
trap cleanup EXIT

step "lintian (an error fails; every tag is listed, see docs/packaging.md)"
lintian_status=0
lintian --fail-on error --display-info --pedantic "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v "root privileges" "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports an error"

step "apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "the package does not install"; }
installed=$(dpkg -L maroka)
for program in maroka maroka-cli maroka-machine; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not in /usr/bin"
    man -w "$program" >/dev/null || fail "no manual page for $program"
done

step "help, manual page, desktop entry, icons"
maroka-cli --help | grep -q "^usage: maroka-cli" || fail "maroka-cli --help"
maroka-machine --help | grep -q "^Usage: maroka-machine" || fail "maroka-machine --help"
[ "$(man -w maroka-cli)" = /usr/share/man/man1/maroka-cli.1.gz ] || fail "man -w maroka-cli: $(man -w maroka-cli)"
MANWIDTH=80 man maroka-cli 2>&1 | grep -q "EXIT STATUS" || fail "man maroka-cli does not render"
desktop=/usr/share/applications/maroka.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
for size in 16 24 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/maroka.png
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done
[ -f /usr/share/doc/maroka/cli.md ] && [ -f /usr/share/doc/maroka/copyright ] || fail "documentation missing"

# An ordinary user, whose HOME is a fresh folder: nobody, without groups.
home="$work/home"
mkdir -p "$home"
chown -R nobody:nogroup "$work"
as_user() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env \
        env HOME="$home" PATH=/usr/bin:/bin "$@"
}

step "settings and work folder under XDG"
[ "$(as_user maroka-cli settings path)" = "$home/.config/maroka/maroka0.ini" ] ||
    fail "settings path without XDG_CONFIG_HOME: $(as_user maroka-cli settings path)"
[ "$(as_user env XDG_CONFIG_HOME="$home/cfg" maroka-cli settings path)" = "$home/cfg/maroka/maroka0.ini" ] ||
    fail "settings path with XDG_CONFIG_HOME"
as_user maroka-cli settings set ボーレート 19200 >/dev/null || fail "settings set as a user"
[ "$(as_user maroka-cli settings get ボーレート)" = 19200 ] || fail "settings get as a user"
# Root may write to /usr/bin, yet the files still go to root's own folders.
[ "$(env -u XDG_CONFIG_HOME HOME="$work/root" maroka-cli settings path)" = "$work/root/.config/maroka/maroka0.ini" ] ||
    fail "root's settings path: $(env -u XDG_CONFIG_HOME HOME="$work/root" maroka-cli settings path)"
env -u XDG_CONFIG_HOME HOME="$work/root" maroka-cli settings set ボーレート 4800 >/dev/null || fail "settings set as root"
[ -f "$work/root/.config/maroka/maroka0.ini" ] || fail "root's settings file was not written"

step "send from the installed maroka-cli to the installed maroka-machine"
# A program of some size with Shift-JIS comments: every byte must arrive.
program="$work/O4321.nc"
{
    printf '%%\nO4321(\x83\x65\x83\x58\x83\x67)\n'
    for i in $(seq 1 400); do printf 'N%d G01 X%d.%03d Y-%d.5 F1200(\x89\xc1\x8d\x48)\n' "$i" "$i" "$i" "$i"; done
    printf 'M30\n%%\n'
} >"$program"
chown nobody:nogroup "$program"
as_user maroka-machine --mem --cps 20000 --link "$work/cnc" --save "$work/received" --exit-after-program \
    --timeout 60 --cycle-start-after 1 >"$work/machine.out" 2>"$work/machine.err" &
machine_pid=$!
for _ in $(seq 100); do [ -L "$work/cnc" ] && break; sleep 0.1; done
[ -L "$work/cnc" ] || fail "maroka-machine did not start: $(cat "$work/machine.err")"
as_user maroka-cli --port "$work/cnc" send --direct "$program" 2>"$work/cli.err" ||
    { cat "$work/cli.err"; fail "maroka-cli send"; }
wait "$machine_pid" || { cat "$work/machine.err"; fail "maroka-machine"; }
machine_pid=
cmp "$program" "$work/received/O4321.NC" || fail "the machine received other bytes"
echo "   $(stat -c %s "$program") bytes arrived byte for byte"
ls "$home"/.local/share/maroka/Maroka_Work/LOGFILE.* >/dev/null 2>&1 || fail "no communication log in XDG_DATA_HOME"

step "the desktop entry's command sends the file it is given"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = "maroka %f" ] || fail "unexpected Exec line: $exec_line"
rm -rf "$work/received"
as_user maroka-machine --mem --cps 20000 --link "$work/cnc" --save "$work/received" --exit-after-program \
    --timeout 60 --cycle-start-after 2 >"$work/machine.out" 2>"$work/machine.err" &
machine_pid=$!
for _ in $(seq 100); do [ -L "$work/cnc" ] && break; sleep 0.1; done
as_user maroka-cli settings set 起動ポート "$work/cnc" >/dev/null
# A file manager passes the full path; "ini" in the file's name must not
# make it a settings instance.
opened="$work/finish.nc"
cp "$program" "$opened" && chown nobody:nogroup "$opened"
as_user env QT_QPA_PLATFORM=offscreen ${exec_line%% *} "$opened" >"$work/gui.log" 2>&1 &
gui_pid=$!
wait "$machine_pid" || { cat "$work/machine.err" "$work/gui.log"; fail "maroka-machine under the window"; }
machine_pid=
kill "$gui_pid" 2>/dev/null || true
wait "$gui_pid" 2>/dev/null || true
gui_pid=
# Sent as F2 sends, with the send settings: the blocks arrive, line ends may differ.
[ -f "$work/received/O4321.NC" ] || fail "the window did not send the file it was started with"
[ "$(tr -d '\r' <"$work/received/O4321.NC" | grep -c '^N[0-9]* G01 ')" = 400 ] ||
    fail "the window's send lost blocks"

step "nothing beside the programs"
for stray in /usr/bin/maroka0.ini /usr/bin/Maroka_Work; do
    [ ! -e "$stray" ] || fail "$stray was written"
done

step "remove and purge"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq maroka >/dev/null
# The package has no configuration files, so removing it may leave nothing to purge.
if dpkg -s maroka >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq maroka >/dev/null
fi
! dpkg -s maroka >/dev/null 2>&1 || fail "maroka is still known to dpkg"
while read -r path; do
    [ -d "$path" ] && continue
    [ ! -e "$path" ] || fail "$path is left after purge"
done <<<"$installed"
echo "package test passed"
