#!/usr/bin/env bash
# Makes the capture sound, a short two-tone chime, with sox:
#   make-sound.sh <out.wav>
set -eu
[ "$#" -eq 1 ] && [ -n "$1" ] || { echo "usage: $0 <out.wav>" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r 44100 -b 16 -e signed-integer -c 1 "$work/a.wav" \
    synth 0.12 sine 880 fade q 0.004 0.12 0.05 vol 0.45
sox -n -r 44100 -b 16 -e signed-integer -c 1 "$work/b.wav" \
    synth 0.26 sine 1318.5 fade q 0.004 0.26 0.2 vol 0.4
sox "$work/a.wav" "$work/b.wav" -b 16 -e signed-integer "$work/sound.wav"
mv -f "$work/sound.wav" "$1"
