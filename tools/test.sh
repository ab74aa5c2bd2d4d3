#!/usr/bin/env bash
# Builds everything and runs every test; then the whole suite again with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan), and each fuzz
# target for a bounded time (build-fuzz, HX_FUZZ_SECONDS each, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHX_SANITIZE=ON -DHX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

bash tools/fuzz.sh "${HX_FUZZ_SECONDS:-20}"
