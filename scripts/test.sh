#!/bin/bash
# Installs what is missing, builds Vellum and its tests with AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs every test through CTest. Tests
# that need a display start their own X server with xvfb-run -a.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLUM_SANITIZE=ON >/dev/null
cmake --build build-asan
cd build-asan
ctest --output-on-failure -j2 --timeout 300
