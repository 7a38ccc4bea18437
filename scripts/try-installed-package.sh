#!/bin/bash
# Installs the package for real, uses it, and purges it again; for a test
# machine, never CI (it changes /usr and /etc). Run as root after
# scripts/package.sh:
#   try-installed-package.sh [build-deb/vellum_<version>_<arch>.deb]
# Steps: apt install; start Vellum with the application menu's command line;
# headless Chromium loads /usr/share/vellum/browser-extension and captures a
# title through the system-wide host manifest; apt purge, after which the
# package's files are gone and the user's posts are still there.
set -eu
cd "$(dirname "$0")/.."
deb=${1:-$(ls build-deb/vellum_*.deb | head -n 1)}
[ -f "$deb" ] || { echo "$0: no package; run scripts/package.sh first" >&2; exit 1; }
(cd tests/browser && [ -d node_modules ] || npm ci --no-audit --no-fund --loglevel=error)

echo "== apt install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./${deb#./}"
for f in /usr/bin/vellum /usr/bin/vellum-send /usr/libexec/vellum/vellum-browser-host \
         /etc/chromium/native-messaging-hosts/vellum.browser_host.json; do
  [ -e "$f" ] || { echo "missing after install: $f" >&2; exit 1; }
done
echo "installed: $(dpkg-query -W -f='${Package} ${Version}' vellum)"

work=$(mktemp -d)
vellum_pid=
cleanup() {
  [ -n "$vellum_pid" ] && kill "$vellum_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for d in home runtime config data state; do mkdir -m 0700 "$work/$d"; done
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$work/home/.asoundrc"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
       XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" VELLUM_TRY_RUNTIME="$work/runtime"
unset VELLUM_HOME

echo "== start from the application menu"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/vellum.desktop)
echo "Exec=$exec_line"
# The program names its own process id once its window is up.
VELLUM_BENCH=1 xvfb-run -a sh -c "$exec_line" 2>"$work/vellum.log" &
vellum_pid=$!
for _ in $(seq 100); do [ -S "$work/runtime/vellum/capture" ] && break; sleep 0.2; done
[ -S "$work/runtime/vellum/capture" ] || { cat "$work/vellum.log" >&2; exit 1; }
echo "Vellum is running; program folder: $(ls -d "$work/data/vellum")"

echo "== capture in headless Chromium through the system-wide manifest"
node scripts/try-installed-package.mjs

program_pid=$(sed -n 's/.*window shown (pid \([0-9]*\)).*/\1/p' "$work/vellum.log" | head -n 1)
[ -n "$program_pid" ] && kill -TERM "$program_pid"
wait "$vellum_pid" || true
vellum_pid=
echo "saved: $(iconv -f gb18030 -t utf-8 "$work/data/vellum/date/Date1.dat" 2>/dev/null | tr -d '\r')"

echo "== apt purge vellum"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vellum
left=0
for f in /usr/bin/vellum /usr/libexec/vellum /usr/share/vellum /etc/chromium/native-messaging-hosts/vellum.browser_host.json \
         /etc/opt/chrome/native-messaging-hosts/vellum.browser_host.json /usr/lib/mozilla/native-messaging-hosts/vellum.browser_host.json; do
  [ -e "$f" ] && { echo "left after purge: $f" >&2; left=1; }
done
[ -f "$work/data/vellum/config.ini" ] && echo "the user's folder is still there after purge"
exit $left
