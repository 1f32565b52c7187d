#!/usr/bin/env bash
# Guards run after the test command: the whole project and its tests built
# with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (clang,
# through ccache) and the suite run there, then each libFuzzer target run from
# its seed corpus (fuzz/corpus) for FUZZ_SECONDS. Any report fails the run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source "$ROOT/scripts/pg.sh"

ASAN_DIR=${ASAN_DIR:-$ROOT/build-asan}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
# fuzzer-no-link: the library code carries the coverage the fuzz targets steer by.
SAN_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -fsanitize=fuzzer-no-link"
# The sanitizer runtimes live in each executable and the shared libraries
# find them there at load time; "-z undefs" at the end of every link line
# lifts the libraries' --no-undefined for those symbols alone in this build.
clang++ -v >/dev/null 2>&1 || { echo "clang is missing" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$SAN_FLAGS" -DCMAKE_CXX_FLAGS="$SAN_FLAGS" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_C_STANDARD_LIBRARIES="-Wl,-z,undefs" -DCMAKE_CXX_STANDARD_LIBRARIES="-Wl,-z,undefs" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DTORVEL_BUILD_BENCH=OFF -DTORVEL_BUILD_FUZZ=ON >/dev/null
nice -n 5 cmake --build "$ASAN_DIR" -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

pg_start
export TORVEL_REQUIRE_PG=1
trap pg_stop EXIT
# The install test builds hosts of its own outside this build, without the
# sanitizer runtime the installed libraries now need; it runs in the
# ordinary suite.
(cd "$ASAN_DIR" && ctest --output-on-failure -j "$(nproc)" --timeout 900 -E '^packaging_install_test$')

# Each target reads the committed seeds and writes what it finds, and the
# input of any crash, to a scratch folder, so the seeds stay as committed.
# They run side by side: the time bound is per target, on the wall clock.
WORK=$(mktemp -d /tmp/torvel-fuzz.XXXXXX)
names=()
for seeds in "$ROOT"/fuzz/corpus/*/; do
    name=$(basename "$seeds")
    names+=("$name")
    mkdir -p "$WORK/$name"
    "$ASAN_DIR/fuzz/fuzz_$name" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$WORK/$name/" -print_final_stats=1 "$WORK/$name" "$seeds" >"$WORK/$name.log" 2>&1 &
    echo $! >"$WORK/$name.pid"
done
status=0
for name in "${names[@]}"; do
    if wait "$(cat "$WORK/$name.pid")"; then
        echo "fuzz_$name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$WORK/$name.log" | grep -o '[0-9]*$') runs, no crash"
    else
        tail -n 60 "$WORK/$name.log"
        echo "fuzz_$name failed; its input is in $WORK/$name" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && rm -rf "$WORK"
exit "$status"
