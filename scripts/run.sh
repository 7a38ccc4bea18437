#!/bin/bash
# Installs what is missing, builds Vellum, stages its program folder (by
# default ~/Vellum; VELLUM_DIR names another), puts Vellum in the desktop's
# application menu and starts it. Existing posts,
# config.ini and QuickNotes.dat in that folder are never overwritten.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release
TARGET="${VELLUM_DIR:-$HOME/Vellum}"
bash scripts/stage-program-folder.sh build-release "$TARGET"
bash scripts/install-desktop-entry.sh "$TARGET"
echo "Browser extension: $TARGET/html (Chromium: chrome://extensions, Developer mode, \"Load unpacked\")"
echo "                   $TARGET/vellum-bridge.xpi (Firefox: see README, \"The browser extension\")"
echo "Starting $TARGET/vellum"
exec "$TARGET/vellum"
