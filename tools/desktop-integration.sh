#!/usr/bin/env bash
# Makes this build the user's program for designs: installs the desktop file (pointing at
# build/bin/leafwrighter), the design file's MIME type and the icon under
# ${XDG_DATA_HOME:-~/.local/share}, then refreshes the user's MIME and desktop databases, so that
# a design opened from the file manager or the launcher reaches the program.
# Build first (./run or tools/setup.sh); LW_BUILD_DIR names another build folder.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${LW_BUILD_DIR:-$ROOT/build}" && pwd)"
PROGRAM="$BUILD/bin/leafwrighter"
DATA="${XDG_DATA_HOME:-$HOME/.local/share}"

if [ ! -x "$PROGRAM" ]; then
    echo "desktop-integration: $PROGRAM not found; build first (./run or tools/setup.sh)." >&2
    exit 1
fi
mkdir -p "$DATA/applications" "$DATA/mime/packages" "$DATA/icons"
cmake "-DEXEC=$PROGRAM" "-DOUT=$DATA/applications/velk-leafwrighter.desktop" -P "$ROOT/cmake/DesktopFile.cmake"
cp "$ROOT/packaging/velk-leafwrighter.xml" "$DATA/mime/packages/"
if [ -d "$BUILD/bin/Resources/icons/hicolor" ]; then
    # No icon cache here: a stale one in the user's folder would hide other programs' icons.
    cp -r "$BUILD/bin/Resources/icons/hicolor" "$DATA/icons/"
fi
update-mime-database "$DATA/mime"
if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database -q "$DATA/applications"
else
    echo "desktop-integration: update-desktop-database not found (package desktop-file-utils); the launcher may need a new login to see the program." >&2
fi
echo "Installed the desktop file, the design file type and the icon under $DATA."
