#!/bin/bash
# The files the package ships, checked with the tools that desktops and
# package managers read them with:
#   check-dist-files.sh <source-dir> <build-dist-dir> <version>
set -u
src=$1 built=$2 version=$3
status=0
check() { # <what> <command...>: the command must succeed and print no warning
  local what=$1
  shift
  local out
  if ! out=$("$@" 2>&1) || grep -qiE 'warning|error' <<<"$out"; then
    echo "FAILED: $what" >&2
    echo "$out" >&2
    status=1
  fi
}
check "desktop entry" desktop-file-validate --no-hints "$src/dist/vellum.desktop"
check "AppStream metadata" appstreamcli validate --no-net "$built/invalid.vellum.vellum.metainfo.xml"
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"" \
  "$built/invalid.vellum.vellum.metainfo.xml" || { echo "FAILED: metadata release is not $version" >&2; status=1; }
for page in vellum.1 vellum-send.1; do
  # man writes its formatter's warnings to standard error.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$src/dist/$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "FAILED: $page: $warnings" >&2; status=1; }
done
for browser in chromium firefox; do
  manifest="$built/$browser/vellum.browser_host.json"
  check "$browser host manifest" python3 -c '
import json, sys
m = json.load(open(sys.argv[1]))
assert m["name"] == "vellum.browser_host" and m["type"] == "stdio", m
assert m["path"].endswith("/libexec/vellum/vellum-browser-host"), m["path"]
key = "allowed_origins" if sys.argv[2] == "chromium" else "allowed_extensions"
assert len(m[key]) == 1, m' "$manifest" "$browser"
done
check "extension version" python3 -c '
import json, sys
v = json.load(open(sys.argv[1]))["version"]
assert v == sys.argv[2], f"manifest.json says {v}, the changelog {sys.argv[2]}"' \
  "$src/browser/extension/manifest.json" "$version"
exit $status
