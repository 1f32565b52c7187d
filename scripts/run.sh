#!/usr/bin/env bash
# Set up, build, and run the demo host on the embedded SQLite database.
# Extra arguments go to torvel-host (default: a summary of the demo database).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
if (($#)); then
    exec "$BUILD_DIR/host/torvel-host" "$@"
else
    exec "$BUILD_DIR/host/torvel-host" summary
fi
