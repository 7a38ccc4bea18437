#!/bin/bash
# Builds the Debian package build-deb/vellum_<version>_<arch>.deb:
# installs what building and checking it needs, builds a Release build with
# debhelper from a copy of the source, runs lintian, checks the file list,
# and runs the packaged program from the unpacked package.
set -eu
cd "$(dirname "$0")/.."
src=$(pwd)

bash scripts/install-deps.sh
TOOLS=(debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin man-db)
missing=()
for p in "${TOOLS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# dpkg-buildpackage writes beside the source folder, so it builds a copy of
# the tracked files inside build-deb/.
out="$src/build-deb"
rm -rf "$out"
mkdir -p "$out/src"
git ls-files -z --cached --others --exclude-standard |
  grep -zv '^tests/browser/node_modules/' |
  tar --null -T - -cf - | tar -xf - -C "$out/src"
(cd "$out/src" && dpkg-buildpackage -b -us -uc -j"$(nproc)")

version=$(cd "$out/src" && dpkg-parsechangelog -SVersion)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb="$out/vellum_${version}_${arch}.deb"
[ -f "$deb" ] || { echo "$0: $deb was not made" >&2; exit 1; }

echo "== lintian"
lintian --fail-on error,warning "$deb"

echo "== file list"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$out/files.txt"
expected=(
  /usr/bin/vellum
  /usr/bin/vellum-send
  /usr/libexec/vellum/vellum-browser-host
  /usr/share/applications/vellum.desktop
  /usr/share/metainfo/invalid.vellum.vellum.metainfo.xml
  /usr/share/man/man1/vellum.1.gz
  /usr/share/man/man1/vellum-send.1.gz
  /usr/share/icons/hicolor/scalable/apps/vellum.svg
  /usr/share/vellum/config.ini
  /usr/share/vellum/sound/sound.wav
  /usr/share/vellum/vellum-bridge.xpi
  /usr/share/vellum/browser-extension/manifest.json
  /usr/share/vellum/browser-extension/GetTitle.htm
  /usr/share/vellum/help/index.html
  /etc/chromium/native-messaging-hosts/vellum.browser_host.json
  /etc/opt/chrome/native-messaging-hosts/vellum.browser_host.json
  /usr/lib/mozilla/native-messaging-hosts/vellum.browser_host.json
  /usr/share/doc/vellum/copyright
  /usr/share/doc/vellum/changelog.gz
)
for size in 16 32 48 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/vellum.png")
done
status=0
for f in "${expected[@]}"; do
  grep -qxF "$f" "$out/files.txt" || { echo "missing from the package: $f" >&2; status=1; }
done
[ $status -eq 0 ] || exit 1
echo "all ${#expected[@]} expected files are in the package"

echo "== the packaged program"
tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
python3 scripts/package-smoke.py "$tree"
echo
echo "package: $deb"
