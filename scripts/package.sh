#!/usr/bin/env bash
# Builds the Debian package in Release, GUI included: build/package/maroka_*.deb.
# The hardening flags are those Debian builds its own packages with. Warnings
# do not stop it: GCC 12 at -O3 warns falsely in std::string (-Wrestrict), and
# the Debug build of scripts/test.sh already holds every warning as an error.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="$root/build/package"
jobs=${MAROKA_JOBS:-2}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DMAROKA_GUI=ON -DMAROKA_TESTS=OFF -DMAROKA_WERROR=OFF \
    -DCMAKE_CXX_FLAGS="-fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2" \
    -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" >/dev/null
ninja -C "$build" -j"$jobs"
rm -f "$build"/maroka_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/maroka_*.deb
