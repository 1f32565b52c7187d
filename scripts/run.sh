#!/usr/bin/env bash
# Set up, build, and run the demo host on the embedded SQLite database.
# With arguments they go to torvel-host (see its --help). Without, it opens
# the BOM editor on the first demo BOM when a display is available; otherwise
# it prints what the demo database holds and renders the editor to a picture.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
HOST="$BUILD_DIR/host/torvel-host"
if (($#)); then
    exec "$HOST" "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$HOST" bom --id 1
fi
"$HOST" summary
"$HOST" bom --id 1 --offscreen --screenshot "$BUILD_DIR/bom-editor.png" >/dev/null 2>&1
echo "No display: the BOM editor was rendered to $BUILD_DIR/bom-editor.png"
