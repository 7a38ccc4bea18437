#!/bin/bash
# Installs what is missing, builds Vellum and its tests with AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs every test through CTest. Tests
# that need a display start their own X server with xvfb-run -a.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLUM_SANITIZE=ON >/dev/null
cmake --build build-asan
# The browser tests' driver, pinned in the lockfile; fetched again only when
# it is missing or the lockfile changed, so an offline rerun still works.
browser_tests=tests/browser
lock_sum=$(sha256sum "$browser_tests/package-lock.json" | cut -d' ' -f1)
if [ ! -d "$browser_tests/node_modules" ] ||
   [ "$(cat "$browser_tests/node_modules/.lock-sum" 2>/dev/null)" != "$lock_sum" ]; then
  (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error)
  echo "$lock_sum" >"$browser_tests/node_modules/.lock-sum"
fi
cd build-asan
ctest --output-on-failure -j2 --timeout 300
