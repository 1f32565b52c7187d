#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the prefix (nothing may
# depend on where it was installed), then builds and runs hosts against it
# the way a host developer would: torvel-host as installed, the C and C++
# hosts through find_package and through pkg-config. The prefix goes at the end.
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION C_HOST_SOURCE
set -euo pipefail
BUILD=$1 SRC=$2 VERSION=$3 C_HOST=$4
WORK=$(mktemp -d /tmp/torvel-install.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export TORVEL_REGISTRY=$WORK/registry.ini XDG_RUNTIME_DIR=$WORK QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() {   # expect LINE OUTPUT
    grep -qxF -- "$1" <<<"$2" || fail "expected '$1' in:"$'\n'"$2"
}

cmake --install "$BUILD" --prefix "$WORK/staged" >/dev/null
mv "$WORK/staged" "$WORK/prefix"
P=$WORK/prefix
LIBDIR=$(cd "$P" && dirname "$(find . -name "libtorvel.so.${VERSION%%.*}")")
LIB=$P/${LIBDIR#./}/libtorvel.so.${VERSION%%.*}

# Only the public headers.
headers=$(cd "$P/include" && find . -type f | sort | tr '\n' ' ')
[ "$headers" = "./torvel/hostsupport.h ./torvel/torvel.h " ] || fail "installed headers: $headers"

# torvel-host as installed: its version, the demo database, and the library
# beside it registered and loaded.
expect "torvel-host $VERSION" "$("$P/bin/torvel-host" --version)"
"$P/bin/torvel-host" summary --db "$WORK/scratch.db" >/dev/null
out=$("$P/bin/torvel-host" bom --id 1 --db "$WORK/scratch.db" --offscreen --screenshot "$WORK/bom.png")
expect "ReturnBomID=1" "$out"
[ -s "$WORK/bom.png" ] || fail "no screenshot of the editor"
expect "InprocServer=$LIB" "$(cat "$TORVEL_REGISTRY")"

check_hosts() {   # check_hosts C_HOST CPP_HOST
    out=$("$1" "$LIB") || fail "C host: $out"
    expect "ReturnBomID=7" "$out"
    out=$("$2" "$LIB" "$WORK/scratch.db") || fail "C++ host: $out"
    expect "ReturnBomID=1" "$out"
    grep -qx 'Boms=[1-9][0-9]*' <<<"$out" || fail "C++ host read no BOMs: $out"
}

# find_package; the project file is kept under another name so the suite's
# own CMake never reads it.
mkdir "$WORK/project"
cp "$SRC/tests/packaging/consumer/cpp_host.cpp" "$WORK/project/"
cp "$SRC/tests/packaging/consumer/host-project.cmake" "$WORK/project/CMakeLists.txt"
cmake -S "$WORK/project" -B "$WORK/cm" -G Ninja -DCMAKE_PREFIX_PATH="$P" -DC_HOST_SOURCE="$C_HOST" >/dev/null
cmake --build "$WORK/cm" >/dev/null
[ "$(cat "$WORK/cm/library.txt")" = "$LIB" ] || fail "TORVEL_LIBRARY is $(cat "$WORK/cm/library.txt")"
check_hosts "$WORK/cm/c_host" "$WORK/cm/cpp_host"

# pkg-config
export PKG_CONFIG_PATH=$P/${LIBDIR#./}/pkgconfig
expect "$VERSION" "$(pkg-config --modversion torvel)"
cc -std=c11 "$C_HOST" -o "$WORK/c_host_pc" $(pkg-config --cflags --libs torvel) -ldl
c++ -std=c++17 "$SRC/tests/packaging/consumer/cpp_host.cpp" -o "$WORK/cpp_host_pc" \
    $(pkg-config --cflags --libs torvel-hostsupport)
check_hosts "$WORK/c_host_pc" "$WORK/cpp_host_pc"
echo "installed, built against and ran from $P"
