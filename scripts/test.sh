#!/bin/bash
# Installs what is missing, builds Vellum and its tests with AddressSanitizer
# and UndefinedBehaviorSanitizer, and the fuzz targets, and runs every test
# through CTest. Tests that need a display start their own X server with
# xvfb-run -a.
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
# The fuzz targets build with clang in a folder of their own; their tests run
# each target over its corpus and for a short run with a fixed seed. A
# finding leaves its input in build-fuzz/findings/.
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz
status=0
(cd build-asan && ctest --output-on-failure -j2 --timeout 300) || status=1
(cd build-fuzz && ctest --output-on-failure -j2 --timeout 300) || status=1
exit $status
