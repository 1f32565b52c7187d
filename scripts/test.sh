#!/usr/bin/env bash
# Set up, build, and run every test: on the embedded SQLite database and, for
# the connection and data layers, on a throwaway PostgreSQL 15 cluster.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source "$ROOT/scripts/pg.sh"
pg_start
# The PostgreSQL instances of the database tests must run, never be skipped.
export TORVEL_REQUIRE_PG=1
trap pg_stop EXIT
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" --timeout 600
