#!/bin/bash
# CPU used by an idle Vellum over a period, with 1 MB of ordinary text on the
# clipboard and with an empty clipboard. The poll ticks every 300 ms in both;
# with the text it must not read it again and again.
#   bench/clipboard_idle.sh <build-dir> [seconds]
set -eu
BUILD=$(cd "${1:?usage: $0 <build-dir> [seconds]}" && pwd)
SECONDS_TO_MEASURE=${2:-60}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/home/date" "$WORK/run" "$WORK/config"
chmod 700 "$WORK/run"
printf '[TabClass]\r\ntab0=A\r\n' > "$WORK/home/config.ini"
export VELLUM_HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() { # $1: label; the clipboard is prepared by the caller
  "$BUILD/bin/vellum" 2>/dev/null &
  local pid=$!
  sleep 2
  local before after
  before=$(cpu_ticks "$pid")
  sleep "$SECONDS_TO_MEASURE"
  after=$(cpu_ticks "$pid")
  kill -TERM "$pid"
  wait "$pid" || true
  local hz
  hz=$(getconf CLK_TCK)
  awk -v l="$1" -v t=$((after - before)) -v hz="$hz" -v s="$SECONDS_TO_MEASURE" \
    'BEGIN { printf "%-28s %6.2f s CPU in %d s = %5.2f %% of a core\n", l, t / hz, s, 100 * t / hz / s }'
}

# 1 MB of ordinary text that never holds a command.
python3 -c "import sys; sys.stdout.write(('ordinary clipboard text 0123456789 ' * 30 + '\n') * 1000)" \
  | head -c 1048576 > "$WORK/big.txt"
xclip -selection clipboard -i < "$WORK/big.txt"
measure "1 MB text on the clipboard"
# An empty clipboard: no owner at all.
printf '' | xclip -selection clipboard -i
measure "empty clipboard"
