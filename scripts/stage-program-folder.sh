#!/usr/bin/env bash
# Lays out a complete program folder from a build:
#   stage-program-folder.sh <build-dir> <program-folder>
# The executables are always refreshed; the user's config.ini, QuickNotes.dat
# and everything under date/ are never touched once they exist. Safe to run
# again and again.
set -eu

usage() {
    echo "usage: $0 <build-dir> <program-folder>" >&2
    exit 2
}
[ "$#" -eq 2 ] || usage
build=$1
prog=$2
[ -n "$build" ] && [ -n "$prog" ] || usage

src=$(cd "$(dirname "$0")/.." && pwd)
dist="$src/dist"

for exe in vellum vellum-send vellum-browser-host; do
    if [ ! -f "$build/bin/$exe" ]; then
        echo "$0: $build/bin/$exe not found; build the project first" >&2
        exit 1
    fi
done

mkdir -p "$prog"
prog=$(cd "$prog" && pwd)

# Copy beside the target, then rename: replacing a running executable in place
# would fail ("text file busy") or corrupt it.
install_file() { # <source> <target> <mode>
    tmp="$2.staging.$$"
    cp "$1" "$tmp"
    chmod "$3" "$tmp"
    mv -f "$tmp" "$2"
}

install_file "$build/bin/vellum" "$prog/vellum" 0755
install_file "$build/bin/vellum-send" "$prog/vellum-send" 0755
install_file "$build/bin/vellum-browser-host" "$prog/vellum-browser-host" 0755

# The user's settings and posts.
if [ ! -e "$prog/config.ini" ]; then
    install_file "$dist/config.ini" "$prog/config.ini" 0644
fi
mkdir -p "$prog/date" "$prog/sound"

# The browser extension is the program folder's html/: the registered menu
# pages live there. Shipped files are refreshed, nothing else is removed.
# Firefox gets the same files zipped as an .xpi beside it.
mkdir -p "$prog/html"
ext="$src/browser/extension"
if [ -f "$ext/manifest.json" ]; then
    cp -R "$ext/." "$prog/html/"
    if command -v zip >/dev/null 2>&1; then
        rm -f "$prog/vellum-bridge.xpi.staging.$$"
        (cd "$ext" && zip -q -r -X "$prog/vellum-bridge.xpi.staging.$$" .)
        mv -f "$prog/vellum-bridge.xpi.staging.$$" "$prog/vellum-bridge.xpi"
    else
        echo "$0: zip not found; vellum-bridge.xpi not made" >&2
    fi
else
    echo "$0: $ext/manifest.json not found; the browser extension is not staged" >&2
fi

# The help page that the tray menu, the toolbar and the about box open.
mkdir -p "$prog/help"
cp -R "$dist/help/." "$prog/help/"

# The event sound: a short two-tone chime, made once.
if [ ! -e "$prog/sound/sound.wav" ]; then
    if command -v sox >/dev/null 2>&1; then
        bash "$src/scripts/make-sound.sh" "$prog/sound/sound.wav"
    else
        echo "$0: sox not found; sound/sound.wav not made (the program beeps instead)" >&2
    fi
fi

# Program icon and a desktop entry that points into this folder.
cp "$src/ui/icons/vellum.svg" "$prog/vellum.svg"
esc=$(printf '%s' "$prog" | sed 's/[&|\\]/\\&/g')
sed -e "s|^Exec=.*|Exec=\"$esc/vellum\"|" -e "s|^Icon=.*|Icon=$esc/vellum.svg|" \
    "$dist/vellum.desktop" >"$prog/vellum.desktop.staging.$$"
mv -f "$prog/vellum.desktop.staging.$$" "$prog/vellum.desktop"

echo "program folder ready: $prog"
