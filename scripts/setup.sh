#!/usr/bin/env bash
# Installs what the build needs from Debian's packages (only what is missing),
# then configures and builds into ./build. Sourced by run.sh and test.sh.
set -euo pipefail

PACKAGES=(build-essential cmake ninja-build ccache pkg-config
          libgtest-dev libbenchmark-dev libsqlite3-dev
          qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
          postgresql-15 libpq-dev fonts-wqy-zenhei
          clang libclang-rt-14-dev)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
