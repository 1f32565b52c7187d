#!/usr/bin/env bash
# Set up, build, and run the demo host on the embedded SQLite database.
# With arguments they go to torvel-host (see its --help). Without, it opens
# the workbench when a display is available; otherwise it prints what the
# demo database holds and renders the workbench and the BOM editor to pictures.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
HOST="$BUILD_DIR/host/torvel-host"
if (($#)); then
    exec "$HOST" "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$HOST" workbench
fi
"$HOST" summary
"$HOST" workbench --offscreen --screenshot "$BUILD_DIR/workbench.png" >/dev/null 2>&1
"$HOST" bom --id 1 --offscreen --screenshot "$BUILD_DIR/bom-editor.png" >/dev/null 2>&1
echo "No display: the workbench was rendered to $BUILD_DIR/workbench.png and the BOM editor to $BUILD_DIR/bom-editor.png"
