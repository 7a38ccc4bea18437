#!/usr/bin/env bash
# Puts Vellum in the desktop's application menu:
#   install-desktop-entry.sh <program-folder>
# Installs the program folder's vellum.desktop (made by the staging, with the
# full paths of the executable and its icon) as
# $XDG_DATA_HOME/applications/vellum.desktop (~/.local/share when unset).
set -eu
[ "$#" -eq 1 ] && [ -n "$1" ] || { echo "usage: $0 <program-folder>" >&2; exit 2; }
prog=$(cd "$1" && pwd)
if [ ! -f "$prog/vellum.desktop" ] || [ ! -x "$prog/vellum" ]; then
    echo "$0: $prog is not a staged program folder" >&2
    exit 1
fi
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
tmp="$apps/.vellum.desktop.staging.$$"
cp "$prog/vellum.desktop" "$tmp"
chmod 0644 "$tmp"
mv -f "$tmp" "$apps/vellum.desktop"
# Menus that keep a cache see the entry at once; others read the folder.
if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database -q "$apps" 2>/dev/null || true
fi
echo "desktop entry: $apps/vellum.desktop"
